#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "export/workbook.h"

/// What a cell shows, for compact expectations: its text, its number in
/// "#%g" form, "" for an empty text cell, and "<none>" for a cell that was
/// never written (empty or never reached).
inline std::string Show(const Workbook& wb, uint32_t row, uint32_t column) {
  const Cell* cell = wb.Find(row, column);
  if (!cell || cell->kind == CellKind::Empty) return "<none>";
  if (cell->kind == CellKind::Number) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "#%g", cell->number);
    return buf;
  }
  return cell->text;
}

/// Font index and alignment of a cell as "font/align", "-" when never reached.
inline std::string StyleOf(const Workbook& wb, uint32_t row, uint32_t column) {
  const Cell* cell = wb.Find(row, column);
  if (!cell) return "-";
  return std::to_string(cell->FontIndex()) + "/" + std::to_string(cell->Alignment());
}

/// Number of non-empty cells.
inline int FilledCells(const Workbook& wb) {
  int n = 0;
  wb.ForEachCell([&](uint32_t, uint32_t, const Cell&) { ++n; });
  return n;
}

/// The column widths as "col:width col:width ...".
inline std::string Widths(const Workbook& wb) {
  std::string out;
  for (const ColumnWidthRecord& w : wb.ColumnWidths()) {
    if (!out.empty()) out += ' ';
    out += std::to_string(w.column) + ":" + std::to_string(w.width);
  }
  return out;
}

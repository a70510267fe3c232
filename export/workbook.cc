#include "export/workbook.h"

#include <cmath>

void Cell::SetText(std::string_view value) {
  text.assign(value);
  kind = CellKind::Text;
}

void Cell::SetNumber(double value) {
  number = value;
  text.clear();
  kind = CellKind::Number;
}

Cell& Workbook::CellAt(uint32_t row, uint32_t column) {
  if (!Addressable(row, column)) {
    // Growing a grid to such an index would take memory for nothing, and
    // the file could only hold the index cut to its low bits, on top of
    // another cell. The caller gets a cell that goes nowhere.
    ++refused_;
    scratch_ = Cell();
    return scratch_;
  }
  return cells_[Key(row, column)];
}

const Cell* Workbook::Find(uint32_t row, uint32_t column) const {
  if (!Addressable(row, column)) return nullptr;
  auto it = cells_.find(Key(row, column));
  return it == cells_.end() ? nullptr : &it->second;
}

void Workbook::AddColumnWidth(int column, float widthInChars) {
  // A COLWIDTH record holds the column in one byte; a wider index would
  // set the width of another column.
  if (column < 0 || column >= static_cast<int>(kMaxColumns)) return;
  double width = std::trunc(static_cast<double>(widthInChars) * 256.0);
  if (!(width >= 0.0)) width = 0.0;  // negative or not a number
  if (width > 65535.0) width = 65535.0;
  widths_.emplace_back(column, static_cast<int>(width));
}

void Workbook::AddFont(const char* name, int points, int flags) {
  fonts_.emplace_back(name ? name : "", points, flags);
}

void Workbook::Clear() {
  cells_.clear();
  widths_.clear();
}

bool Workbook::Write(ByteSink& sink, std::string* err) {
  BiffWriter writer(sink);
  BofRecord(kBiffVersion2, kBiffWorksheet).Write(writer);
  for (const ColumnWidthRecord& width : widths_) width.Write(writer);
  for (const FontRecord& font : fonts_) font.Write(writer);
  for (auto& [key, cell] : cells_) {
    if (cell.kind == CellKind::Empty) continue;
    cell.row = static_cast<int32_t>(key / kMaxColumns);
    cell.column = static_cast<int32_t>(key % kMaxColumns);
    CellAttributes attributes{cell.row, cell.column, cell.attr0, cell.attr1, cell.attr2};
    if (cell.kind == CellKind::Number)
      NumberRecord(attributes, cell.number).Write(writer);
    else
      LabelRecord(attributes, cell.text).Write(writer);
  }
  EofRecord().Write(writer);
  return writer.Finish(err);
}

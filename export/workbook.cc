#include "export/workbook.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool ColumnBefore(const Cell& cell, uint32_t column) { return static_cast<uint32_t>(cell.column) < column; }

}  // namespace

void CellText::Assign(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.data(), text.size());
  copy[text.size()] = '\0';
  data_ = std::move(copy);
}

void Cell::SetText(std::string_view value) {
  text.Assign(value);
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
  // Reports go down the sheet: a new row is most often past the last one,
  // and a row in progress is most often the last one.
  std::vector<Cell>* found;
  if (rows_.empty() || rows_.rbegin()->first < row) {
    found = &rows_.emplace_hint(rows_.end(), row, std::vector<Cell>())->second;
  } else if (rows_.rbegin()->first == row) {
    found = &rows_.rbegin()->second;
  } else {
    found = &rows_[row];
  }
  std::vector<Cell>& cells = *found;
  // Reports fill their rows left to right: the common case appends.
  auto it = cells.empty() || ColumnBefore(cells.back(), column)
                ? cells.end()
                : std::lower_bound(cells.begin(), cells.end(), column, ColumnBefore);
  if (it != cells.end() && static_cast<uint32_t>(it->column) == column) return *it;
  Cell cell;
  cell.row = static_cast<int32_t>(row);
  cell.column = static_cast<int32_t>(column);
  ++cellCount_;
  return *cells.insert(it, std::move(cell));
}

const Cell* Workbook::Find(uint32_t row, uint32_t column) const {
  auto found = rows_.find(row);
  if (found == rows_.end()) return nullptr;
  const std::vector<Cell>& cells = found->second;
  auto it = std::lower_bound(cells.begin(), cells.end(), column, ColumnBefore);
  return it != cells.end() && static_cast<uint32_t>(it->column) == column ? &*it : nullptr;
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
  rows_.clear();
  cellCount_ = 0;
  widths_.clear();
}

bool Workbook::Write(ByteSink& sink, std::string* err) {
  BiffWriter writer(sink);
  BofRecord(kBiffVersion2, kBiffWorksheet).Write(writer);
  for (const ColumnWidthRecord& width : widths_) width.Write(writer);
  for (const FontRecord& font : fonts_) font.Write(writer);
  for (auto& [row, cells] : rows_) {
    for (Cell& cell : cells) {
      if (cell.kind == CellKind::Empty) continue;
      cell.row = static_cast<int32_t>(row);
      CellAttributes attributes{cell.row, cell.column, cell.attr0, cell.attr1, cell.attr2};
      if (cell.kind == CellKind::Number)
        NumberRecord(attributes, cell.number).Write(writer);
      else
        LabelRecord(attributes, cell.text.view()).Write(writer);
    }
  }
  EofRecord().Write(writer);
  return writer.Finish(err);
}

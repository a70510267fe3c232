#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "export/biff_writer.h"
#include "export/byte_sink.h"

enum class CellKind : int32_t { Empty = 0, Number = 1, Text = 2 };

/// Horizontal alignment codes of BIFF2 cell attributes.
enum CellAlignment { kAlignGeneral = 0, kAlignLeft = 1, kAlignCentre = 2, kAlignRight = 3, kAlignFill = 4 };

/// The owned, NUL-terminated text of a cell, or none. One pointer wide:
/// a report has tens of thousands of cells, and small cells keep writing
/// them a walk through memory rather than a wait on it.
class CellText {
 public:
  CellText() = default;
  CellText(const CellText& other) { Assign(other); }
  CellText& operator=(const CellText& other) {
    if (this != &other) Assign(other);
    return *this;
  }
  CellText(CellText&&) noexcept = default;
  CellText& operator=(CellText&&) noexcept = default;

  /// Keeps a copy of `text` up to its first NUL byte, if any.
  void Assign(std::string_view text);
  void clear() { data_.reset(); }
  bool empty() const { return !data_ || data_[0] == '\0'; }
  const char* c_str() const { return data_ ? data_.get() : ""; }
  std::string_view view() const { return c_str(); }
  operator std::string_view() const { return view(); }
  operator std::string() const { return std::string(view()); }
  friend bool operator==(const CellText& a, std::string_view b) { return a.view() == b; }
  friend std::ostream& operator<<(std::ostream& out, const CellText& t) { return out << t.view(); }

 private:
  std::unique_ptr<char[]> data_;
};

/// One grid cell: empty, a number or a text, with a font index and an alignment.
class Cell {
 public:
  /// Makes the cell a text cell holding a copy of `text`.
  void SetText(const char* text) { SetText(std::string_view(text ? text : "")); }
  void SetText(std::string_view text);
  /// Makes the cell a number cell; an earlier text is dropped.
  void SetNumber(double value);
  /// Alignment code in bits 0-2 of attr2 (0 general, 1 left, 2 centred, 3 right, 4 filled).
  void SetAlignment(int align) { attr2 = static_cast<uint8_t>((attr2 & ~7) | (align & 7)); }
  /// Font index in bits 6-7 of attr1; only 0 to 3 are meaningful.
  void SetFontIndex(int index) { attr1 = static_cast<uint8_t>((attr1 & 0x3F) | (static_cast<unsigned>(index) << 6)); }

  int FontIndex() const { return attr1 >> 6; }
  int Alignment() const { return attr2 & 7; }

  // Ordered so that a cell takes 32 bytes.
  int32_t row = 0;     // set by Workbook::Write just before the cell is written
  int32_t column = 0;  // likewise
  uint8_t attr0 = 0;
  uint8_t attr1 = 0;
  uint8_t attr2 = 0;
  CellKind kind = CellKind::Empty;
  CellText text;  // the text of a Text cell; none otherwise
  double number = 0.0;
};

/// One worksheet: cells, an ordered font list (the position is the font
/// index a cell refers to) and an ordered list of column widths, written as
/// one BIFF2 stream.
///
/// Only rows and cells that were reached are stored: rows in a map keyed by
/// row number, each row's cells in a vector sorted by column. Memory
/// follows the cells in use, never the largest index, and walking the rows
/// in key order and each row's cells in turn is the row-major order in
/// which the cells are written.
class Workbook {
 public:
  /// BIFF2 addresses rows 0 to 16383 and columns 0 to 255.
  static constexpr uint32_t kMaxRows = 16384;
  static constexpr uint32_t kMaxColumns = 256;
  /// The fonts BIFF2 cell attributes can refer to (two bits).
  static constexpr size_t kAddressableFonts = 4;

  /// True when a BIFF2 file can hold a cell at (row, column).
  static bool Addressable(uint32_t row, uint32_t column) { return row < kMaxRows && column < kMaxColumns; }

  /// The cell at (row, column), created empty on first use. A position
  /// beyond kMaxRows or kMaxColumns gives a scratch cell that is never
  /// written (and counted in RefusedCells()). The reference is valid until
  /// the next CellAt.
  Cell& CellAt(uint32_t row, uint32_t column);
  /// The cell at (row, column) if it was ever reached, or null.
  const Cell* Find(uint32_t row, uint32_t column) const;

  /// Appends a width for one column (widthInChars * 256, truncated, kept to
  /// 0..65535). A column BIFF2 cannot address is ignored.
  void AddColumnWidth(int column, float widthInChars);
  /// Appends a font; height = points * 20 twips, name cut to 255 characters.
  void AddFont(const char* name, int points, int flags);
  /// Removes every cell and column width; the fonts stay.
  void Clear();

  /// Writes the worksheet as BIFF2 (BOF, column widths, fonts, the
  /// non-empty cells row by row, EOF) into `sink`. True only when every
  /// byte reached the sink; otherwise `err` holds the reason. Fills in the
  /// row and column of each cell written.
  bool Write(ByteSink& sink, std::string* err);

  const std::vector<ColumnWidthRecord>& ColumnWidths() const { return widths_; }
  const std::vector<FontRecord>& Fonts() const { return fonts_; }
  /// Cells reached through CellAt, empty ones included.
  size_t CellCount() const { return cellCount_; }
  /// CellAt calls refused since construction because BIFF2 cannot address them.
  size_t RefusedCells() const { return refused_; }

  /// Calls fn(row, column, cell) for every non-empty cell, in row-major order.
  template <typename Fn>
  void ForEachCell(Fn&& fn) const {
    ForEachCellInRows(0, UINT32_MAX, fn);
  }
  /// Likewise for the rows from `first` up to, not including, `last`.
  template <typename Fn>
  void ForEachCellInRows(uint32_t first, uint32_t last, Fn&& fn) const {
    for (auto it = rows_.lower_bound(first); it != rows_.end() && it->first < last; ++it) {
      for (const Cell& cell : it->second) {
        if (cell.kind != CellKind::Empty) fn(it->first, static_cast<uint32_t>(cell.column), cell);
      }
    }
  }
  /// Calls fn(row, cells) for every row reached, ascending, with the number
  /// of cells it holds, empty ones included.
  template <typename Fn>
  void ForEachRow(Fn&& fn) const {
    for (const auto& [row, cells] : rows_) fn(row, cells.size());
  }

 private:
  // A row's cells carry their column in Cell::column, sorted ascending.
  std::map<uint32_t, std::vector<Cell>> rows_;
  size_t cellCount_ = 0;
  std::vector<ColumnWidthRecord> widths_;
  std::vector<FontRecord> fonts_;
  Cell scratch_;
  size_t refused_ = 0;
};

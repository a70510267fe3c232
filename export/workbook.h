#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "export/biff_writer.h"
#include "export/byte_sink.h"

enum class CellKind : int32_t { Empty = 0, Number = 1, Text = 2 };

/// Horizontal alignment codes of BIFF2 cell attributes.
enum CellAlignment { kAlignGeneral = 0, kAlignLeft = 1, kAlignCentre = 2, kAlignRight = 3, kAlignFill = 4 };

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
  void SetFontIndex(int index) { attr1 = static_cast<uint8_t>((attr1 & 0x3F) | (index << 6)); }

  int FontIndex() const { return attr1 >> 6; }
  int Alignment() const { return attr2 & 7; }

  int32_t row = 0;     // set by Workbook::Write just before the cell is written
  int32_t column = 0;  // likewise
  uint8_t attr0 = 0;
  uint8_t attr1 = 0;
  uint8_t attr2 = 0;
  std::string text;  // the text of a Text cell; empty otherwise
  double number = 0.0;
  CellKind kind = CellKind::Empty;
};

/// One worksheet: cells, an ordered font list (the position is the font
/// index a cell refers to) and an ordered list of column widths, written as
/// one BIFF2 stream.
///
/// Only cells that were reached are stored, keyed by position, so memory
/// follows the cells in use, never the largest index; the key order is
/// row-major, the order in which the cells are written.
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
  size_t CellCount() const { return cells_.size(); }
  /// CellAt calls refused since construction because BIFF2 cannot address them.
  size_t RefusedCells() const { return refused_; }

  /// Calls fn(row, column, cell) for every non-empty cell, in row-major order.
  template <typename Fn>
  void ForEachCell(Fn&& fn) const {
    for (const auto& [key, cell] : cells_) {
      if (cell.kind != CellKind::Empty) fn(key / kMaxColumns, key % kMaxColumns, cell);
    }
  }

 private:
  static uint32_t Key(uint32_t row, uint32_t column) { return row * kMaxColumns + column; }

  std::map<uint32_t, Cell> cells_;
  std::vector<ColumnWidthRecord> widths_;
  std::vector<FontRecord> fonts_;
  Cell scratch_;
  size_t refused_ = 0;
};

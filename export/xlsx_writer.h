#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "export/byte_sink.h"

class Workbook;

/// The zlib level the .xlsx is deflated with: the fastest, since the export
/// is measured against the uncompressed .xls and the files stay small.
constexpr int kXlsxDeflateLevel = 1;
/// A large sheet is cut into runs of whole rows, one for about every
/// kXlsxCellsPerPiece cells and at most kXlsxMaxPieces, that are laid out
/// and deflated side by side. The number of pieces depends on the cells
/// alone, never on the machine, so the same sheet gives the same bytes.
constexpr size_t kXlsxCellsPerPiece = 32768;
constexpr size_t kXlsxMaxPieces = 8;
/// How many pieces a sheet of `cells` cells is written in.
size_t XlsxSheetPieces(size_t cells);

/// Writes the worksheet as an Office Open XML workbook (.xlsx) into `sink`:
/// the same cells, fonts, alignments and column widths as the .xls, texts
/// cut to 255 bytes as there and turned from Windows-1252 into UTF-8. The
/// zip archive is streamed into the sink; only the compressed worksheet is
/// held in memory. True only when every byte reached the sink; otherwise
/// false and `err` holds the reason (the sink's, or a worksheet too large
/// for a zip file without ZIP64). `pieces` overrides XlsxSheetPieces when
/// not 0; the tests use it to hold the pieces to the whole.
bool WriteXlsx(const Workbook& workbook, ByteSink& sink, std::string* err, size_t pieces = 0);

/// The 8-bit text (Windows-1252) as UTF-8.
std::string Cp1252ToUtf8(std::string_view text);

/// Appends the 8-bit text (Windows-1252) to `out` as UTF-8 XML character
/// data that reads back as the same characters, in element content and in
/// attribute values alike: markup characters as entities, the control
/// characters XML 1.0 cannot carry (and CR, which XML parsers turn into LF)
/// as the Office escape _xHHHH_, and an underscore that would read as the
/// start of such an escape as _x005F_.
void AppendXmlText(std::string& out, std::string_view text);

#pragma once

#include <string>
#include <string_view>

#include "export/byte_sink.h"

class Workbook;

/// Writes the worksheet as comma-separated values (RFC 4180): one line per
/// row from row 0 to the last row with a value, each with as many fields as
/// the widest row, CR LF after every line. A field holding a comma, a
/// double quote, CR or LF is quoted, its quotes doubled. Texts are cut to
/// 255 bytes as in the .xls and keep their bytes; numbers take the
/// shortest form that reads back as the same double. False and `err`
/// filled when the sink fails.
bool WriteCsv(const Workbook& workbook, ByteSink& sink, std::string* err);

/// Appends `text` to `out` as one RFC 4180 field: as it is, or quoted with
/// its quotes doubled when it holds a comma, a double quote, CR or LF.
void AppendCsvField(std::string& out, std::string_view text);

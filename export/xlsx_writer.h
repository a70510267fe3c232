#pragma once

#include <string>
#include <string_view>

class Workbook;

/// Builds the worksheet as an Office Open XML workbook (.xlsx) with the same
/// cells, fonts, alignments and column widths as the .xls; texts, 8-bit in
/// the Windows Latin code page, become UTF-8. The file is assembled under
/// the new name `scratchPath`, read back into `bytes` and removed, so the
/// caller decides where and how it is saved. False and `err` filled on
/// failure.
bool BuildXlsx(const Workbook& workbook, const std::string& scratchPath, std::string* bytes,
               std::string* err);

/// The 8-bit text (Windows-1252) as UTF-8.
std::string Cp1252ToUtf8(std::string_view text);

#include "export/xlsx_writer.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

#include "platform/platform.h"
#include "export/workbook.h"

namespace {

// Windows-1252 at 0x80-0x9F; the five unassigned bytes keep their C1 code points.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

lxw_format* FormatFor(lxw_workbook* book, const Workbook& workbook, const Cell& cell,
                      std::map<std::pair<int, int>, lxw_format*>& formats) {
  auto key = std::make_pair(cell.FontIndex(), cell.Alignment());
  auto it = formats.find(key);
  if (it != formats.end()) return it->second;
  lxw_format* format = workbook_add_format(book);
  if (!format) return nullptr;
  if (static_cast<size_t>(key.first) < workbook.Fonts().size()) {
    const FontRecord& font = workbook.Fonts()[key.first];
    std::string name = Cp1252ToUtf8(font.name);
    format_set_font_name(format, name.c_str());
    format_set_font_size(format, (font.height & 0xFFFF) / 20.0);
    if (font.flags & 1) format_set_bold(format);
    if (font.flags & 2) format_set_italic(format);
    if (font.flags & 4) format_set_underline(format, LXW_UNDERLINE_SINGLE);
    if (font.flags & 8) format_set_font_strikeout(format);
  }
  static const uint8_t kAlign[8] = {LXW_ALIGN_NONE, LXW_ALIGN_LEFT, LXW_ALIGN_CENTER, LXW_ALIGN_RIGHT,
                                    LXW_ALIGN_FILL, LXW_ALIGN_NONE, LXW_ALIGN_NONE, LXW_ALIGN_NONE};
  if (kAlign[key.second] != LXW_ALIGN_NONE) format_set_align(format, kAlign[key.second]);
  formats[key] = format;
  return format;
}

bool ReadWhole(const std::string& path, std::string* bytes, std::string* err) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  if (in) out << in.rdbuf();
  if (!in || !out) {
    *err = "cannot read back " + path;
    return false;
  }
  *bytes = out.str();
  return true;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    char32_t u = c < 0x80 || c >= 0xA0 ? c : kCp1252High[c - 0x80];
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

bool BuildXlsx(const Workbook& workbook, const std::string& scratchPath, std::string* bytes,
               std::string* err) {
  // The library writes only to a named file, and replaces one that exists.
  if (PathExists(scratchPath)) {
    *err = "cannot create file " + scratchPath + ": " + SystemErrorText(EEXIST);
    return false;
  }
  lxw_workbook* book = workbook_new(scratchPath.c_str());
  lxw_worksheet* sheet = book ? workbook_add_worksheet(book, nullptr) : nullptr;
  if (!sheet) {
    if (book) workbook_close(book);
    std::error_code ec;
    std::filesystem::remove(scratchPath, ec);
    *err = "cannot set up the workbook";
    return false;
  }
  for (const ColumnWidthRecord& width : workbook.ColumnWidths()) {
    worksheet_set_column(sheet, static_cast<lxw_col_t>(width.column), static_cast<lxw_col_t>(width.column),
                         (width.width & 0xFFFF) / 256.0, nullptr);
  }
  std::map<std::pair<int, int>, lxw_format*> formats;
  lxw_error failed = LXW_NO_ERROR;
  workbook.ForEachCell([&](uint32_t row, uint32_t column, const Cell& cell) {
    if (failed != LXW_NO_ERROR) return;
    lxw_format* format = FormatFor(book, workbook, cell, formats);
    if (cell.kind == CellKind::Number) {
      failed = worksheet_write_number(sheet, row, static_cast<lxw_col_t>(column), cell.number, format);
    } else {
      std::string text = Cp1252ToUtf8(cell.text.view().substr(0, kBiffMaxText));
      failed = worksheet_write_string(sheet, row, static_cast<lxw_col_t>(column), text.c_str(), format);
    }
  });
  lxw_error closed = workbook_close(book);
  if (failed == LXW_NO_ERROR) failed = closed;
  bool ok = failed == LXW_NO_ERROR;
  if (!ok) {
    int code = errno;
    *err = std::string(lxw_strerror(failed));
    if (failed == LXW_ERROR_CREATING_XLSX_FILE || failed == LXW_ERROR_CREATING_TMPFILE ||
        failed == LXW_ERROR_ZIP_FILE_OPERATION || failed == LXW_ERROR_ZIP_CLOSE)
      *err += ": " + SystemErrorText(code);
  } else {
    ok = ReadWhole(scratchPath, bytes, err);
  }
  std::error_code ec;
  std::filesystem::remove(scratchPath, ec);
  return ok;
}

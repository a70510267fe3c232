#include "export/csv_writer.h"

#include <charconv>
#include <string_view>

#include "export/workbook.h"

namespace {

void AppendNumber(std::string& out, double value) {
  char buf[32];
  auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, result.ptr);
}

}  // namespace

void AppendCsvField(std::string& out, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

bool WriteCsv(const Workbook& workbook, ByteSink& sink, std::string* err) {
  uint32_t columns = 0;
  workbook.ForEachCell([&](uint32_t, uint32_t column, const Cell&) {
    if (column + 1 > columns) columns = column + 1;
  });
  std::string out;
  bool ok = true;
  uint32_t row = 0;   // the line being built
  uint32_t next = 0;  // the field of that line written next
  auto skipTo = [&](uint32_t field) {
    for (; next < field; ++next) {
      if (next > 0) out += ',';
    }
    if (field > 0) out += ',';
  };
  auto endLine = [&] {
    if (next < columns) skipTo(columns - 1);
    out += "\r\n";
    ++row;
    next = 0;
    if (out.size() >= 1 << 16 && ok) {
      ok = sink.Write(out.data(), out.size(), err);
      out.clear();
    }
  };
  workbook.ForEachCell([&](uint32_t r, uint32_t c, const Cell& cell) {
    while (row < r) endLine();
    skipTo(c);
    next = c + 1;
    if (cell.kind == CellKind::Number)
      AppendNumber(out, cell.number);
    else
      AppendCsvField(out, cell.text.view().substr(0, kBiffMaxText));
  });
  if (columns > 0) endLine();
  if (!ok) return false;
  return out.empty() || sink.Write(out.data(), out.size(), err);
}

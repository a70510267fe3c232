// Drives a Workbook with operations decoded from the input (any row and
// column, any text bytes, any double, any width and font) and checks that
// the BIFF2 stream written is always well formed: BOF first, EOF last,
// every record's length inside the file and fitting its kind, cells in
// row-major order and within what BIFF2 addresses. The CSV writer runs on
// the same worksheet, and so does the .xlsx writer, whose archive is read
// back member by member (CRC and sizes held to the inflated data) and whose
// every part must be well-formed XML.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "export/csv_writer.h"
#include "export/workbook.h"
#include "export/xlsx_writer.h"
#include "tests/export/zip_check.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  bool Empty() const { return size == 0; }
  uint8_t Byte() {
    if (!size) return 0;
    --size;
    return *data++;
  }
  uint32_t Word32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
    return v;
  }
  /// Mostly small positions, so a run stays quick; now and then any value.
  uint32_t Position(uint32_t small) {
    uint32_t v = Word32();
    return v % 16 == 0 ? v : v % small;
  }
  std::string Text() {
    size_t n = Byte() * 2u;  // up to 510, beyond the 255 a record can hold
    std::string s;
    while (n-- && size) s += static_cast<char>(Byte());
    return s;
  }
};

unsigned Le16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckBiff(const std::string& bytes) {
  Check(bytes.size() >= 12 && bytes.compare(0, 8, std::string("\x09\x00\x04\x00\x02\x00\x10\x00", 8)) == 0);
  size_t at = 0;
  long lastCell = -1;
  for (;;) {
    Check(at + 4 <= bytes.size());
    unsigned id = Le16(bytes, at);
    size_t length = Le16(bytes, at + 2);
    Check(at + 4 + length <= bytes.size());
    const size_t body = at + 4;
    switch (id) {
      case 0x0009: Check(at == 0 && length == 4); break;
      case 0x000A: Check(length == 0 && at + 4 == bytes.size()); return;
      case 0x0024: Check(length == 4 && bytes[body] == bytes[body + 1]); break;
      case 0x0031: Check(length == 5u + static_cast<uint8_t>(bytes[body + 4])); break;
      case 0x0003:
      case 0x0004: {
        if (id == 0x0003) Check(length == 15);
        if (id == 0x0004) Check(length >= 8 && length == 8u + static_cast<uint8_t>(bytes[body + 7]));
        unsigned row = Le16(bytes, body), column = Le16(bytes, body + 2);
        Check(Workbook::Addressable(row, column));
        long cell = static_cast<long>(row) * 256 + column;
        Check(cell > lastCell);
        lastCell = cell;
        break;
      }
      default: Check(false);
    }
    at += 4 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  Workbook wb;
  while (!in.Empty()) {
    switch (in.Byte() % 8) {
      case 0: {
        uint32_t row = in.Position(64), column = in.Position(16);
        wb.CellAt(row, column).SetText(in.Text());
        break;
      }
      case 1: {
        uint32_t row = in.Position(64), column = in.Position(16);
        uint64_t bits = static_cast<uint64_t>(in.Word32()) << 32 | in.Word32();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        wb.CellAt(row, column).SetNumber(value);
        break;
      }
      case 2: {
        uint32_t row = in.Position(64), column = in.Position(16);
        Cell& cell = wb.CellAt(row, column);
        cell.SetFontIndex(static_cast<int>(in.Word32()));
        cell.SetAlignment(static_cast<int>(in.Word32()));
        break;
      }
      case 3: {
        uint32_t bits = in.Word32();
        float width;
        std::memcpy(&width, &bits, sizeof width);
        wb.AddColumnWidth(static_cast<int>(in.Word32()), width);
        break;
      }
      case 4: {
        std::string name = in.Text();
        wb.AddFont(name.c_str(), static_cast<int>(in.Word32()), static_cast<int>(in.Word32()));
        break;
      }
      case 5:
        wb.Clear();
        break;
      default:
        wb.CellAt(in.Word32(), in.Word32());
        break;
    }
  }
  StringSink biff;
  std::string err;
  Check(wb.Write(biff, &err));
  CheckBiff(biff.bytes);
  StringSink csv;
  Check(WriteCsv(wb, csv, &err));
  StringSink xlsx;
  Check(WriteXlsx(wb, xlsx, &err));
  std::vector<ZipMember> members;
  Check(ReadZip(xlsx.bytes, &members).empty());
  Check(members.size() == 6);
  for (const ZipMember& m : members) Check(XmlProblem(m.data).empty());
  // Cut into pieces deflated apart, the sheet must read back the same.
  StringSink pieced;
  Check(WriteXlsx(wb, pieced, &err, 3));
  std::vector<ZipMember> pieces;
  Check(ReadZip(pieced.bytes, &pieces).empty());
  Check(pieces.size() == 6 && pieces.back().data == members.back().data);
  return 0;
}

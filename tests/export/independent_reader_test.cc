// Every golden file and a set of exported workbooks are opened by readers
// that share nothing with our writer: xlrd (through /usr/bin/python3) and
// gnumeric's ssconvert. What they read back is compared with the cells,
// fonts, alignments and widths that went in.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "platform/clock.h"
#include "platform/platform.h"
#include "export/report_export.h"
#include "export/xlsx_writer.h"
#include "tests/export/export_test_support.h"
#include "tests/export/golden_workbooks.h"

namespace {

bool Available(const char* check) { return std::system(check) == 0; }

bool HaveXlrd() { return Available("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1"); }
bool HaveSsconvert() { return Available("ssconvert --version >/dev/null 2>&1"); }

std::string ReadBack(const std::string& mode, const std::string& path) { return RunReadBack(mode + " '" + path + "'"); }

std::string Hex(const std::string& bytes) {
  if (bytes.empty()) return "-";
  std::string out;
  char buf[3];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}

/// What a reader is held to; the rest of its listing is ignored.
struct Checks {
  bool fonts = true;       // font flags and name
  bool alignment = true;
  bool texts = true;       // gnumeric drops BIFF2 text cells without XF records
  bool emptyTexts = true;  // .xlsx and .csv have no empty text cells
  bool widths = false;     // column widths in 1/256 of a character
};

/// The listing read_back.py prints for `wb`, widths first.
std::string Listing(const Workbook& wb) {
  std::map<int, int> widths;  // a later width of a column wins
  for (const ColumnWidthRecord& w : wb.ColumnWidths()) widths[w.column] = w.width;
  std::string out;
  for (const auto& [column, width] : widths) out += "width " + std::to_string(column) + " " + std::to_string(width) + "\n";
  wb.ForEachCell([&](uint32_t row, uint32_t column, const Cell& cell) {
    std::string value = cell.kind == CellKind::Text ? Hex(Cp1252ToUtf8(cell.text.view().substr(0, 255))) : "";
    if (cell.kind == CellKind::Number) {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", cell.number);
      value = buf;
    }
    std::string font = "- -";
    if (static_cast<size_t>(cell.FontIndex()) < wb.Fonts().size()) {
      const FontRecord& f = wb.Fonts()[cell.FontIndex()];
      font = std::to_string(f.flags) + " " + Hex(f.name);
    }
    char head[40];
    std::snprintf(head, sizeof head, "cell %u %u %c ", row, column, cell.kind == CellKind::Text ? 'T' : 'N');
    out += head + value + " " + font + " " + std::to_string(cell.Alignment()) + "\n";
  });
  return out;
}

/// The lines of a listing with the fields `checks` ignores masked as "-".
std::set<std::string> Masked(const std::string& listing, const Checks& checks) {
  std::set<std::string> lines;
  std::istringstream in(listing);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string what, row, column, kind, value, flags, name, align;
    fields >> what >> row >> column >> kind >> value >> flags >> name >> align;
    if (what == "width") {
      if (checks.widths) lines.insert(line);
      continue;
    }
    if (what == "cell" && kind == "T" && (!checks.texts || (value == "-" && !checks.emptyTexts))) continue;
    if (what == "cell" && !checks.fonts) flags = name = "-";
    if (what == "cell" && !checks.alignment) align = "-";
    lines.insert(what == "cell" ? what + " " + row + " " + column + " " + kind + " " + value + " " + flags + " " +
                                      name + " " + align
                                : "unexpected: " + line);
  }
  return lines;
}

/// Empty when the reader's listing agrees with the workbook; otherwise
/// every line missing from it and every line it has in excess.
std::string Compare(const Workbook& wb, const std::string& listing, const Checks& checks) {
  std::set<std::string> want = Masked(Listing(wb), checks), got = Masked(listing, checks);
  std::string problems;
  for (const std::string& line : want) {
    if (!got.count(line)) problems += "missing: " + line + "\n";
  }
  for (const std::string& line : got) {
    if (!want.count(line)) problems += "read:    " + line + "\n";
  }
  return problems;
}

using Builder = void (*)(Workbook&);
const std::pair<const char*, Builder> kGoldenWorkbooks[] = {
    {"worked_example.xls", BuildWorkedExample},
    {"edge_cells.xls", BuildEdgeCells},
    {"plate_report.xls", BuildPlateReport},
};

void BuildQuoting(Workbook& wb) {
  AddReportFonts(wb);
  wb.AddColumnWidth(0, 60.0f);
  const char* texts[] = {"a,b", "say \"hi\"", "two\nlines", "  padded  ", "50% %s"};
  uint32_t row = 0;
  for (const char* text : texts) {
    Cell& cell = wb.CellAt(row, 0);
    cell.SetText(text);
    cell.SetFontIndex(static_cast<int>(row % 4));
    cell.SetAlignment(static_cast<int>(row % 4));
    wb.CellAt(row, 2).SetNumber(-1.5 * (row + 1));
    ++row;
  }
}

TEST(GoldenFiles, AreWhatTheRecordTablesSay) {
  TempDir dir;
  std::string command = "/usr/bin/python3 '" + std::string(HARROW_SOURCE_DIR) +
                        "/tests/export/assemble_golden.py' '" + dir.path() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  for (const char* name : {"worked_example.xls", "empty_report.xls", "edge_cells.xls", "plate_report.xls", "xyz.txt"})
    EXPECT_EQ(BiffDifference(ReadFileBytes(dir / name), GoldenFile(name)), "") << name;
}

TEST(IndependentReaders, GoldenFilesReadBackAsBuilt) {
  if (!HaveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed (/usr/bin/python3 -c 'import xlrd' fails)";
  if (!HaveSsconvert()) GTEST_SKIP() << "gnumeric's ssconvert is not installed";
  for (const auto& [file, build] : kGoldenWorkbooks) {
    Workbook wb;
    build(wb);
    std::string path = std::string(HARROW_SOURCE_DIR) + "/tests/export/golden/" + file;
    Checks xlrd;
    xlrd.widths = true;
    EXPECT_EQ(Compare(wb, ReadBack("xlrd", path), xlrd), "") << file << " through xlrd";
    // Gnumeric reads BIFF2 numbers but drops text cells and ignores the cell
    // attributes when a file has no XF records, which these files never have.
    Checks gnumeric;
    gnumeric.texts = false;
    gnumeric.fonts = false;
    gnumeric.alignment = false;
    std::string listing = ReadBack("gnumeric", path);
    EXPECT_EQ(Compare(wb, listing, gnumeric), "") << file << " through ssconvert";
  }
  // The empty workbook has no cells for either reader.
  std::string empty = std::string(HARROW_SOURCE_DIR) + "/tests/export/golden/empty_report.xls";
  EXPECT_EQ(ReadBack("xlrd", empty), "");
}

TEST(IndependentReaders, ExportedFilesInEveryFormatReadBackAsBuilt) {
  if (!HaveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed (/usr/bin/python3 -c 'import xlrd' fails)";
  if (!HaveSsconvert()) GTEST_SKIP() << "gnumeric's ssconvert is not installed";
  IsolatedSettings env;
  std::string root = env.dir() / "root";
  const ExportTarget target{root + "/Text", root + "/Excel", ParseExportFormats("xls,xlsx,csv")};
  ASSERT_TRUE(MakeDirectories(root));
  std::pair<const char*, Builder> workbooks[] = {
      {"worked example", BuildWorkedExample},
      {"edge cells", BuildEdgeCells},
      {"plate report", BuildPlateReport},
      {"quoting", BuildQuoting},
  };
  std::tm time = MakeLocalTime(2027, 1, 2, 3, 4, 5);
  for (const auto& [what, build] : workbooks) {
    Workbook wb;
    build(wb);
    RecordingNoticeSink notices;
    ExportName name = ChooseExportName(time, target);
    ASSERT_TRUE(ExportWorkbookFiles(wb, name, target, notices)) << what;
    std::string base = target.excelFolder + "/" + name.base;

    Checks xlrd;
    xlrd.widths = true;
    EXPECT_EQ(Compare(wb, ReadBack("xlrd", base + ".xls"), xlrd), "") << what << ".xls through xlrd";
    Checks xlsx;
    xlsx.emptyTexts = false;
    EXPECT_EQ(Compare(wb, ReadBack("gnumeric", base + ".xlsx"), xlsx), "") << what << ".xlsx through ssconvert";
    // openpyxl and gnumeric read from the .xlsx what xlrd reads from the .xls.
    if (HaveXlsxReaders()) {
      EXPECT_EQ(ReadBack("compare '" + base + ".xls'", base + ".xlsx"), "") << what;
    }
    Checks csv;
    csv.fonts = false;
    csv.alignment = false;
    csv.emptyTexts = false;
    // A CSV carries no code page; gnumeric takes it for Latin-1 or UTF-8,
    // so only workbooks of ASCII texts are compared there.
    if (std::string(what) != "edge cells") {
      EXPECT_EQ(Compare(wb, ReadBack("gnumeric", base + ".csv"), csv), "") << what << ".csv through ssconvert";
    }
  }
}

// Arbitrary worksheets, as the export fuzzer makes them, give archives
// that unzip and Python's zipfile accept, of parts that xml.etree parses.
TEST(IndependentReaders, GeneratedWorkbooksAreSoundXlsxContainers) {
  if (!HaveXlsxReaders()) GTEST_SKIP() << "python3-openpyxl, gnumeric or unzip is not installed";
  TempDir dir;
  std::mt19937 rng(5);
  std::string files;
  for (int n = 0; n < 40; ++n) {
    Workbook wb;
    for (int f = 0; f < static_cast<int>(rng() % 6); ++f) {
      std::string name;
      for (unsigned i = rng() % 40; i > 0; --i) name += static_cast<char>(1 + rng() % 255);
      wb.AddFont(name.c_str(), static_cast<int>(rng() % 1000) - 10, static_cast<int>(rng() % 16));
    }
    for (int w = 0; w < static_cast<int>(rng() % 5); ++w) wb.AddColumnWidth(static_cast<int>(rng() % 300), (rng() % 100000) / 100.0f);
    for (int c = 0; c < static_cast<int>(rng() % 300); ++c) {
      Cell& cell = wb.CellAt(rng() % 2000, rng() % 40);
      if (rng() % 2) {
        std::string text;
        for (unsigned i = rng() % 300; i > 0; --i) text += static_cast<char>(rng() % 4 ? 1 + rng() % 255 : '_');
        cell.SetText(text);
      } else {
        uint64_t bits = static_cast<uint64_t>(rng()) << 32 | rng();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        cell.SetNumber(value);
      }
      cell.SetFontIndex(static_cast<int>(rng() % 4));
      cell.SetAlignment(static_cast<int>(rng() % 8));
    }
    StringSink sink;
    std::string err;
    ASSERT_TRUE(WriteXlsx(wb, sink, &err)) << err;
    std::string path = dir / ("w" + std::to_string(n) + ".xlsx");
    WriteFileBytes(path, sink.bytes);
    files += " '" + path + "'";
  }
  EXPECT_EQ(RunReadBack("container" + files), "");
}

}  // namespace

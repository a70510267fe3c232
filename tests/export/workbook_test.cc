#include "export/workbook.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/export/export_test_support.h"
#include "tests/export/golden_workbooks.h"

namespace {

void ExpectGolden(const std::string& golden, Workbook& wb) {
  std::string expected = GoldenFile(golden);
  ASSERT_NE(expected, "<missing>") << golden;
  std::string diff = BiffDifference(expected, BiffBytes(wb));
  EXPECT_EQ(diff, "") << golden << ": " << diff;
}

TEST(WorkbookGolden, WrittenFilesMatchTheHandAssembledOnes) {
  {
    Workbook wb;
    BuildWorkedExample(wb);
    EXPECT_EQ(BiffBytes(wb).size(), 110u);
    ExpectGolden("worked_example.xls", wb);
  }
  {
    Workbook wb;
    AddReportFonts(wb);
    EXPECT_EQ(BiffBytes(wb).size(), 68u);
    ExpectGolden("empty_report.xls", wb);
  }
  {
    Workbook wb;
    BuildEdgeCells(wb);
    ExpectGolden("edge_cells.xls", wb);
  }
  {
    Workbook wb;
    BuildPlateReport(wb);
    ExpectGolden("plate_report.xls", wb);
  }
}

TEST(WorkbookGolden, DifferenceNamesOffsetAndRecord) {
  std::string expected = GoldenFile("worked_example.xls");
  std::string actual = expected;
  actual[75] = 0x41;  // inside the LABEL record, which starts at 72
  std::string diff = BiffDifference(expected, actual);
  EXPECT_NE(diff.find("offset 75"), std::string::npos) << diff;
  EXPECT_NE(diff.find("LABEL"), std::string::npos) << diff;
  EXPECT_NE(diff.find("starting at offset 72"), std::string::npos) << diff;
}

TEST(WorkbookModel, CellsComeIntoBeingOnlyWhereReached) {
  Workbook wb;
  Cell& cell = wb.CellAt(5, 3);
  EXPECT_EQ(cell.kind, CellKind::Empty);
  EXPECT_EQ(wb.CellCount(), 1u);
  EXPECT_EQ(wb.Find(5, 2), nullptr);
  EXPECT_NE(wb.Find(5, 3), nullptr);
  // Reached but never set: nothing between BOF and EOF.
  EXPECT_EQ(BiffBytes(wb), std::string("\x09\x00\x04\x00\x02\x00\x10\x00\x0A\x00\x00\x00", 12));
  wb.CellAt(5, 3).SetNumber(1.0);
  std::string bytes = BiffBytes(wb);
  // The double 1.0, little-endian, at the end of the NUMBER record.
  EXPECT_EQ(bytes.substr(8, 19),
            std::string("\x03\x00\x0F\x00\x05\x00\x03\x00\x00\x00\x00"
                        "\x00\x00\x00\x00\x00\x00\xF0\x3F", 19));
  EXPECT_EQ(wb.Find(5, 3)->row, 5);
  EXPECT_EQ(wb.Find(5, 3)->column, 3);
}

TEST(WorkbookModel, SettersKeepTheirBitsApart) {
  Workbook wb;
  Cell& cell = wb.CellAt(0, 0);
  cell.SetFontIndex(1);
  EXPECT_EQ(cell.attr1, 0x40);
  cell.SetAlignment(2);
  EXPECT_EQ(cell.attr2, 0x02);
  cell.SetFontIndex(3);
  cell.SetAlignment(3);
  EXPECT_EQ(cell.attr1, 0xC0);
  EXPECT_EQ(cell.attr2, 0x03);
  cell.SetText("x");
  cell.SetNumber(4);
  EXPECT_EQ(cell.kind, CellKind::Number);
  EXPECT_EQ(cell.text, "");
  cell.SetText("y");
  EXPECT_EQ(cell.kind, CellKind::Text);
  cell.SetText(nullptr);
  EXPECT_EQ(cell.text, "");
  Cell copy = cell;
  EXPECT_EQ(copy.attr1, 0xC0);
  EXPECT_EQ(copy.kind, CellKind::Text);
}

TEST(WorkbookModel, ColumnWidthsAndFonts) {
  Workbook wb;
  wb.AddColumnWidth(1, 26.0f);
  wb.AddColumnWidth(4, 3.0f);
  wb.AddColumnWidth(4, 60.0f);  // two records for one column, the later one last
  wb.AddColumnWidth(9, -2.0f);
  wb.AddColumnWidth(256, 3.0f);  // no such column in BIFF2: not wrapped onto column 0
  wb.AddColumnWidth(-1, 3.0f);
  ASSERT_EQ(wb.ColumnWidths().size(), 4u);
  EXPECT_EQ(wb.ColumnWidths()[0].width, 6656);
  EXPECT_EQ(wb.ColumnWidths()[1].width, 768);
  EXPECT_EQ(wb.ColumnWidths()[2].width, 15360);
  EXPECT_EQ(wb.ColumnWidths()[3].width, 0);
  wb.AddFont(std::string(300, 'F').c_str(), 12, 3);
  ASSERT_EQ(wb.Fonts().size(), 1u);
  EXPECT_EQ(wb.Fonts()[0].height, 240);
  EXPECT_EQ(wb.Fonts()[0].name.size(), 255u);
  // Length field and length byte agree for the cut name: 255 + 5.
  std::string bytes = BiffBytes(wb);
  size_t font = 8 + 4 * 8;
  EXPECT_EQ(static_cast<unsigned char>(bytes[font + 2]) | static_cast<unsigned char>(bytes[font + 3]) << 8, 260);
  EXPECT_EQ(static_cast<unsigned char>(bytes[font + 8]), 255);
}

TEST(WorkbookModel, ClearKeepsOnlyTheFonts) {
  Workbook wb;
  BuildWorkedExample(wb);
  wb.Clear();
  EXPECT_EQ(wb.CellCount(), 0u);
  EXPECT_TRUE(wb.ColumnWidths().empty());
  ExpectGolden("empty_report.xls", wb);
  // Written twice, the same bytes.
  BuildPlateReport(wb);
  EXPECT_EQ(BiffBytes(wb), BiffBytes(wb));
}

TEST(WorkbookModel, LabelLengthsAgreeAtTheLimit) {
  for (size_t n : {0u, 254u, 255u, 256u, 300u}) {
    Workbook wb;
    wb.CellAt(0, 0).SetText(LongText(n));
    std::string bytes = BiffBytes(wb);
    size_t kept = std::min<size_t>(n, 255);
    ASSERT_EQ(bytes.size(), 8 + 12 + kept + 4) << n;
    EXPECT_EQ(static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8,
              static_cast<int>(kept + 8)) << n;
    EXPECT_EQ(static_cast<unsigned char>(bytes[19]), kept) << n;
    EXPECT_EQ(bytes.substr(20, kept), LongText(kept)) << n;
  }
}

TEST(WorkbookBounds, UnaddressableCellsAreRefusedNotWrapped) {
  Workbook wb;
  wb.CellAt(0, 0).SetText("first");
  std::string before = BiffBytes(wb);
  // 65536 would land on row 0 if cut to 16 bits; 16384 is already beyond BIFF2.
  for (uint32_t row : {16384u, 65536u, 0xFFFFFFFFu}) wb.CellAt(row, 0).SetText("overwrites row 0?");
  wb.CellAt(0, 256).SetNumber(1);
  wb.CellAt(0xFFFFFFFFu, 0xFFFFFFFFu).SetNumber(2);
  EXPECT_EQ(wb.RefusedCells(), 5u);
  EXPECT_EQ(wb.CellCount(), 1u);
  EXPECT_EQ(BiffBytes(wb), before);
  EXPECT_EQ(wb.Find(65536, 0), nullptr);
  EXPECT_TRUE(Workbook::Addressable(16383, 255));
  EXPECT_FALSE(Workbook::Addressable(16384, 0));
  EXPECT_FALSE(Workbook::Addressable(0, 256));
  // The scratch cell starts empty each time: nothing leaks from one refused call to the next.
  EXPECT_EQ(wb.CellAt(20000, 0).kind, CellKind::Empty);
}

TEST(WorkbookWriteErrors, EveryFailedWriteIsReported) {
  Workbook wb;
  BuildPlateReport(wb);
  for (int copy = 1; copy < 60; ++copy) {
    for (int c = 0; c < 12; ++c) wb.CellAt(20 + copy * 10, 4 + c).SetText("a longer text in a cell");
  }
  std::string whole = BiffBytes(wb);
  ASSERT_GT(whole.size(), 3u * 8192);
  for (size_t limit : {size_t{0}, size_t{1}, size_t{8191}, size_t{8192}, size_t{20000}, whole.size() - 1}) {
    FailingSink sink(limit);
    std::string err;
    EXPECT_FALSE(wb.Write(sink, &err)) << limit;
    EXPECT_EQ(err, "No space left on device") << limit;
    EXPECT_EQ(sink.failures, 1) << "the sink is not written again after it failed";
    EXPECT_EQ(sink.bytes, whole.substr(0, sink.bytes.size()));
  }
  FailingSink enough(whole.size());
  std::string err;
  EXPECT_TRUE(wb.Write(enough, &err)) << err;
  EXPECT_EQ(enough.bytes, whole);
}

}  // namespace

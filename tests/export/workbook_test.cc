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
  EXPECT_EQ(wb.CellAt(5, 3).kind, CellKind::Empty);
  EXPECT_EQ(wb.CellCount(), 1u);
  EXPECT_EQ(wb.Find(5, 2), nullptr);
  ASSERT_NE(wb.Find(5, 3), nullptr);
  EXPECT_EQ(BiffBytes(wb).size(), 12u);  // BOF and EOF only
  BuildWorkedExample(wb);
  wb.Clear();
  EXPECT_EQ(wb.CellCount(), 0u);
  ExpectGolden("empty_report.xls", wb);  // the fonts survive Clear
}

TEST(WorkbookModel, LengthFieldsAgreeWithCutTexts) {
  for (size_t n : {0u, 255u, 256u}) {
    Workbook wb;
    wb.CellAt(0, 0).SetText(LongText(n));
    std::string bytes = BiffBytes(wb);
    size_t kept = std::min<size_t>(n, 255);
    ASSERT_EQ(bytes.size(), 8 + 12 + kept + 4) << n;
    EXPECT_EQ(static_cast<unsigned char>(bytes[10]), static_cast<unsigned char>(kept + 8)) << n;
    EXPECT_EQ(static_cast<unsigned char>(bytes[11]), (kept + 8) >> 8) << n;
    EXPECT_EQ(static_cast<unsigned char>(bytes[19]), kept) << n;
  }
  // A font name is cut the same way: length 255 + 5, name length 255.
  Workbook wb;
  wb.AddFont(std::string(300, 'F').c_str(), 12, 3);
  std::string bytes = BiffBytes(wb);
  EXPECT_EQ(bytes.substr(8, 9), std::string("\x31\x00\x04\x01\xF0\x00\x03\x00\xFF", 9));
  EXPECT_EQ(bytes.size(), 8 + 4 + 260 + 4u);
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
  // A width for a column BIFF2 cannot address is not wrapped onto column 0.
  wb.AddColumnWidth(256, 3.0f);
  wb.AddColumnWidth(-1, 3.0f);
  EXPECT_TRUE(wb.ColumnWidths().empty());
  // The scratch cell starts empty each time: nothing leaks from one refused call to the next.
  EXPECT_EQ(wb.CellAt(20000, 0).kind, CellKind::Empty);
}

TEST(WorkbookWriteErrors, EveryFailedWriteIsReported) {
  Workbook wb;
  BuildPlateReport(wb);
  for (uint32_t r = 20; r < 2000; ++r) {
    for (uint32_t c = 0; c < 12; ++c) wb.CellAt(r, c).SetText("a longer text in a cell");
  }
  std::string whole = BiffBytes(wb);
  ASSERT_GT(whole.size(), 3u << 16);  // several blocks reach the sink
  for (size_t limit : {size_t{0}, size_t{65535}, size_t{65536}, size_t{150000}, whole.size() - 1}) {
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

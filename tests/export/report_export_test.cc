#include "export/report_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/clock.h"
#include "export/text_report.h"
#include "export/workbook.h"
#include "tests/export/export_fixture.h"
#include "tests/export/export_test_support.h"
#include "tests/export/golden_workbooks.h"

namespace {

TEST_F(ExportTest, OneReportGivesTwoFilesWithOneBaseName) {
  TextReport report;
  report.lines = {"X", "Y", "Z"};
  Workbook wb;
  BuildWorkedExample(wb);
  ExportName name = ChooseExportName(time_, target_);
  EXPECT_EQ(name.base, "26_12_06_01_15_23");
  EXPECT_TRUE(ExportTextReport(report, name, target_, notices_));
  EXPECT_TRUE(ExportWorkbookFiles(wb, name, target_, notices_));
  EXPECT_TRUE(notices_.notices.empty());
  EXPECT_EQ(FirstDifference(GoldenFile("xyz.txt"), ReadFileBytes(text("26_12_06_01_15_23.txt"))), "");
  EXPECT_EQ(BiffDifference(GoldenFile("worked_example.xls"), ReadFileBytes(excel("26_12_06_01_15_23.xls"))), "");
  // In the default formats only the .xls is written, and no temporary file is left.
  EXPECT_EQ(Files(root() + "/Excel"), std::set<std::string>{"26_12_06_01_15_23.xls"});
  EXPECT_EQ(Files(root() + "/Text"), std::set<std::string>{"26_12_06_01_15_23.txt"});

  // An empty report still gives an empty .txt and a valid .xls.
  TextReport empty;
  Workbook blank;
  AddReportFonts(blank);
  ExportName second = ChooseExportName(time_, target_);
  EXPECT_EQ(second.base, "26_12_06_01_15_23_2");
  EXPECT_TRUE(ExportTextReport(empty, second, target_, notices_));
  EXPECT_TRUE(ExportWorkbookFiles(blank, second, target_, notices_));
  EXPECT_EQ(ReadFileBytes(text("26_12_06_01_15_23_2.txt")), "");
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23_2.xls")), GoldenFile("empty_report.xls"));
  // The first report's files are untouched.
  EXPECT_EQ(ReadFileBytes(text("26_12_06_01_15_23.txt")), GoldenFile("xyz.txt"));
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23.xls")), GoldenFile("worked_example.xls"));
}

TEST_F(ExportTest, NamesSkipEveryFileOfTheReport) {
  MakeDirectory(root() + kPathSeparator + "Excel");
  MakeDirectory(root() + kPathSeparator + "Text");
  EXPECT_EQ(ChooseExportName(time_, target_).base, "26_12_06_01_15_23");
  WriteFileBytes(text("26_12_06_01_15_23.txt"), "a");
  WriteFileBytes(excel("26_12_06_01_15_23_2.xls"), "b");
  WriteFileBytes(excel("26_12_06_01_15_23_3.xlsx"), "c");
  WriteFileBytes(excel("26_12_06_01_15_23_4.csv"), "d");
  ExportName name = ChooseExportName(time_, target_);
  EXPECT_EQ(name.base, "26_12_06_01_15_23_5");
  EXPECT_EQ(name.time.tm_sec, 23);
}

TEST_F(ExportTest, ANameTakenAfterItWasChosenIsNeverReplacedAndTheNextFreeNameServes) {
  // Another capture exporting into the same folders took the names between
  // this one's choice and its commit.
  MakeDirectory(root() + kPathSeparator + "Excel");
  MakeDirectory(root() + kPathSeparator + "Text");
  ExportName name = ChooseExportName(time_, target_);
  ASSERT_EQ(name.base, "26_12_06_01_15_23");
  WriteFileBytes(text("26_12_06_01_15_23.txt"), "someone else's");
  WriteFileBytes(excel("26_12_06_01_15_23_2.xls"), "someone else's too");
  TextReport report;
  report.lines = {"X", "Y", "Z"};
  Workbook wb;
  BuildWorkedExample(wb);
  // The text report moves on to the first number free of every file.
  EXPECT_TRUE(ExportTextReport(report, name, target_, notices_));
  EXPECT_EQ(name.base, "26_12_06_01_15_23_3");
  EXPECT_TRUE(ExportWorkbookFiles(wb, name, target_, notices_));
  EXPECT_TRUE(notices_.notices.empty());
  EXPECT_EQ(ReadFileBytes(text("26_12_06_01_15_23.txt")), "someone else's");
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23_2.xls")), "someone else's too");
  EXPECT_EQ(ReadFileBytes(text("26_12_06_01_15_23_3.txt")), GoldenFile("xyz.txt"));
  EXPECT_EQ(BiffDifference(GoldenFile("worked_example.xls"), ReadFileBytes(excel("26_12_06_01_15_23_3.xls"))), "");

  // A worksheet name taken after the text report was saved: the worksheet
  // moves on alone, and the user hears that the pair's names differ.
  ExportName late{time_, "26_12_06_01_15_23_4"};
  WriteFileBytes(excel("26_12_06_01_15_23_4.xls"), "a late writer's");
  EXPECT_TRUE(ExportWorkbookFiles(wb, late, target_, notices_));
  EXPECT_EQ(late.base, "26_12_06_01_15_23_5");
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23_4.xls")), "a late writer's");
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23_5.xls")), GoldenFile("worked_example.xls"));
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_NE(notices_.notices[0].find("saved as 26_12_06_01_15_23_5 and its text report as 26_12_06_01_15_23_4.txt"),
            std::string::npos)
      << notices_.notices[0];
  EXPECT_TRUE(Files(unsaved()).empty());
}

TEST_F(ExportTest, FormatsSetting) {
  EXPECT_TRUE(ParseExportFormats("").xls);
  EXPECT_FALSE(ParseExportFormats("").xlsx);
  ExportFormats all = ParseExportFormats(" xls, XLSX ,csv,,pdf");
  EXPECT_TRUE(all.xls && all.xlsx && all.csv);
  ExportFormats csv = ParseExportFormats("csv");
  EXPECT_TRUE(!csv.xls && !csv.xlsx && csv.csv);
  ExportFormats unknown = ParseExportFormats("pdf, xlsm");
  EXPECT_TRUE(unknown.xls && !unknown.xlsx && !unknown.csv);

  target_.formats = ParseExportFormats("xls,xlsx,csv");
  Workbook wb;
  BuildWorkedExample(wb);
  ExportName name = ChooseExportName(time_, target_);
  EXPECT_TRUE(ExportWorkbookFiles(wb, name, target_, notices_));
  EXPECT_TRUE(notices_.notices.empty());
  EXPECT_EQ(Files(root() + "/Excel"),
            (std::set<std::string>{"26_12_06_01_15_23.xls", "26_12_06_01_15_23.xlsx", "26_12_06_01_15_23.csv"}));
  // The .xls is the same bytes whatever else is written.
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23.xls")), GoldenFile("worked_example.xls"));
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23.csv")), "abc,\r\n,2.5\r\n");
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23.xlsx")).substr(0, 2), "PK");
  // Every format counts when the next name is chosen.
  EXPECT_EQ(ChooseExportName(time_, target_).base, "26_12_06_01_15_23_2");
}

}  // namespace

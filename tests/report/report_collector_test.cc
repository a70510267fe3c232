#include "report/report_collector.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/clock.h"
#include "platform/notice.h"
#include "platform/platform.h"
#include "report/report_handler.h"
#include "tests/report/handler_test_support.h"
#include "tests/test_support.h"

namespace {

class ReportCollectorTest : public testing::Test {
 protected:
  void UseModel(const std::string& model) {
    model_ = ModelFromText(model);
    std::filesystem::create_directories(root_);
  }
  /// The Text and Excel folders below root_, as they are when asked.
  ReportCollector::TargetSource Target() {
    return [this] {
      ++targetReads_;
      return ExportTarget{root_ + kPathSeparator + "Text", root_ + kPathSeparator + "Excel", formats_, root_,
                          root_ + kPathSeparator + "Results"};
    };
  }
  std::string TextFile(const std::string& base) { return In("Text", base + ".txt"); }
  std::string ExcelFile(const std::string& base) { return In("Excel", base + ".xls"); }
  std::string In(const std::string& folder, const std::string& file) {
    return root_ + kPathSeparator + folder + kPathSeparator + file;
  }

  IsolatedSettings settings_;
  std::string root_ = settings_.dir() / "root";
  InstrumentModel model_ = InstrumentModel::None;
  ExportFormats formats_;
  int targetReads_ = 0;
  FixedClock clock_{MakeLocalTime(2026, 12, 6, 1, 15, 23)};
  RecordingNoticeSink notices_;
};

TEST_F(ReportCollectorTest, EndLineExportsTheStoredLinesUnderOneName) {
  UseModel("6310");
  ReportCollector c(clock_, notices_, Target());
  EXPECT_FALSE(c.HasPendingLines());
  EXPECT_EQ(c.Handler(), nullptr);  // none until the first rebuild
  c.RebuildHandler(model_);
  std::vector<FinishedReport> finished;
  c.SetFinishedSink([&](const FinishedReport& report) { finished.push_back(report); });
  clock_.Set(MakeLocalTime(2026, 12, 6, 1, 15, 20));
  c.FeedLine("X");
  clock_.Set(MakeLocalTime(2026, 12, 6, 1, 15, 23));
  c.FeedLine("Y");
  EXPECT_TRUE(c.HasPendingLines());
  EXPECT_TRUE(finished.empty());
  c.FeedLine("Z  ** End of Test **");
  EXPECT_FALSE(c.HasPendingLines());
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_23")), "X\r\nY\r\n");
  EXPECT_NE(ReadFileBytes(ExcelFile("26_12_06_01_15_23")), "<missing>");
  EXPECT_TRUE(c.StoredLines().empty());
  EXPECT_TRUE(notices_.notices.empty());
  // Whoever acts on finished reports hears of it once its files are on disk.
  ASSERT_EQ(finished.size(), 1u);
  EXPECT_EQ(finished[0].name.base, "26_12_06_01_15_23");
  EXPECT_EQ(finished[0].name.files,
            (std::vector<std::string>{TextFile("26_12_06_01_15_23"), ExcelFile("26_12_06_01_15_23")}));
  EXPECT_EQ(finished[0].model, InstrumentModel::M6310);
  EXPECT_EQ(finished[0].firstLineTime.tm_sec, 20);
  EXPECT_EQ(finished[0].lines, 2u);
  EXPECT_TRUE(finished[0].savedWhereItBelongs);

  // An end line first thing: an empty text file and the workbook as the
  // last report left it, under a name of its own.
  clock_.Set(MakeLocalTime(2026, 12, 6, 1, 15, 24));
  c.FeedLine("End of Test");
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_24")), "");
  EXPECT_EQ(ReadFileBytes(ExcelFile("26_12_06_01_15_24")),
            ReadFileBytes(ExcelFile("26_12_06_01_15_23")).substr(0, 8) + std::string("\x24\0\x04\0\x01\x01\0\x1a", 8) +
                ReadFileBytes(ExcelFile("26_12_06_01_15_23")).substr(8));
}

TEST_F(ReportCollectorTest, AFreshHandlerExportsFontsOnly) {
  UseModel("6350");
  ReportCollector c(clock_, notices_, Target());
  c.RebuildHandler(model_);
  c.FeedLine("Test Ended");
  std::string xls = ReadFileBytes(ExcelFile("26_12_06_01_15_23"));
  EXPECT_EQ(xls.size(), 68u);  // BOF, four fonts, EOF
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_23")), "");
}

TEST_F(ReportCollectorTest, WithoutAModelLinesAreOnlyKeptAsText) {
  UseModel("7000");
  ReportCollector c(clock_, notices_, Target());
  c.RebuildHandler(model_);
  EXPECT_EQ(c.Handler(), nullptr);
  c.FeedLine("1) Title");
  c.FeedLine("End of Test");  // an ordinary line without a handler
  EXPECT_TRUE(c.HasPendingLines());
  EXPECT_FALSE(std::filesystem::exists(root_ + "/Text"));
  EXPECT_TRUE(c.FinishReport());
  EXPECT_FALSE(c.HasPendingLines());
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_23")), "1) Title\r\nEnd of Test\r\n");
  EXPECT_FALSE(std::filesystem::exists(ExcelFile("26_12_06_01_15_23")));
}

TEST_F(ReportCollectorTest, AReportThatNeverEndsIsSavedBeforeItFillsTheMemory) {
  UseModel("7000");  // no model: no end line is ever recognised
  ReportCollector c(clock_, notices_, Target());
  c.RebuildHandler(model_);
  c.SetPendingLimit(1024);
  const std::string line(98, 'n');  // 100 bytes in the file with CR LF
  for (int i = 0; i < 25; ++i) c.FeedLine(line);
  // The eleventh line takes each report past 1 KiB; it is saved with it.
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_23")).size(), 1100u);
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_23_2")).size(), 1100u);
  ASSERT_EQ(notices_.notices.size(), 2u);
  EXPECT_NE(notices_.notices[0].find("without an end-of-test line"), std::string::npos);
  EXPECT_EQ(c.StoredLines().size(), 3u);
  EXPECT_TRUE(c.HasPendingLines());
}

TEST_F(ReportCollectorTest, ModelChangeMidReportKeepsEarlierLinesForTheText) {
  UseModel("6120");
  ReportCollector c(clock_, notices_, Target());
  c.RebuildHandler(model_);
  c.FeedLine("1) Plates");
  c.FeedLine("before");
  UseModel("6310");
  c.RebuildHandler(model_);
  EXPECT_TRUE(c.HasPendingLines());
  c.FeedLine("after");
  Workbook& wb = c.Handler()->GetWorkbook();
  EXPECT_EQ(Show(wb, 1, 1), "after");
  EXPECT_EQ(FilledCells(wb), 1);
  c.FeedLine("End of Test");
  // The files go below the new model's root.
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_23")), "1) Plates\r\nbefore\r\nafter\r\n");
  EXPECT_NE(ReadFileBytes(ExcelFile("26_12_06_01_15_23")), "<missing>");
}

TEST_F(ReportCollectorTest, SameSecondNeverOverwritesAndAFailedTextSaveDropsTheLines) {
  UseModel("6480");
  ReportCollector c(clock_, notices_, Target());
  c.RebuildHandler(model_);
  c.FeedLine("first");
  c.FinishReport();
  c.FeedLine("second");
  c.FeedLine("End of Test");
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_23")), "first\r\n");
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_23_2")), "second\r\n");
  EXPECT_EQ(ReadFileBytes(ExcelFile("26_12_06_01_15_23_2")).size(), 68u + 8);  // column 1 width

  // A text folder that cannot be made: the user is told, and the lines of
  // that report never reach the next report's file.
  std::filesystem::remove_all(root_ + "/Text");
  WriteFileBytes(root_ + "/Text", "not a folder");
  c.FeedLine("lost");
  c.FeedLine("End of Test");
  ASSERT_FALSE(notices_.notices.empty());
  EXPECT_NE(notices_.notices.front().find("Cannot open file for writing: " + root_ + kPathSeparator + "Text" + kPathSeparator),
            std::string::npos);
  EXPECT_TRUE(c.StoredLines().empty());
  EXPECT_FALSE(c.HasPendingLines());
}

TEST_F(ReportCollectorTest, TheTargetIsAskedForOnceAtEachExportAndServesTheWholeReport) {
  UseModel("6310");
  ReportCollector c(clock_, notices_, Target());
  c.RebuildHandler(model_);
  c.FeedLine("first");
  EXPECT_EQ(targetReads_, 0);  // neither built nor fed lines ask
  c.FeedLine("End of Test");
  EXPECT_EQ(targetReads_, 1);
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_23")), "first\r\n");

  // What it says when the next report ends is what counts: another root
  // and more formats, with no rebuild in between.
  root_ = settings_.dir() / "moved";
  std::filesystem::create_directories(root_);
  formats_ = ExportFormats{true, false, true};
  c.FeedLine("second");
  c.FeedLine("End of Test");
  EXPECT_EQ(targetReads_, 2);
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_23")), "second\r\n");
  EXPECT_NE(ReadFileBytes(ExcelFile("26_12_06_01_15_23")), "<missing>");
  EXPECT_NE(ReadFileBytes(root_ + "/Excel/26_12_06_01_15_23.csv"), "<missing>");
  EXPECT_TRUE(notices_.notices.empty());
}

// Two faults of the line that leave a report's files short: told at the
// export, with the files named; the files themselves stay as they were.
TEST_F(ReportCollectorTest, AMergedReportAndLinesLeftOutAreToldWithTheReportsFiles) {
  UseModel("6310");
  ReportCollector c(clock_, notices_, Target());
  c.RebuildHandler(model_);
  c.LineLeftOut("noise\x02");  // between reports: told with the next one
  c.FeedLine("1) First");
  c.FeedLine("B       0.048");
  c.LineLeftOut("S1\x01 0.050\\");
  c.FeedLine("End of T#st");  // garbled: the report goes on
  c.FeedLine("2) Second");
  c.FeedLine("End of Test");
  EXPECT_EQ(ReadFileBytes(TextFile("26_12_06_01_15_23")), "1) First\r\nB       0.048\r\nEnd of T#st\r\n2) Second\r\n");
  EXPECT_EQ(Show(c.Handler()->GetWorkbook(), 3, 3), "<none>");  // the first report's blank row is gone
  ASSERT_EQ(notices_.notices.size(), 2u) << testing::PrintToString(notices_.notices);
  EXPECT_EQ(notices_.notices[0], "The report " + TextFile("26_12_06_01_15_23") +
                                     " holds 2 reports: \"2) Second\" began before \"1) First\" had ended (its "
                                     "end-of-test line never came, or came garbled). The worksheet " +
                                     ExcelFile("26_12_06_01_15_23") +
                                     " holds only the later report; the earlier results are in the .txt only.");
  EXPECT_NE(notices_.notices[1].find("2 received lines were left out of the report " + TextFile("26_12_06_01_15_23") +
                                     " and " + ExcelFile("26_12_06_01_15_23")),
            std::string::npos);
  EXPECT_NE(notices_.notices[1].find(": \"noise\\x02\" before its first line; \"S1\\x01 0.050\\\\\" after line 2 of the .txt."),
            std::string::npos) << notices_.notices[1];

  // One report start, the flood of a noisy line capped: nothing more of
  // the merge, the first lines shown and the rest counted.
  notices_.notices.clear();
  c.FeedLine("3) Third");
  for (int i = 0; i < 1000; ++i) c.LineLeftOut(std::string(300, '\xff'));
  c.FeedLine("End of Test");
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_NE(notices_.notices[0].find("1000 received lines were left out"), std::string::npos);
  EXPECT_NE(notices_.notices[0].find("\\xFF...\" after line 1 of the .txt; and 997 more."), std::string::npos);
  EXPECT_LT(notices_.notices[0].size(), 4000u);
}

// The results file comes beside the .txt and .xls under their name, and
// leaves their bytes as they are without it; a model without a handler
// writes none.
TEST_F(ReportCollectorTest, ResultsFileSharesTheReportsNameAndLeavesItsOtherFilesAlone) {
  UseModel("6350");
  const std::vector<std::string> report = {"1) Qualitative  HAV", "Date: 03/05/2024   Time: 14:20:03",
                                           "Strip Format: 12 Wells", "W   ID        ABS    S/CO    Interp",
                                           "Strip: 1", "1   NC,x       1.605      4.59    POS", "Test Ended"};
  std::string txt, xls;
  for (const char* formats : {"xls", "xls,results"}) {
    formats_ = ParseExportFormats(formats);
    ReportCollector c(clock_, notices_, Target());
    c.RebuildHandler(model_);
    std::vector<FinishedReport> finished;
    c.SetFinishedSink([&](const FinishedReport& r) { finished.push_back(r); });
    for (const std::string& line : report) c.FeedLine(line);
    ASSERT_EQ(finished.size(), 1u);
    const std::string base = finished[0].name.base;
    if (txt.empty()) {
      txt = ReadFileBytes(TextFile(base));
      xls = ReadFileBytes(ExcelFile(base));
      EXPECT_FALSE(std::filesystem::exists(root_ + "/Results"));
      continue;
    }
    EXPECT_EQ(base, "26_12_06_01_15_23_2");  // the first report's files keep their name
    EXPECT_EQ(ReadFileBytes(TextFile(base)), txt);
    EXPECT_EQ(ReadFileBytes(ExcelFile(base)), xls);
    const std::string csv = root_ + kPathSeparator + "Results" + kPathSeparator + base + ".csv";
    EXPECT_EQ(finished[0].name.files.back(), csv);
    EXPECT_TRUE(finished[0].savedWhereItBelongs);
    const std::string bytes = ReadFileBytes(csv);
    const std::string row = "26_12_06_01_15_23_2,6350,Qualitative  HAV,03/05/2024 14:20:03,2026-12-06T01:15:23";
    ASSERT_GT(bytes.size(), std::string(kResultsHeader).size() + row.size());
    EXPECT_EQ(bytes.substr(std::string(kResultsHeader).size(), row.size()), row);
    const std::string end = ",,1,1,\"NC,x\",control,ABS,1.605,4.59,S/CO,POS,\r\n";
    EXPECT_EQ(bytes.substr(bytes.size() - end.size()), end);
  }
  EXPECT_TRUE(notices_.notices.empty());

  // A report that began over an unfinished one: the results file holds the
  // later one only, as the worksheet does, and the notice says so.
  ReportCollector merged(clock_, notices_, Target());
  merged.RebuildHandler(model_);
  for (const std::string& line : report) merged.FeedLine(line == "Test Ended" ? "2) Later" : line);
  merged.FeedLine("Test Ended");
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_NE(notices_.notices[0].find(".xls and " + root_ + kPathSeparator + "Results" + kPathSeparator +
                                     "26_12_06_01_15_23_3.csv holds only the later report"),
            std::string::npos)
      << notices_.notices[0];
  notices_.notices.clear();

  // Without a handler there is nothing recognised to write.
  formats_ = ParseExportFormats("results");
  ReportCollector none(clock_, notices_, Target());
  none.RebuildHandler(InstrumentModel::None);
  none.FeedLine("1) Qualitative  HAV");
  none.FinishReport();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_ + "/Results"), {}), 2);
}

}  // namespace

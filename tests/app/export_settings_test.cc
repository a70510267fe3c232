// The export's settings: read anew each time they are asked for, and asked
// for by the capture when a report is exported, not when it was set up.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/capture_session.h"
#include "app/export_settings.h"
#include "app/settings.h"
#include "platform/clock.h"
#include "platform/notice.h"
#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

class IgnoredLines : public LineList {
 public:
  void AddLine(const std::string&) override {}
};

TEST(ExportSettings, TheTargetIsTheConfiguredModelsFoldersAndFormatsAsTheyAreNow) {
  IsolatedSettings env;
  std::vector<std::string> unknown;
  ExportFormats none = ReadExportFormats(&unknown);
  EXPECT_TRUE(none.xls && !none.xlsx && !none.csv);
  EXPECT_TRUE(unknown.empty());

  WriteSetting("DevType", "6120");
  WriteSetting("6120_Root", env.dir() / "plates");
  WriteSetting("ExportFormats", "csv, pdf");
  ExportFormats csv = ReadExportFormats(&unknown);
  EXPECT_TRUE(!csv.xls && !csv.xlsx && csv.csv);
  EXPECT_EQ(unknown, std::vector<std::string>{"pdf"});

  ExportTarget target = ReadExportTarget();
  EXPECT_EQ(target.textFolder, TextFolder());
  EXPECT_EQ(target.excelFolder, ExcelFolder());
  EXPECT_EQ(target.textFolder, env.dir() / "plates" + kPathSeparator + "Text");
  EXPECT_TRUE(!target.formats.xls && !target.formats.xlsx && target.formats.csv);

  // Another model, and the folders follow it at the next read.
  WriteSetting("DevType", "6310");
  WriteSetting("6310_Root", env.dir() / "samples");
  EXPECT_EQ(ReadExportTarget().excelFolder, env.dir() / "samples" + kPathSeparator + "Excel");
}

TEST(ExportSettings, TheSessionReadsTheFoldersAndFormatsWhenAReportIsExported) {
  IsolatedSettings env;
  WriteSetting("DevType", "6310");
  WriteSetting("6310_Root", env.dir() / "first");
  FixedClock clock{MakeLocalTime(2026, 12, 7, 10, 30, 0)};
  RecordingNoticeSink notices;
  IgnoredLines lines;
  CaptureSession session{clock, notices, lines};
  session.ApplySettings();

  const std::string report = "Report No. 12\r\n  1   A1   0.123   Sample 0001\r\nEnd of Test\r\n";
  session.FeedBytes(report.data(), report.size());
  const std::string base = "26_12_07_10_30_00";
  const std::string first = env.dir() / "first";
  EXPECT_NE(ReadFileBytes(first + "/Text/" + base + ".txt"), "<missing>");
  EXPECT_NE(ReadFileBytes(first + "/Excel/" + base + ".xls"), "<missing>");

  // Changed in the file with nothing applied: the next report follows.
  WriteSetting("6310_Root", env.dir() / "second");
  ASSERT_TRUE(MakeDirectory(env.dir() / "second"));
  WriteSetting("ExportFormats", "xls,csv");
  session.FeedBytes(report.data(), report.size());
  const std::string second = env.dir() / "second";
  EXPECT_NE(ReadFileBytes(second + "/Text/" + base + ".txt"), "<missing>");
  EXPECT_NE(ReadFileBytes(second + "/Excel/" + base + ".xls"), "<missing>");
  EXPECT_NE(ReadFileBytes(second + "/Excel/" + base + ".csv"), "<missing>");
  EXPECT_EQ(ReadFileBytes(first + "/Excel/" + base + ".csv"), "<missing>");
}

}  // namespace

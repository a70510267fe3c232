#include "export/results_file.h"

#include <gtest/gtest.h>

#include <regex>

#include "export/report_export.h"
#include "tests/export/export_fixture.h"

namespace {

TEST(ResultsFile, OneHeaderThenOneQuotedLinePerRow) {
  ReportResults results;
  results.test = "Endpoint  HBsAg, \"fast\"";
  results.printedDate = "03/05/2024 10:42:17";
  // plate, strip, position, sample_id, kind, measure, value, result, unit, interpretation, flag
  results.rows = {{"", "1", "4", "P0104", "sample", "ABS", "1.995", "", "", "", "no_result"},
                  {"", "", "S1", "", "calibrator", "", "0.050", "0.00", "uIU/mL", "NOT\r\nDONE", ""}};
  StringSink sink;
  std::string err;
  ASSERT_TRUE(WriteResults(results, "26_12_06_01_15_23", "6350", "2026-12-06T01:15:23+01:00", sink, &err));
  EXPECT_EQ(sink.bytes,
            "report,model,test,printed_date,exported_at,plate,strip,position,sample_id,kind,measure,value,"
            "result,result_unit,interpretation,flag\r\n"
            "26_12_06_01_15_23,6350,\"Endpoint  HBsAg, \"\"fast\"\"\",03/05/2024 10:42:17,"
            "2026-12-06T01:15:23+01:00,,1,4,P0104,sample,ABS,1.995,,,,no_result\r\n"
            "26_12_06_01_15_23,6350,\"Endpoint  HBsAg, \"\"fast\"\"\",03/05/2024 10:42:17,"
            "2026-12-06T01:15:23+01:00,,,S1,,calibrator,,0.050,0.00,uIU/mL,\"NOT\r\nDONE\",\r\n");

  // A report without rows still says what its columns are.
  StringSink empty;
  ASSERT_TRUE(WriteResults(ReportResults(), "x", "6120", "t", empty, &err));
  EXPECT_EQ(empty.bytes, kResultsHeader);
}

TEST(ResultsFile, ExportTimeKeepsTheLocalFieldsAndAddsTheirOffset) {
  // Whatever the zone of the machine: the local fields as they are, and an
  // offset of whole minutes within a day.
  for (std::tm local : {MakeLocalTime(2026, 1, 31, 23, 59, 58), MakeLocalTime(2026, 7, 1, 0, 0, 0)}) {
    const std::string iso = IsoLocalTime(local);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(iso, m, std::regex(R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)[+-](\d\d):([0-5]\d))"))) << iso;
    EXPECT_TRUE(m[1] == "2026-01-31T23:59:58" || m[1] == "2026-07-01T00:00:00") << iso;
    EXPECT_LE(std::stoi(m[2]), 14) << iso;
  }
}

TEST_F(ExportTest, ResultsFileIsAFormatWithItsOwnFolderAndSharesTheReportsName) {
  ExportFormats alone = ParseExportFormats("results");
  EXPECT_TRUE(alone.results && !alone.xls && !alone.xlsx && !alone.csv);
  ExportFormats both = ParseExportFormats("xls, RESULTS");
  EXPECT_TRUE(both.results && both.xls);
  EXPECT_FALSE(ParseExportFormats("").results);

  target_.resultsFolder = root() + kPathSeparator + "Results";
  const std::string results = target_.resultsFolder + kPathSeparator;
  // A results file left by an earlier report takes its name only while
  // results files are asked for.
  MakeDirectory(target_.resultsFolder);
  WriteFileBytes(results + "26_12_06_01_15_23.csv", "old");
  EXPECT_EQ(ChooseExportName(time_, target_).base, "26_12_06_01_15_23");
  target_.formats = both;
  ExportName name = ChooseExportName(time_, target_);
  EXPECT_EQ(name.base, "26_12_06_01_15_23_2");

  ReportResults printed;
  printed.test = "TSH";
  printed.rows.resize(1);
  ASSERT_TRUE(ExportResultsFile(printed, "6310", name, target_, notices_));
  EXPECT_TRUE(notices_.notices.empty());
  ASSERT_EQ(name.files, std::vector<std::string>{results + "26_12_06_01_15_23_2.csv"});
  const std::string bytes = ReadFileBytes(name.files[0]);
  const std::string header = kResultsHeader;
  EXPECT_EQ(bytes.substr(0, header.size()), header);
  EXPECT_EQ(bytes.substr(header.size(), 37), "26_12_06_01_15_23_2,6310,TSH,,2026-12");
  EXPECT_EQ(ReadFileBytes(results + "26_12_06_01_15_23.csv"), "old");

  // A results folder that cannot be made sends the file to the unsaved folder, told.
  WriteFileBytes(root() + kPathSeparator + "blocked", "");
  target_.resultsFolder = root() + kPathSeparator + "blocked" + kPathSeparator + "Results";
  ExportName next = ChooseExportName(time_, target_);
  EXPECT_FALSE(ExportResultsFile(printed, "6310", next, target_, notices_));
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_NE(notices_.notices[0].find("Cannot open file for writing: " + target_.resultsFolder), std::string::npos);
  ASSERT_EQ(next.files.size(), 1u);
  EXPECT_EQ(next.files[0].rfind(unsaved(), 0), 0u) << next.files[0];
}

}  // namespace

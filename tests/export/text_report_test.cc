#include "export/text_report.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/export/export_test_support.h"

namespace {

TEST(TextReport, LinesAreWrittenWithCrLfAndUnchanged) {
  TextReport report;
  report.lines = {"X", "Y", "Z"};
  StringSink sink;
  std::string err;
  ASSERT_TRUE(report.Write(sink, &err));
  EXPECT_EQ(FirstDifference(GoldenFile("xyz.txt"), sink.bytes), "");

  report.lines = {"", "50% done %s %n", std::string("a\0b", 3), "\xB5g/ml"};
  sink.bytes.clear();
  ASSERT_TRUE(report.Write(sink, &err));
  EXPECT_EQ(sink.bytes, std::string("\r\n50% done %s %n\r\na\0b\r\n\xB5g/ml\r\n", 30));

  report.lines.clear();
  sink.bytes.clear();
  ASSERT_TRUE(report.Write(sink, &err));
  EXPECT_EQ(sink.bytes, "");
}

TEST(TextReport, SaveWritesNewFilesOnly) {
  TempDir dir;
  TextReport report;
  report.lines = {"X", "Y", "Z"};
  EXPECT_EQ(report.Save(dir / "a.txt"), 0);
  EXPECT_EQ(ReadFileBytes(dir / "a.txt"), GoldenFile("xyz.txt"));

  report.lines.clear();
  EXPECT_EQ(report.Save(dir / "empty.txt"), 0);
  EXPECT_EQ(ReadFileBytes(dir / "empty.txt"), "");

  // An existing report is never replaced.
  std::string err;
  report.lines = {"other"};
  EXPECT_FALSE(report.SaveTo(dir / "a.txt", &err));
  EXPECT_NE(err.find("exists"), std::string::npos) << err;
  EXPECT_EQ(ReadFileBytes(dir / "a.txt"), GoldenFile("xyz.txt"));

  // A folder that cannot exist: its parent is a regular file.
  WriteFileBytes(dir / "plain", "x");
  EXPECT_EQ(report.Save(dir / "plain/sub/a.txt"), -1);
  EXPECT_FALSE(report.SaveTo(dir / "plain/a.txt", &err));
  EXPECT_NE(err, "");

  // Nothing but the saved files is left behind: no temporary names.
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 3u);
}

TEST(TextReport, FailedWritesAreReported) {
  TextReport report;
  for (int i = 0; i < 10000; ++i) report.lines.push_back("line " + std::to_string(i));
  StringSink whole;
  std::string err;
  ASSERT_TRUE(report.Write(whole, &err));
  for (size_t limit : {size_t{0}, size_t{5}, whole.bytes.size() - 1}) {
    FailingSink sink(limit);
    EXPECT_FALSE(report.Write(sink, &err)) << limit;
    EXPECT_EQ(sink.failures, 1);
  }
}

}  // namespace

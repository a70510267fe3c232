// Transcripts go in through the receive path as the port delivers them; the
// exported .txt and .xls must equal the hand-laid goldens byte for byte,
// however the bytes were cut into chunks.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/capture_session.h"
#include "platform/clock.h"
#include "platform/notice.h"
#include "app/settings.h"
#include "tests/export/export_test_support.h"
#include "tests/test_support.h"

namespace {

struct NullList : LineList {
  void AddLine(const std::string&) override {}
};

const std::string kStamp = "26_12_06_01_15_23";

std::string DataPath(const std::string& name) {
  return std::string(HARROW_SOURCE_DIR) + "/tests/report/" + name;
}

/// The report files below `root` (relative path -> bytes): the traffic log
/// and the manifest (its times are the machine's) left out.
std::map<std::string, std::string> ExportedFiles(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    std::string rel = std::filesystem::relative(e.path(), root).generic_string();
    if (rel.rfind("Log/", 0) == 0 || rel.rfind("Manifest/", 0) == 0) continue;
    files[rel] = ReadFileBytes(e.path().string());
  }
  return files;
}

/// Feeds `bytes` into a fresh session for `model` below `root`, handing
/// FeedBytes the pieces that `cuts` (ascending offsets) mark out.
std::map<std::string, std::string> Replay(const std::string& model, const std::string& root,
                                          const std::string& bytes, const std::vector<size_t>& cuts,
                                          bool reportsOnThread = false) {
  OverrideSetting("DevType", model);
  OverrideSetting(model + "_Root", root);
  FixedClock clock(MakeLocalTime(2026, 12, 6, 1, 15, 23));
  RecordingNoticeSink sink;
  NullList list;
  {
    CaptureSession session(clock, sink, list);
    if (reportsOnThread) session.HandleReportsOnThread();
    session.ApplySettings();
    size_t at = 0;
    for (size_t cut : cuts) {
      session.FeedBytes(bytes.data() + at, cut - at);
      at = cut;
    }
    session.FeedBytes(bytes.data() + at, bytes.size() - at);
    EXPECT_FALSE(session.Collector().HasPendingLines());
  }
  // The one line of the transcripts with a TAB is left out of its report,
  // and said so; nothing else is told.
  for (const std::string& notice : sink.notices) {
    EXPECT_NE(notice.find(" left out of the report " + root), std::string::npos) << notice;
    EXPECT_NE(notice.find(": \"Note:\\tsee sheet\" after line 2 of the .txt."), std::string::npos) << notice;
  }
  EXPECT_EQ(sink.notices.size(), model == "6120" ? 1u : 0u);
  return ExportedFiles(root);
}

/// The goldens of one transcript, keyed as ExportedFiles keys them.
std::map<std::string, std::string> Goldens(const std::string& name, int reports) {
  std::map<std::string, std::string> files;
  for (int n = 1; n <= reports; ++n) {
    std::string base = kStamp;
    if (n > 1) base.append("_").append(std::to_string(n));
    std::string golden = DataPath("golden/" + name + "." + std::to_string(n));
    files["Text/" + base + ".txt"] = ReadFileBytes(golden + ".txt");
    files["Excel/" + base + ".xls"] = ReadFileBytes(golden + ".xls");
  }
  return files;
}

void ExpectSameFiles(const std::map<std::string, std::string>& expected,
                     const std::map<std::string, std::string>& actual, const std::string& where) {
  for (const auto& [name, bytes] : expected) {
    auto it = actual.find(name);
    ASSERT_NE(it, actual.end()) << where << ": missing " << name;
    EXPECT_EQ(FirstDifference(bytes, it->second), "") << where << ": " << name;
  }
  EXPECT_EQ(actual.size(), expected.size()) << where;
}

struct Transcript {
  const char* model;
  const char* name;
  int reports;
};

const Transcript kTranscripts[] = {
    {"6120", "6120-plates", 2},
    {"6310", "6310-samples", 1},
    {"6350", "6350-strips", 1},
    {"6480", "6480-lettered", 2},
};

class EndToEndTest : public testing::TestWithParam<Transcript> {
 protected:
  IsolatedSettings settings_;
};

TEST_P(EndToEndTest, ExportsMatchTheGoldensForAnyChunking) {
  const Transcript& t = GetParam();
  std::string bytes = ReadFileBytes(DataPath(std::string("data/") + t.name + ".txt"));
  ASSERT_NE(bytes, "<missing>");
  auto expected = Goldens(t.name, t.reports);
  int run = 0;
  auto check = [&](const std::vector<size_t>& cuts, const std::string& how, bool onThread = false) {
    SCOPED_TRACE(how);
    std::string root = settings_.dir() / ("root" + std::to_string(++run));
    ExpectSameFiles(expected, Replay(t.model, root, bytes, cuts, onThread), how);
  };

  check({}, "whole");
  std::vector<size_t> every;
  for (size_t i = 1; i < bytes.size(); ++i) every.push_back(i);
  check(every, "one byte at a time");
  // harrow-capture hands the reports to a thread of their own.
  check({}, "whole, reports on their own thread", true);
  check(every, "one byte at a time, reports on their own thread", true);
  std::mt19937 rng(1234);
  for (int round = 0; round < 3; ++round) {
    std::vector<size_t> cuts;
    for (size_t at = rng() % 150; at < bytes.size(); at += 1 + rng() % 150) cuts.push_back(at);
    check(cuts, "random pieces " + std::to_string(round));
  }
  // One cut at every position: a line split anywhere, a CR split from its LF.
  for (size_t cut = 1; cut < bytes.size(); ++cut) {
    check({cut}, "cut at " + std::to_string(cut));
    if (HasFailure()) break;
  }
}

// With every format asked for, the .txt and .xls stay the goldens, and the
// .xlsx beside each .xls reads back, through openpyxl and gnumeric, as the
// golden .xls does through xlrd.
TEST_P(EndToEndTest, XlsxBesideTheXlsReadsBackAsTheGolden) {
  const Transcript& t = GetParam();
  OverrideSetting("ExportFormats", "xls,xlsx,csv");
  std::string bytes = ReadFileBytes(DataPath(std::string("data/") + t.name + ".txt"));
  std::string root = settings_.dir() / "all-formats";
  auto files = Replay(t.model, root, bytes, {});
  auto expected = Goldens(t.name, t.reports);
  for (const auto& [name, golden] : expected) EXPECT_EQ(FirstDifference(golden, files[name]), "") << name;
  EXPECT_EQ(files.size(), expected.size() + 2u * t.reports);
  if (!HaveXlsxReaders()) GTEST_SKIP() << "python3-openpyxl, python3-xlrd, gnumeric or unzip is not installed";
  for (int n = 1; n <= t.reports; ++n) {
    std::string base = kStamp + (n > 1 ? "_" + std::to_string(n) : "");
    std::string xlsx = root + "/Excel/" + base + ".xlsx";
    ASSERT_TRUE(files.count("Excel/" + base + ".xlsx")) << base;
    std::string golden = DataPath("golden/" + std::string(t.name) + "." + std::to_string(n) + ".xls");
    EXPECT_EQ(RunReadBack("compare '" + golden + "' '" + xlsx + "'"), "") << base;
  }
}

INSTANTIATE_TEST_SUITE_P(Models, EndToEndTest, testing::ValuesIn(kTranscripts),
                         [](const testing::TestParamInfo<Transcript>& info) {
                           return std::string("M") + info.param.model;
                         });

}  // namespace

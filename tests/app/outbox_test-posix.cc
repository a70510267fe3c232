// Delivery into a watched folder: which files go, the names they get, and a
// folder that fails (missing, refusing) told once, queued in a file that
// survives a restart, and delivered once it is back. The session wires it
// to each report with the command after export.

#include "app/outbox.h"

#include <sys/stat.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>

#include "app/capture_session.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Notices from the delivery thread, waited for.
class WaitingSink : public NoticeSink {
 public:
  void Notice(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    notices_.push_back(text);
    changed_.notify_all();
  }
  bool WaitFor(const std::string& part) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] {
      return std::any_of(notices_.begin(), notices_.end(),
                         [&](const std::string& n) { return n.find(part) != std::string::npos; });
    });
  }
  std::vector<std::string> Notices() {
    std::lock_guard<std::mutex> lock(mutex_);
    return notices_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> notices_;
};

TEST(Outbox, FormatsPickTheReportsFiles) {
  const std::vector<std::string> files = {"/r/Text/a.txt", "/r/Excel/a.xls", "/r/Excel/a.xlsx", "/r/Excel/a.csv",
                                          "/r/Results/a.csv", "/u/unsaved/a.XLS"};
  struct Case {
    const char* formats;
    std::vector<std::string> files;
  } cases[] = {
      {"results", {"/r/Results/a.csv"}},
      {"csv", {"/r/Excel/a.csv"}},
      {" XLS , txt", {"/r/Text/a.txt", "/r/Excel/a.xls", "/u/unsaved/a.XLS"}},
      {"xlsx,pdf,", {"/r/Excel/a.xlsx"}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(FilesToDeliver(files, c.formats), c.files) << c.formats;
  std::vector<std::string> unknown;
  FilesToDeliver(files, "xls, pdf ,Results", &unknown);
  EXPECT_EQ(unknown, std::vector<std::string>{"pdf"});
}

TEST(Outbox, ACopyNeverReplacesAnotherFileAndLeavesNoTemporaryFile) {
  TempDir dir;
  fs::create_directories(dir / "out");
  const std::string source = dir / "26_12_08_10_00_00.csv";
  WriteFileBytes(source, "plate;1\n");
  WriteFileBytes(dir / "out" + "/26_12_08_10_00_00.csv", "another report\n");
  std::string delivered, err;
  ASSERT_TRUE(DeliverFile(source, dir / "out", &delivered, &err)) << err;
  EXPECT_EQ(delivered, dir / "out" + "/26_12_08_10_00_00_2.csv");
  // Delivered again (a capture killed before its queue was written): the
  // same bytes under a name are that delivery.
  ASSERT_TRUE(DeliverFile(source, dir / "out", &delivered, &err)) << err;
  EXPECT_EQ(delivered, dir / "out" + "/26_12_08_10_00_00_2.csv");
  EXPECT_EQ(Names(dir / "out"), (std::vector<std::string>{"26_12_08_10_00_00.csv", "26_12_08_10_00_00_2.csv"}));
  EXPECT_EQ(ReadFileBytes(dir / "out" + "/26_12_08_10_00_00.csv"), "another report\n");

  bool gone = false;
  EXPECT_FALSE(DeliverFile(source, dir / "missing", &delivered, &err, &gone));
  EXPECT_NE(err.find(dir / "missing"), std::string::npos) << err;
  EXPECT_FALSE(PathExists(dir / "missing"));  // a mount point is never filled
  EXPECT_FALSE(gone);
  EXPECT_FALSE(DeliverFile(dir / "nothing.csv", dir / "out", &delivered, &err, &gone));
  EXPECT_TRUE(gone);
}

TEST(Outbox, AFailedDeliveryIsToldOnceQueuedAndDeliveredAfterARestart) {
  TempDir dir;
  // A share that is not mounted: its mount point is missing.
  const std::string root = dir / "root", out = dir / "out";
  fs::create_directories(root + "/Results");
  const std::string source = root + "/Results/a.csv";
  WriteFileBytes(source, "a\n");
  {
    WaitingSink notices;
    Outbox outbox(notices);
    outbox.SetRetryInterval(std::chrono::milliseconds(20));
    bool ran = false;
    outbox.Deliver(root, out, {source}, [&] { ran = true; });
    ASSERT_TRUE(notices.WaitFor("Cannot deliver " + source + " to the outbox " + out));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // several retries
    EXPECT_EQ(notices.Notices().size(), 1u) << ::testing::PrintToString(notices.Notices());
    EXPECT_NE(notices.Notices()[0].find("does not exist"), std::string::npos) << notices.Notices()[0];
    EXPECT_NE(notices.Notices()[0].find("1 delivery waits"), std::string::npos) << notices.Notices()[0];
    EXPECT_EQ(outbox.Waiting(), 1u);
    EXPECT_TRUE(outbox.Stop(std::chrono::seconds(5)));
    EXPECT_TRUE(ran);  // the command does not wait for a folder that is down
  }
  EXPECT_EQ(ReadFileBytes(OutboxQueuePath(root)), out + "\t" + source + "\n");
  EXPECT_FALSE(PathExists(out));

  fs::create_directories(out);
  WaitingSink notices;
  Outbox outbox(notices);
  outbox.Resume(root);
  ASSERT_TRUE(outbox.Stop(std::chrono::seconds(5)));
  EXPECT_EQ(outbox.Waiting(), 0u);
  EXPECT_EQ(Names(out), std::vector<std::string>{"a.csv"});
  EXPECT_EQ(ReadFileBytes(OutboxQueuePath(root)), "");
  EXPECT_EQ(ReadFileBytes(source), "a\n");
}

TEST(Outbox, TheSessionDeliversEachReportThenRunsTheCommand) {
  IsolatedSettings env;
  const std::string out = env.dir() / "out", args = env.dir() / "args";
  fs::create_directories(out);
  const std::string script = env.dir() / "after export ü.sh";
  WriteFileBytes(script, "#!/bin/sh\nprintf '%s\\n' \"$HARROW_REPORT $HARROW_MODEL\" \"$@\" >\"$0.args\"\n"
                         "ls \"$OUTBOX\" >>\"$0.args\"\n");
  ::chmod(script.c_str(), 0755);
  ScopedEnv outboxEnv("OUTBOX", out);
  WriteSetting("ComPort", "harrowNP");
  WriteSetting("6310_Root", env.dir() / "root");
  WriteSetting("OutboxFolder", out);
  WriteSetting("OutboxFormats", "txt");
  WriteSetting("AfterExport", "\"" + script + "\" --site \"lab 2\" -v");
  FixedClock clock{MakeLocalTime(2026, 12, 7, 10, 30, 0)};
  RecordingNoticeSink notices;
  class : public LineList {
    void AddLine(const std::string&) override {}
  } lines;
  {
    CaptureSession session(clock, notices, lines);
    session.ApplySettings();
    std::string bytes = "Report No. 12\r\n  1   A1   0.123   Sample 0001\r\n";
    session.FeedBytes(bytes.data(), bytes.size());
    session.Shutdown();
  }
  const std::string root = env.dir() / "root";
  EXPECT_EQ(Names(out), std::vector<std::string>{"26_12_07_10_30_00.txt"});
  EXPECT_EQ(ReadFileBytes(out + "/26_12_07_10_30_00.txt"), ReadFileBytes(root + "/Text/26_12_07_10_30_00.txt"));
  EXPECT_EQ(ReadFileBytes(script + ".args"), "26_12_07_10_30_00 6310\n--site\nlab 2\n-v\n" + root +
                                                 "/Text/26_12_07_10_30_00.txt\n" + root +
                                                 "/Excel/26_12_07_10_30_00.xls\n26_12_07_10_30_00.txt\n");
  EXPECT_TRUE(notices.notices.empty()) << ::testing::PrintToString(notices.notices);
}

}  // namespace

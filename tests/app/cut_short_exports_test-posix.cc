#include "app/cut_short_exports.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "app/capture_session.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

// The id of a process that has just ended.
pid_t EndedProcessId() {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

pid_t ParentProcessId() { return ::getppid(); }

std::string TempName(const std::string& finalName, const std::string& machine, unsigned long pid) {
  return finalName + ".tmp-" + machine + "-" + std::to_string(pid) + "-Ab12Cd";
}

TEST(CutShortExports, OnlyFilesOfWritersThatAreGoneCount) {
  const std::string here = MachineName();
  unsigned long gone = static_cast<unsigned long>(EndedProcessId());
  EXPECT_TRUE(IsStaleTempFile({"a.xls", here, gone}, 0));
  // A writer that runs, this process included, keeps its file however old.
  EXPECT_FALSE(IsStaleTempFile({"a.xls", here, CurrentProcessId()}, 1 << 30));
  EXPECT_FALSE(IsStaleTempFile({"a.xls", here, static_cast<unsigned long>(ParentProcessId())}, 1 << 30));
  // Another machine's (a shared folder): only when untouched for an hour.
  EXPECT_FALSE(IsStaleTempFile({"a.xls", "elsewhere", gone}, 60));
  EXPECT_TRUE(IsStaleTempFile({"a.xls", "elsewhere", gone}, 2 * 3600));
}

TEST(CutShortExports, StaleFilesAreRemovedAndTheMissingExportsNamedOnce) {
  IsolatedSettings env;
  std::string root = env.dir() / "root";
  OverrideSetting(ReadDevType() + "_Root", root);
  CreateDataFolders();
  const std::string text = TextFolder(), excel = ExcelFolder();
  const std::string here = MachineName();
  unsigned long gone = static_cast<unsigned long>(EndedProcessId());
  unsigned long live = static_cast<unsigned long>(ParentProcessId());

  WriteFileBytes(text + "/26_12_06_01_15_23.txt", "report\r\n");
  WriteFileBytes(excel + "/" + TempName("26_12_06_01_15_23.xls", here, gone), "half");
  WriteFileBytes(text + "/" + TempName("26_12_06_01_15_24.txt", here, gone), "half");
  // Committed, but killed before its temporary name was removed.
  WriteFileBytes(excel + "/26_12_06_01_15_20.xls", "whole");
  WriteFileBytes(excel + "/" + TempName("26_12_06_01_15_20.xls", here, gone), "whole");
  // A live writer's, and a recent one of another machine: left alone.
  const std::string liveTemp = excel + "/" + TempName("26_12_06_01_15_25.xls", here, live);
  const std::string foreign = excel + "/" + TempName("26_12_06_01_15_26.xls", "elsewhere", 7);
  WriteFileBytes(liveTemp, "busy");
  WriteFileBytes(foreign, "busy");
  const std::string oldForeign = excel + "/" + TempName("26_12_06_01_15_27.xls", "elsewhere", 8);
  WriteFileBytes(oldForeign, "old");
  std::filesystem::last_write_time(oldForeign,
                                   std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
  WriteFileBytes(excel + "/notes.tmp-keep", "mine");

  RecordingNoticeSink notices;
  CleanUpCutShortExports("/log/USB_Serial.log", notices);
  ASSERT_EQ(notices.notices.size(), 1u);
  const std::string& n = notices.notices[0];
  EXPECT_EQ(n, "An export was cut short when the capture last ended:\n" + text +
                   "/26_12_06_01_15_24.txt was never written\n" + excel +
                   "/26_12_06_01_15_23.xls was never written (the report is in " + text +
                   "/26_12_06_01_15_23.txt)\n" + excel +
                   "/26_12_06_01_15_27.xls was never written\n"
                   "To export the reports of the traffic log again, run: harrow-capture --replay-log "
                   "\"/log/USB_Serial.log\" --root NEW-FOLDER")
      << n;
  EXPECT_TRUE(PathExists(liveTemp));
  EXPECT_TRUE(PathExists(foreign));
  EXPECT_TRUE(PathExists(excel + "/notes.tmp-keep"));
  EXPECT_EQ(ReadFileBytes(excel + "/26_12_06_01_15_20.xls"), "whole");
  std::size_t left = 0;
  for (const auto& e : std::filesystem::directory_iterator(excel)) left += e.path().string().find(".tmp-") != std::string::npos;
  EXPECT_EQ(left, 3u);

  // Nothing left to tell the next time.
  notices.notices.clear();
  CleanUpCutShortExports("/log/USB_Serial.log", notices);
  EXPECT_TRUE(notices.notices.empty());
}

// Both front ends start through the session, so both clean up.
TEST(CutShortExports, TheWindowsStartUpCleansUpAndTellsTheUser) {
  struct NoLines : LineList {
    void AddLine(const std::string&) override {}
  } lines;
  IsolatedSettings env;
  WriteSetting("ComPort", "harrowNP");
  WriteSetting("6310_Root", env.dir() / "root");
  CreateDataFolders();
  const std::string temp = ExcelFolder() + "/" + TempName("26_12_06_01_15_23.xls", MachineName(), EndedProcessId());
  WriteFileBytes(temp, "half");
  FixedClock clock{MakeLocalTime(2026, 12, 7, 10, 30, 0)};
  RecordingNoticeSink notices;
  CaptureSession session(clock, notices, lines);
  session.StartUp();
  EXPECT_FALSE(PathExists(temp));
  ASSERT_EQ(notices.notices.size(), 1u);
  EXPECT_EQ(notices.notices[0].rfind("An export was cut short when the capture last ended:\n", 0), 0u)
      << notices.notices[0];
}

}  // namespace

// The traffic log on a file system that refuses bytes: the process's
// file-size limit makes writes fail as a full disk would.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <gtest/gtest.h>

#include "app/traffic_log.h"
#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

TEST(TrafficLogLimits, RefusedWritesAreToldLeaveNoPartLineAndAreCountedWhenTakenAgain) {
  IgnoreFileSizeLimitSignal();
  TempDir dir;
  std::string path = dir / "USB_Serial.log";
  FixedClock clock{MakeLocalTime(2026, 12, 6, 1, 23, 45)};
  RecordingNoticeSink notices;
  TrafficLog log(clock, &notices);
  log.Open(path);
  log.WriteLine("before");
  std::string before = ReadFileBytes(path);

  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  // Room for a few bytes of the next line, not for all of it.
  rlimit tight{static_cast<rlim_t>(before.size() + 8), old.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  log.WriteLine("a line longer than the room left");
  log.WriteLine("second");
  log.WriteLine("third");
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
  EXPECT_EQ(ReadFileBytes(path), before);  // no part of a refused line
  ASSERT_EQ(notices.notices.size(), 1u);
  EXPECT_EQ(notices.notices[0], "The traffic log " + path + " refuses lines (write failed: " +
                                    SystemErrorText(EFBIG) +
                                    "). Received lines are still shown and reports exported, but they are "
                                    "missing from the log until it takes lines again.");
  EXPECT_EQ(log.MissedLines(), 3u);

  log.WriteLine("after");
  ASSERT_EQ(notices.notices.size(), 2u);
  EXPECT_EQ(notices.notices[1],
            "The traffic log " + path + " takes lines again; 3 lines received meanwhile are missing from it.");
  std::string stamp = TrafficLog::TimeStamp(MakeLocalTime(2026, 12, 6, 1, 23, 45)) + ":\t";
  EXPECT_EQ(ReadFileBytes(path), before + stamp + "after\r\n");
}

// The log's file deleted or moved away while the capture runs: at the
// next second's first line the log notices, opens the file again under
// its name and tells. Every line lands in a file: a moved file keeps those
// written before the check, a deleted one hands them on to the new file.
TEST(TrafficLogGone, ADeletedOrMovedAwayLogIsOpenedAgainAndTold) {
  struct Case {
    const char* what;
    void (*act)(const std::string& path, const std::string& movedTo);
    const char* movedTo;  // where the file went, in the same folder ("" when deleted)
    const char* other;    // what another writer put at the path meanwhile
  };
  auto move = [](const std::string& path, const std::string& to) { std::rename(path.c_str(), to.c_str()); };
  const Case cases[] = {
      {"deleted", [](const std::string& path, const std::string&) { std::remove(path.c_str()); }, "", ""},
      {"moved away", move, "elsewhere.log", ""},
      {"rotated by another writer",
       [](const std::string& path, const std::string& to) {
         std::rename(path.c_str(), to.c_str());
         WriteFileBytes(path, "the other's lines\r\n");
       },
       "USB_Serial[1].log", "the other's lines\r\n"},
  };
  const std::string head =
      "\r\n**************************SOFTWARE START************************\r\n" + TrafficLog::OsVersionLine();
  const std::string stamp45 = TrafficLog::TimeStamp(MakeLocalTime(2026, 12, 6, 1, 23, 45)) + ":\t";
  const std::string stamp46 = TrafficLog::TimeStamp(MakeLocalTime(2026, 12, 6, 1, 23, 46)) + ":\t";
  for (const Case& c : cases) {
    TempDir dir;
    std::string path = dir / "USB_Serial.log";
    FixedClock clock{MakeLocalTime(2026, 12, 6, 1, 23, 45)};
    RecordingNoticeSink notices;
    TrafficLog log(clock, &notices);
    log.Open(path);
    log.WriteLine("before");
    c.act(path, dir / c.movedTo);
    log.WriteLine("unchecked");  // within the same second: still into the old file
    clock.Set(MakeLocalTime(2026, 12, 6, 1, 23, 46));
    log.WriteLine("after");
    const std::string old = stamp45 + "before\r\n" + stamp45 + "unchecked\r\n";
    bool deleted = !*c.movedTo;
    EXPECT_EQ(ReadFileBytes(path), c.other + head + (deleted ? old : "") + stamp46 + "after\r\n") << c.what;
    if (!deleted) {
      EXPECT_EQ(ReadFileBytes(dir / c.movedTo), head + old) << c.what;
    }
    ASSERT_EQ(notices.notices.size(), 1u) << c.what;
    EXPECT_EQ(notices.notices[0],
              "The traffic log " + path + (deleted ? " was deleted" : " was moved away or replaced") +
                  " by another program while this capture wrote it. It is opened again under its name, and the "
                  "lines " +
                  (deleted ? "written since it went, and all later ones, go there." : "from now on go there."))
        << c.what;
  }
}

// A Log folder the capture may not write, holding a log it may: the log
// cannot be moved aside, so every line goes on into it (none is emptied
// away), and the user is told once. Run as an unprivileged user, since
// folder modes do not stop root.
TEST(TrafficLogLimits, ALogInAFolderThatCannotBeWrittenKeepsEveryLine) {
  TempDir dir;
  std::string folder = dir / "Log";
  ASSERT_TRUE(MakeDirectory(folder));
  std::string path = folder + "/USB_Serial.log";
  WriteFileBytes(path, std::string(TrafficLog::kRotateSize - 5000, 'x') + "\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string line(1000, 'L');
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    FixedClock clock{MakeLocalTime(2026, 12, 6, 1, 23, 45)};
    RecordingNoticeSink notices;
    TrafficLog log(clock, &notices);
    log.Open(path);
    for (int i = 0; i < 3000; ++i) log.WriteLine(line);
    std::string told = "The traffic log " + path + " cannot be rotated (cannot rename " + path + " to " + folder +
                       "/USB_Serial[1].log: " + SystemErrorText(EACCES) + ").";
    bool ok = notices.notices.size() == 1 && notices.notices[0].rfind(told, 0) == 0;
    ::_exit(ok ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::chmod(folder.c_str(), 0755);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "not told once, or could not become another user";
  std::string text = ReadFileBytes(path);
  EXPECT_EQ(text.rfind(std::string(TrafficLog::kRotateSize - 5000, 'x') + "\r\n", 0), 0u);
  size_t count = 0;
  for (size_t p = text.find(":\t" + line + "\r\n"); p != std::string::npos; p = text.find(":\t" + line, p + 1)) ++count;
  EXPECT_EQ(count, 3000u);
}

}  // namespace

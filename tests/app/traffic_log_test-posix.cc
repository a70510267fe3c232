// The traffic log on a file system that refuses bytes: the process's
// file-size limit makes writes fail as a full disk would.

#include <sys/resource.h>

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

}  // namespace

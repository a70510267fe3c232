#include "tools/service_log.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

const std::string kEnd = kPathSeparator[0] == '\\' ? "\r\n" : "\n";

TEST(ServiceLog, AppendsStampedLinesPassesThemOnAndKeepsOneOlderFileAtTheLimit) {
  TempDir dir;
  FixedClock clock{MakeLocalTime(2026, 12, 8, 9, 5, 0)};
  RecordingNoticeSink events;
  std::string path = dir / "Log" + kPathSeparator + "harrow-capture.log";
  // Room for two lines of this length, not three.
  ServiceLog log(clock, path, dir / "fallback.log", &events, 2 * 50 + 10);
  log.Notice("service started");
  log.Notice("Connected to the port COM7.");
  std::string first = ReadFileBytes(path);
  ASSERT_EQ(first.rfind("2026-12-08T09:05:00", 0), 0u) << first;
  EXPECT_NE(first.find(" service started" + kEnd), std::string::npos) << first;
  EXPECT_NE(first.find(" Connected to the port COM7." + kEnd), std::string::npos) << first;
  EXPECT_EQ(events.notices, (std::vector<std::string>{"service started", "Connected to the port COM7."}));
  EXPECT_EQ(log.LastFile(), path);

  log.Notice("a third line that does not fit any more");
  EXPECT_EQ(ReadFileBytes(path + ".old"), first);
  EXPECT_NE(ReadFileBytes(path).find("a third line"), std::string::npos);
  log.Notice("a fourth line, long enough to move the file once more");
  EXPECT_NE(ReadFileBytes(path + ".old").find("a third line"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(path + ".old").find("service started"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir / "fallback.log"), "<missing>");
}

TEST(ServiceLog, TellsOnceWhenLinesGoToTheFallbackOrToNoFile) {
  TempDir dir;
  FixedClock clock{MakeLocalTime(2026, 12, 8, 9, 5, 0)};
  RecordingNoticeSink events;
  // A file where the folder should be: nothing can be made below it.
  WriteFileBytes(dir / "blocked", "");
  std::string blocked = dir / "blocked" + kPathSeparator + "Log" + kPathSeparator + "harrow-capture.log";
  ServiceLog log(clock, blocked, dir / "fallback.log", &events);
  log.Notice("one");
  log.Notice("two");
  ASSERT_EQ(events.notices.size(), 3u);
  EXPECT_EQ(events.notices[0], "one");
  EXPECT_EQ(events.notices[1].rfind("messages go to " + (dir / "fallback.log") + " instead: cannot open " + blocked, 0), 0u)
      << events.notices[1];
  EXPECT_EQ(events.notices[2], "two");
  std::string fallback = ReadFileBytes(dir / "fallback.log");
  EXPECT_NE(fallback.find(" one" + kEnd), std::string::npos);
  EXPECT_NE(fallback.find(" messages go to "), std::string::npos) << "the file says why it is used";
  EXPECT_EQ(log.LastFile(), dir / "fallback.log");

  ServiceLog nowhere(clock, blocked, dir / "blocked" + kPathSeparator + "fallback.log", &events);
  events.notices.clear();
  nowhere.Notice("three");
  nowhere.Notice("four");
  ASSERT_EQ(events.notices.size(), 3u);
  EXPECT_EQ(events.notices[1].rfind("messages reach no file: ", 0), 0u) << events.notices[1];
  EXPECT_EQ(nowhere.LastFile(), "");
}

}  // namespace

// Replaying traffic logs that were cut short, damaged or are no logs at all.

#include "tools/replay.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "platform/clock.h"
#include "tests/test_support.h"

namespace {

class RecordedLines : public LineList {
 public:
  void AddLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

std::string Record(const std::string& line) { return "12/06/26 01:23:45:\t" + line + "\r\n"; }

// A capture session that replays a log into a list of lines.
struct Replay {
  bool Run(const std::string& path, const StopCheck& stop) {
    return ReplayTrafficLog(path, session, lines, notices, stop, &progress, &err);
  }
  FixedClock clock{MakeLocalTime(2026, 12, 7, 10, 30, 0)};
  RecordingNoticeSink notices;
  RecordedLines lines;
  CaptureSession session{clock, notices, lines};
  ReplayProgress progress;
  std::string err;
};

const char kBanner[] = "\r\n***** SOFTWARE START *****\r\n\r\n";

TEST(ReplayTrafficLog, FeedsWholeRecordsOnlyAndTellsOfACutEndAndOfRecordsNoLineIsAsLongAs) {
  const std::string lastResult = "24      1.141     12.12   HIGH";
  // A record whose CR ends one read and whose LF begins the next.
  std::string filler(65536 - sizeof kBanner + 1 - Record("").size() - 1 + 2, 'f');
  struct Case {
    const char* name;
    std::string log;
    std::vector<std::string> fed;
    const char* told;  // the start of the one notice, or none
  } cases[] = {
      {"whole", kBanner + Record("1) Title") + Record(lastResult), {"1) Title", lastResult}, nullptr},
      {"cut in the last result", kBanner + Record("1) Title") + Record(lastResult).substr(0, 41), {"1) Title"},
       "ends in a record without its line end (CR LF) at byte 61: the log was cut short there"},
      {"no line end at all", "12/06/26 01:23:45:\t6.46\n", {}, "ends in a record without its line end (CR LF) at byte 0"},
      {"a record of 5 MB", Record("a") + std::string(5 << 20, 'x') + "\r\n" + Record("b"), {"a", "b"},
       "holds 1 record of more than 4 MB without a line end (CR LF), the first at byte 22:"},
      {"CR LF across two reads", kBanner + Record(filler) + Record("next"), {filler, "next"}, nullptr},
  };
  ASSERT_EQ((kBanner + Record(filler)).find("\r\n", 65534), 65535u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IsolatedSettings env;
    WriteSetting("DevType", "6310");
    WriteSetting("6310_Root", env.dir() / "root");
    std::string path = env.dir() / "traffic.log";
    WriteFileBytes(path, c.log);
    Replay r;
    ASSERT_TRUE(r.Run(path, [] { return false; })) << r.err;
    EXPECT_EQ(r.lines.lines, c.fed);
    EXPECT_EQ(r.progress.total, c.fed.size());
    std::vector<std::string> told;
    for (const std::string& n : r.notices.notices)
      if (n.rfind("The traffic log ", 0) == 0) told.push_back(n);
    if (!c.told) {
      EXPECT_TRUE(told.empty()) << told[0];
      continue;
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("The traffic log " + path + " " + c.told, 0), 0u) << told[0];
  }
}

TEST(ReplayTrafficLog, AnEndlessInputWithoutLineEndsIsReadInBoundedPiecesUntilStopped) {
  IsolatedSettings env;
  Replay r;
  int looks = 0;
  // 64 MB of zeros before the stop: whole, they would be kept in memory.
  ASSERT_TRUE(r.Run("/dev/zero", [&] { return ++looks > 1024; })) << r.err;
  EXPECT_TRUE(r.progress.interrupted);
  EXPECT_EQ(r.progress.total, 0u);
  EXPECT_TRUE(r.lines.lines.empty());
  ASSERT_EQ(r.notices.notices.size(), 1u);
  EXPECT_NE(r.notices.notices[0].find("/dev/zero holds 1 record of more than 4 MB"), std::string::npos);
}

}  // namespace

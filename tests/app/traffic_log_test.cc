#include "app/traffic_log.h"

#include <clocale>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

const std::string kBanner =
    "\r\n**************************SOFTWARE START************************\r\n";

// A traffic line's time stamp and separator in the locale the test runs in
// (the platform's own stamps are checked in the platform tests).
std::string Stamp(int year, int month, int day, int hour, int minute, int second) {
  return TrafficLog::TimeStamp(MakeLocalTime(year, month, day, hour, minute, second)) + ":\t";
}

class TrafficLogTest : public ::testing::Test {
 protected:
  void SetUp() override { std::setlocale(LC_TIME, "C"); }
  std::string Gen(int n) { return dir / ("USB_Serial[" + std::to_string(n) + "].log"); }
  // How many times `line` was recorded in the file at `file`.
  static size_t Records(const std::string& file, const std::string& line) {
    std::string text = ReadFileBytes(file), record = ":\t" + line + "\r\n";
    size_t count = 0;
    for (size_t p = text.find(record); p != std::string::npos; p = text.find(record, p + 1)) ++count;
    return count;
  }

  TempDir dir;
  std::string path = dir / "USB_Serial.log";
  FixedClock clock{MakeLocalTime(2026, 12, 6, 1, 23, 45)};
};

TEST_F(TrafficLogTest, FirstOpenWritesBannerVersionAndFlushedLines) {
  EXPECT_TRUE(std::regex_match(TrafficLog::OsVersionLine(),
                               std::regex("OS Version: -?\\d+\\.-?\\d+\\.-?\\d+\r\n\r\n")));
  TrafficLog log(clock);
  log.Open(path);
  ASSERT_TRUE(log.IsOpen());
  log.WriteLine("A line");
  log.WriteLine("");
  log.WriteLine(std::string("bin\x01\xff\tx", 7));
  clock.Set(MakeLocalTime(2026, 12, 6, 1, 23, 46));
  log.WriteLine("next second");
  clock.Set(MakeLocalTime(2027, 12, 6, 1, 23, 46));
  log.WriteLine("next year");
  // Every line is on disk when WriteLine returns, with the log still open.
  EXPECT_EQ(ReadFileBytes(path), kBanner + TrafficLog::OsVersionLine() +
                                     Stamp(2026, 12, 6, 1, 23, 45) + "A line\r\n" +
                                     Stamp(2026, 12, 6, 1, 23, 45) + "\r\n" +
                                     Stamp(2026, 12, 6, 1, 23, 45) + "bin\x01\xff\tx\r\n" +
                                     Stamp(2026, 12, 6, 1, 23, 46) + "next second\r\n" +
                                     Stamp(2027, 12, 6, 1, 23, 46) + "next year\r\n");
}

TEST_F(TrafficLogTest, ReopeningAppendsANewBannerBelowTheLimit) {
  std::string old(TrafficLog::kRotateSize - 1, 'x');
  WriteFileBytes(path, old);
  TrafficLog log(clock);
  log.Open(path);
  EXPECT_EQ(ReadFileBytes(path), old + kBanner + TrafficLog::OsVersionLine());
  EXPECT_FALSE(PathExists(Gen(1)));
}

TEST_F(TrafficLogTest, OpeningAtTheLimitRotatesAndStartsWithTheVersionLineAlone) {
  std::string old(TrafficLog::kRotateSize, 'x');
  WriteFileBytes(path, old);
  WriteFileBytes(Gen(1), "one");  // only the newest older generation exists
  TrafficLog log(clock);
  log.Open(path);
  EXPECT_EQ(ReadFileBytes(path), TrafficLog::OsVersionLine());
  EXPECT_EQ(ReadFileBytes(Gen(1)), old);
  EXPECT_EQ(ReadFileBytes(Gen(2)), "one");
  EXPECT_FALSE(PathExists(Gen(3)));
}

TEST_F(TrafficLogTest, KeepsAtMostFiveOlderGenerations) {
  TrafficLog log(clock);
  for (int i = 1; i <= 7; ++i) {
    WriteFileBytes(path, std::to_string(i) + std::string(TrafficLog::kRotateSize, 'x'));
    log.Open(path);
  }
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(ReadFileBytes(Gen(n))[0], '0' + (8 - n)) << n;
  EXPECT_FALSE(PathExists(Gen(6)));
}

TEST_F(TrafficLogTest, RotatesWhileRunningWithoutSplittingOrLosingALine) {
  TrafficLog log(clock);
  log.Open(path);
  const std::string line(1000, 'L');
  const std::string record = Stamp(2026, 12, 6, 1, 23, 45) + line + "\r\n";
  long total = 0;
  int written = 0;
  while (!PathExists(Gen(1))) {
    log.WriteLine(line);
    ++written;
    total += static_cast<long>(record.size());
    ASSERT_LT(total, 2 * TrafficLog::kRotateSize) << "the running log never rotated";
  }
  log.WriteLine("after");
  std::string first = ReadFileBytes(Gen(1));
  EXPECT_GE(static_cast<long>(first.size()), TrafficLog::kRotateSize);
  EXPECT_LT(static_cast<long>(first.size()), TrafficLog::kRotateSize + static_cast<long>(record.size()));
  EXPECT_EQ(first.substr(first.size() - record.size()), record);  // ends on a whole line
  EXPECT_EQ(ReadFileBytes(path), TrafficLog::OsVersionLine() + Stamp(2026, 12, 6, 1, 23, 45) + "after\r\n");
  size_t count = 0;
  for (size_t p = first.find(record); p != std::string::npos; p = first.find(record, p + 1)) ++count;
  EXPECT_EQ(count, static_cast<size_t>(written));
}

TEST_F(TrafficLogTest, AnUnopenableLogStaysClosedAndIgnoresLines) {
  TrafficLog log(clock);
  log.Open(dir / "no/such/folder/USB_Serial.log");
  EXPECT_FALSE(log.IsOpen());
  log.WriteLine("dropped quietly");
  log.Open(path);  // a later Open succeeds again
  EXPECT_TRUE(log.IsOpen());
}

}  // namespace

namespace {

TEST_F(TrafficLogTest, ALogThatCannotBeOpenedIsToldOnceAndCountsTheLinesItMissed) {
  RecordingNoticeSink notices;
  TrafficLog log(clock, &notices);
  std::string missing = dir / "no-such-folder" + kPathSeparator + "USB_Serial.log";
  log.Open(missing);
  EXPECT_FALSE(log.IsOpen());
  log.WriteLine("lost one");
  log.WriteLine("lost two");
  ASSERT_EQ(notices.notices.size(), 1u);
  EXPECT_NE(notices.notices[0].find("The traffic log " + missing + " refuses lines (cannot open the file: "),
            std::string::npos)
      << notices.notices[0];
  EXPECT_TRUE(log.Refusing());

  // Reopened where it can be written: the next line is taken, and told.
  log.Open(path);
  EXPECT_EQ(notices.notices.size(), 1u);
  log.WriteLine("kept");
  ASSERT_EQ(notices.notices.size(), 2u);
  EXPECT_EQ(notices.notices[1],
            "The traffic log " + path + " takes lines again; 2 lines received meanwhile are missing from it.");
  EXPECT_FALSE(log.Refusing());
  log.WriteLine("kept too");
  EXPECT_EQ(notices.notices.size(), 2u);
  std::string text = ReadFileBytes(path);
  EXPECT_NE(text.find(Stamp(2026, 12, 6, 1, 23, 45) + "kept\r\n" + Stamp(2026, 12, 6, 1, 23, 45) + "kept too\r\n"),
            std::string::npos);

  // Without a sink the log stays silent, as before.
  TrafficLog silent(clock);
  silent.Open(missing);
  silent.WriteLine("x");
  EXPECT_TRUE(silent.Refusing());
}

}  // namespace

namespace {

// The oldest generation cannot go (a folder stands under its name), so no
// generation may move: the log keeps every file and every line, tells it
// once, and tries again only when it has grown by another kRotateSize.
TEST_F(TrafficLogTest, AGenerationThatCannotMoveKeepsEveryFileAndEveryLine) {
  ASSERT_TRUE(MakeDirectory(Gen(5)));
  WriteFileBytes(Gen(5) + kPathSeparator + "inside", "x");
  for (int n = 1; n <= 4; ++n) WriteFileBytes(Gen(n), "generation " + std::to_string(n));
  RecordingNoticeSink notices;
  TrafficLog log(clock, &notices);
  log.Open(path);
  const std::string line(1000, 'L');
  for (int i = 0; i < 1500; ++i) log.WriteLine(line);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(ReadFileBytes(Gen(n)), "generation " + std::to_string(n));
  EXPECT_EQ(Records(path, line), 1500u);
  ASSERT_EQ(notices.notices.size(), 1u);
  EXPECT_EQ(notices.notices[0].rfind("The traffic log " + path + " cannot be rotated (cannot remove " + Gen(5) + ": ", 0),
            0u)
      << notices.notices[0];

  std::filesystem::remove_all(Gen(5));
  log.WriteLine(line);
  EXPECT_FALSE(PathExists(Gen(5))) << "the rotation was tried again at the next line";
  for (int i = 0; i < 600; ++i) log.WriteLine(line);
  EXPECT_EQ(ReadFileBytes(Gen(5)), "generation 4");
  EXPECT_EQ(ReadFileBytes(Gen(2)), "generation 1");
  EXPECT_EQ(Records(Gen(1), line) + Records(path, line), 2101u);
  EXPECT_EQ(ReadFileBytes(path).rfind(TrafficLog::OsVersionLine(), 0), 0u);
  EXPECT_EQ(notices.notices.size(), 1u);
}

// Two captures given one log (one root in two services): the second cannot
// take the lock and says so at once, the first at its next check; every
// line of both lands in the file, and only the lock's holder rotates.
TEST_F(TrafficLogTest, TwoCapturesWritingOneLogBothTellAndKeepEveryLine) {
  RecordingNoticeSink firstNotices, secondNotices;
  TrafficLog first(clock, &firstNotices), second(clock, &secondNotices);
  first.Open(path);
  first.WriteLine("one");
  second.Open(path);
  second.WriteLine("two");
  ASSERT_EQ(secondNotices.notices.size(), 1u);
  EXPECT_EQ(secondNotices.notices[0],
            "The traffic log " + path +
                " is also written by another capture, which holds its lock. This capture adds its lines to it too, "
                "mixed with the other's, and leaves its rotation to the other capture.");
  first.WriteLine("three");
  EXPECT_TRUE(firstNotices.notices.empty()) << "checked within the same second";
  clock.Set(MakeLocalTime(2026, 12, 6, 1, 23, 46));
  first.WriteLine("four");
  ASSERT_EQ(firstNotices.notices.size(), 1u);
  EXPECT_EQ(firstNotices.notices[0].rfind("The traffic log " + path + " is also written by another capture or program",
                                          0),
            0u)
      << firstNotices.notices[0];
  std::string text = ReadFileBytes(path);
  for (const char* line : {"one", "two", "three", "four"}) EXPECT_EQ(Records(path, line), 1u) << line;
  EXPECT_NE(text.find(" -- Another capture (process " + std::to_string(CurrentProcessId()) + ") writes this log too.\r\n"),
            std::string::npos);

  const std::string line(1000, 'L');
  for (int i = 0; i < 1100; ++i) second.WriteLine(line);
  EXPECT_FALSE(PathExists(Gen(1))) << "rotated by the capture without the lock";
  first.Close();
  clock.Set(MakeLocalTime(2026, 12, 6, 1, 23, 47));
  second.WriteLine("alone");
  EXPECT_TRUE(PathExists(Gen(1))) << "the lock was not taken over when the first capture ended";
  EXPECT_EQ(Records(Gen(1), line), 1100u);
  EXPECT_EQ(firstNotices.notices.size(), 1u);
  EXPECT_EQ(secondNotices.notices.size(), 1u);
}

}  // namespace

#include "app/receive_path.h"

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Records what each consumer saw, in the order the calls came.
struct Recorder : LineLog, LineConsumer, LineList {
  void WriteLine(std::string_view line) override { calls.push_back("log:" + std::string(line)); logged.emplace_back(line); }
  void FeedLine(const std::string& line) override { calls.push_back("fed:" + line); fed.push_back(line); }
  void AddLine(const std::string& line) override { calls.push_back("list:" + line); listed.push_back(line); }
  void LineLeftOut(const std::string& line) override { leftOut.push_back(std::to_string(fed.size()) + ":" + line); }
  std::vector<std::string> calls, logged, fed, listed, leftOut;
};

// A port that hands out queued chunks, one per read, as the driver would.
struct FakePort : ByteSource {
  uint32_t Read(char* buffer, uint32_t size) override {
    sizes.push_back(size);
    if (chunks.empty()) return 0;
    std::string c = chunks.front();
    chunks.pop_front();
    EXPECT_LE(c.size(), size);
    c.copy(buffer, c.size());
    return static_cast<uint32_t>(c.size());
  }
  std::deque<std::string> chunks;
  std::vector<uint32_t> sizes;
};

std::vector<std::string> Split(const std::string& bytes, size_t chunk) {
  Recorder r;
  ReceivePath path(r, &r, r);
  for (size_t i = 0; i < bytes.size(); i += chunk) {
    path.Append(bytes.data() + i, std::min(chunk, bytes.size() - i));
    path.ExtractLines();
  }
  EXPECT_EQ(r.logged, r.listed);
  return r.listed;
}

using Lines = std::vector<std::string>;

TEST(ReceivePath, CutsAtCarriageReturnAndStripsLineFeedsAtTheEnds) {
  EXPECT_EQ(Split("A\r\nB\r\n", 100), (Lines{"A", "B"}));
  EXPECT_EQ(Split("\n\nA\n\r", 100), (Lines{"A"}));
  EXPECT_EQ(Split("A\nB\r", 100), (Lines{"A\nB"}));
  EXPECT_EQ(Split("A\n", 100), (Lines{}));  // LF alone ends nothing
  EXPECT_EQ(Split("\r\r", 100), (Lines{"", ""}));
  EXPECT_EQ(Split("\n\r", 100), (Lines{""}));
}

TEST(ReceivePath, OrderPerLineIsLogThenCollectorThenList) {
  Recorder r;
  ReceivePath path(r, &r, r);
  std::string bytes = "ok\r\ttab\r\x7f\r\r";
  path.Append(bytes.data(), bytes.size());
  path.ExtractLines();
  EXPECT_EQ(r.calls, (Lines{"log:ok", "fed:ok", "list:ok", "log:\ttab", "list:\ttab", "log:\x7f",
                            "list:\x7f", "log:", "fed:", "list:"}));
  // The collector hears of the lines not fed, each after the lines fed before it.
  EXPECT_EQ(r.leftOut, (Lines{"1:\ttab", "1:\x7f"}));
}

TEST(ReceivePath, PrintableMeansEveryByteInSpaceToTilde) {
  EXPECT_TRUE(ReceivePath::IsPrintableLine(""));
  EXPECT_TRUE(ReceivePath::IsPrintableLine(" ~ End of Test 0.123"));
  EXPECT_FALSE(ReceivePath::IsPrintableLine("a\tb"));
  EXPECT_FALSE(ReceivePath::IsPrintableLine("\x7f"));
  EXPECT_FALSE(ReceivePath::IsPrintableLine("\xe9"));
  EXPECT_FALSE(ReceivePath::IsPrintableLine(std::string("a\0b", 3)));
}

TEST(ReceivePath, KeepsEveryByteAfterANul) {
  Recorder r;
  ReceivePath path(r, &r, r);
  FakePort port;
  port.chunks = {std::string("ab\0cd\r", 6), std::string("\0x\r", 3)};
  path.OnSerialMessage(1, &port);
  EXPECT_EQ(r.listed, (Lines{std::string("ab\0cd", 5)}));  // the second chunk was never asked for
  path.OnSerialMessage(1, &port);
  EXPECT_EQ(r.listed, (Lines{std::string("ab\0cd", 5), std::string("\0x", 2)}));
  EXPECT_TRUE(r.fed.empty());  // NUL is unprintable: logged and listed only
}

TEST(ReceivePath, DrainsWhileReadsComeBackFull) {
  Recorder r;
  ReceivePath path(r, &r, r);
  FakePort port;
  port.chunks = {std::string(99, 'a') + "\r", std::string(100, 'b'), "c\r", "never read\r"};
  path.OnSerialMessage(1 | 0x0080 | (0x0008u << 16), &port);
  EXPECT_EQ(port.sizes, (std::vector<uint32_t>{100, 100, 100}));
  EXPECT_EQ(r.listed, (Lines{std::string(99, 'a'), std::string(100, 'b') + "c"}));

  // A 99-byte read ends the drain at once.
  FakePort shortPort;
  shortPort.chunks = {std::string(99, 'x'), "\r"};
  path.OnSerialMessage(1, &shortPort);
  EXPECT_EQ(shortPort.sizes.size(), 1u);
  EXPECT_EQ(path.PendingBytes(), 99u);
}

// A sender that keeps the driver full: 20,000 reads come back full before
// the first short one. Lines must flow while the drain goes on, and what
// waits in the receive path must stay within one line.
TEST(ReceivePath, ALongDrainHandsLinesOnAsTheyComeAndKeepsLittle) {
  struct FloodingPort : ByteSource {
    Recorder* recorder;
    ReceivePath* path;
    size_t reads = 0, mostPending = 0, linesBeforeLastRead = 0;
    uint32_t Read(char* buffer, uint32_t size) override {
      mostPending = std::max(mostPending, path->PendingBytes());
      linesBeforeLastRead = recorder->logged.size();
      if (++reads > 20000) return 0;
      std::string chunk = std::string(size - 1, static_cast<char>('a' + reads % 26)) + "\r";
      chunk.copy(buffer, size);
      return size;
    }
  };
  Recorder r;
  ReceivePath path(r, &r, r);
  FloodingPort port;
  port.recorder = &r;
  port.path = &path;
  path.OnSerialMessage(1, &port);
  EXPECT_EQ(r.logged.size(), 20000u);
  EXPECT_EQ(port.linesBeforeLastRead, 20000u);
  EXPECT_LT(port.mostPending, size_t{ReceivePath::kChunkSize});
  EXPECT_EQ(r.listed.back(), std::string(99, static_cast<char>('a' + 20000 % 26)));
}

TEST(ReceivePath, WithoutTheReceiveBitNothingIsReadButLinesAreStillCut) {
  Recorder r;
  ReceivePath path(r, &r, r);
  path.Append("left\r", 5);
  FakePort port;
  port.chunks = {"unread\r"};
  path.OnSerialMessage(0x0040, &port);
  EXPECT_TRUE(port.sizes.empty());
  EXPECT_EQ(r.listed, (Lines{"left"}));
}

TEST(ReceivePath, ChunkingNeverChangesTheLines) {
  std::string bytes;
  for (int i = 0; i < 40; ++i) {
    // Built with append: GCC 12 warns falsely (-Wrestrict) on this chain of + at -O3.
    bytes.append("\n").append(std::to_string(i)).append(static_cast<size_t>(i * 7 % 130), ' ').append("x\r");
    if (i % 5 == 0) bytes += "\r\n\n";
  }
  Lines whole = Split(bytes, bytes.size());
  ASSERT_EQ(whole.size(), 40u + 8u);  // each "\r\n\n" adds one empty line
  for (size_t chunk : {1, 2, 3, 99, 100, 101, 255}) EXPECT_EQ(Split(bytes, chunk), whole) << chunk;
  // A CR at the very end of a chunk.
  size_t cr = bytes.find('\r');
  Recorder r;
  ReceivePath path(r, &r, r);
  path.Append(bytes.data(), cr + 1);
  path.ExtractLines();
  path.Append(bytes.data() + cr + 1, bytes.size() - cr - 1);
  path.ExtractLines();
  EXPECT_EQ(r.listed, whole);
}

TEST(ReceivePath, ARunWithoutCarriageReturnIsCutAtTheLimitWhateverTheChunking) {
  const size_t kMax = ReceivePath::kMaxLineLength;
  std::string noise(kMax * 2 + 10, 'n');
  std::string bytes = noise + "\rtail\r" + std::string(kMax, 'e') + "\r";
  Lines expected = {std::string(kMax, 'n'), std::string(kMax, 'n'), std::string(10, 'n'), "tail",
                    std::string(kMax, 'e')};
  EXPECT_EQ(Split(bytes, bytes.size()), expected);
  EXPECT_EQ(Split(bytes, 100), expected);
  EXPECT_EQ(Split(bytes, 7), expected);

  // Memory stays bounded on an endless stream without CR.
  Recorder r;
  ReceivePath path(r, &r, r);
  std::string chunk(100, 'z');
  for (int i = 0; i < 5000; ++i) {
    path.Append(chunk.data(), chunk.size());
    path.ExtractLines();
    ASSERT_LE(path.PendingBytes(), kMax);
  }
  EXPECT_EQ(r.listed.size(), 500000u / kMax);
}

// What is left without a CR, and the warning of a reader that ends its
// lines with LF alone: at most once per run, whatever the chunking.
TEST(ReceivePath, UnfinishedBytesAndLineFeedOnlyRunsWhateverTheChunking) {
  std::string lf8, lf7;
  for (int i = 1; i <= 8; ++i) (i < 8 ? lf7 : lf8) += "l" + std::to_string(i) + "\n";
  lf8 = lf7 + lf8;
  const struct {
    std::string bytes, unfinished;
    int warnings;
    bool warnedAtTheEnd;  // TakeLineFeedWarning(1) after the bytes
  } cases[] = {
      {"A\r\nB\r\n", "", 0, false},
      {"A\r\nhalf", "half", 0, false},
      {lf7, lf7.substr(0, lf7.size() - 1), 0, true},
      {lf8, lf8.substr(0, lf8.size() - 1), 1, false},
      {"x\r" + std::string(20, '\n') + "y", "y", 0, false},  // paper fed after a line
      {lf8 + "\r" + lf7, lf7.substr(0, lf7.size() - 1), 1, false},  // told once, not again at once
      {lf8 + "\r" + lf8 + "\r" + lf8 + "\r", "", 1, false},      // LF lines packed between CRs
      {lf8 + "\r\nok\r" + lf8, lf8.substr(0, lf8.size() - 1), 2, false},  // a usual line between runs
  };
  for (const auto& c : cases) {
    // Chunks shorter than a run: two runs told within one chunk are told once.
    for (size_t chunk : {1, 3, 16}) {
      Recorder r;
      ReceivePath path(r, &r, r);
      int warnings = 0;
      for (size_t i = 0; i < c.bytes.size(); i += chunk) {
        path.Append(c.bytes.data() + i, std::min(chunk, c.bytes.size() - i));
        path.ExtractLines();
        warnings += path.TakeLineFeedWarning();
      }
      SCOPED_TRACE(::testing::PrintToString(c.bytes) + " in chunks of " + std::to_string(chunk));
      EXPECT_EQ(path.UnfinishedLine(), c.unfinished);
      EXPECT_EQ(warnings, c.warnings);
      EXPECT_EQ(path.TakeLineFeedWarning(1), c.warnedAtTheEnd);
      EXPECT_EQ(path.BytesReceived(), c.bytes.size());
    }
  }
}

TEST(ReceivePath, WorksWithoutACollector) {
  Recorder r;
  ReceivePath path(r, nullptr, r);
  path.Append("x\r", 2);
  path.ExtractLines();
  EXPECT_EQ(r.listed, (Lines{"x"}));
  EXPECT_TRUE(r.fed.empty());
}

}  // namespace

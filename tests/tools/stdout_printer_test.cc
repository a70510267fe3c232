// The printer of received lines with a reader of standard output that
// stops, comes back or goes away.

#include "tools/stdout_printer.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include "platform/notice.h"

namespace {

using Clock = std::chrono::steady_clock;

// A reader that takes nothing until let go, and then everything (or
// fails, as a pipe whose reader has gone).
struct Reader {
  std::mutex mutex;
  std::condition_variable changed;
  bool open = false;
  bool gone = false;
  bool waiting = false;  // a write waits for it
  std::string taken;
};

class GatedSink : public PrintSink {
 public:
  explicit GatedSink(std::shared_ptr<Reader> reader) : reader_(std::move(reader)) {}
  bool Write(const std::string& text, std::string* err) override {
    std::unique_lock<std::mutex> lock(reader_->mutex);
    reader_->waiting = true;
    reader_->changed.notify_all();
    reader_->changed.wait(lock, [&] { return reader_->open || reader_->gone; });
    if (reader_->gone) {
      *err = "Broken pipe";
      return false;
    }
    reader_->taken += text;
    reader_->changed.notify_all();
    return true;
  }

 private:
  std::shared_ptr<Reader> reader_;
};

void SetReader(Reader& reader, bool open, bool gone) {
  std::lock_guard<std::mutex> lock(reader.mutex);
  reader.open = open;
  reader.gone = gone;
  reader.changed.notify_all();
}

std::string Line(int i) { return "line " + std::to_string(i); }

TEST(StdoutPrinter, AReaderThatStopsHoldsNothingUpAndTheLinesItMissedAreCountedOnce) {
  enum Then { kNeverReads, kReadsAgain, kGoesAway };
  for (Then then : {kNeverReads, kReadsAgain, kGoesAway}) {
    SCOPED_TRACE(then);
    auto reader = std::make_shared<Reader>();
    RecordingNoticeSink notices;
    auto printer = std::make_unique<StdoutPrinter>(std::make_unique<GatedSink>(reader), notices, 100);
    printer->Print(Line(0));
    {
      std::unique_lock<std::mutex> lock(reader->mutex);
      reader->changed.wait(lock, [&] { return reader->waiting; });
    }
    Clock::time_point start = Clock::now();
    for (int i = 1; i < 1000; ++i) printer->Print(Line(i));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));  // never waited for the reader
    // Line 0 is in the write; the 100 bytes of the queue take lines 1 to 13.
    EXPECT_EQ(printer->Dropped(), 986u);

    if (then == kReadsAgain) {
      SetReader(*reader, true, false);
      std::unique_lock<std::mutex> lock(reader->mutex);
      size_t kept = 14 * std::string(kPrintedLineEnd).size() + 10 * 6 + 4 * 7;
      reader->changed.wait(lock, [&] { return reader->taken.size() >= kept; });
      lock.unlock();
      printer->Print("after");
      printer->Finish();
      std::string start = std::string("line 0") + kPrintedLineEnd + "line 1" + kPrintedLineEnd + "line 2";
      EXPECT_EQ(reader->taken.substr(0, start.size()), start);
      std::string end = std::string("line 13") + kPrintedLineEnd + "after" + kPrintedLineEnd;
      ASSERT_GE(reader->taken.size(), end.size());
      EXPECT_EQ(reader->taken.substr(reader->taken.size() - end.size()), end);
      ASSERT_EQ(notices.notices.size(), 1u);
      EXPECT_EQ(notices.notices[0], "986 printed lines were dropped: standard output did not take them in time "
                                    "(the traffic log and the exports have every line)");
    } else if (then == kGoesAway) {
      SetReader(*reader, false, true);
      printer->Finish();
      printer->Print("more");
      ASSERT_EQ(notices.notices.size(), 1u) << notices.notices.back();
      EXPECT_EQ(notices.notices[0], "standard output takes no more lines (Broken pipe); received lines are no "
                                    "longer printed, but still logged and exported");
    } else {
      // At the end, a write stuck that long is given up on, with what it held.
      start = Clock::now();
      printer->Finish(std::chrono::milliseconds(100));
      EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
      EXPECT_EQ(printer->Dropped(), 1000u);
      ASSERT_EQ(notices.notices.size(), 1u);
      EXPECT_EQ(notices.notices[0].substr(0, 32), "1000 printed lines were dropped:");
      printer.reset();
      // The thread left behind ends quietly once the reader comes back.
      SetReader(*reader, true, false);
      std::unique_lock<std::mutex> lock(reader->mutex);
      reader->changed.wait_for(lock, std::chrono::seconds(2), [&] { return !reader->taken.empty(); });
    }
    EXPECT_EQ(notices.notices.size(), 1u);
  }
}

}  // namespace

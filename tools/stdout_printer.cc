#include "tools/stdout_printer.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/notice.h"

namespace {

// Text handed to one write: small enough that a write taking longer than
// the patience of Finish means a stuck reader, not a slow one.
constexpr size_t kBatchBytes = 1 << 16;

using Clock = std::chrono::steady_clock;

std::string DroppedText(unsigned long long lines) {
  return std::to_string(lines) + (lines == 1 ? " printed line was" : " printed lines were") +
         " dropped: standard output did not take them in time (the traffic log and the exports have every line)";
}

}  // namespace

struct StdoutPrinter::State {
  State(std::unique_ptr<PrintSink> s, NoticeSink& n, size_t bytes) : sink(std::move(s)), notices(n), queueBytes(bytes) {}

  std::unique_ptr<PrintSink> sink;
  NoticeSink& notices;
  const size_t queueBytes;

  std::mutex mutex;
  std::condition_variable wake;     // lines queued, or closing
  std::condition_variable written;  // a write ended
  std::deque<std::string> queue;    // lines with their ends
  size_t queued = 0;                // bytes in `queue`
  size_t inFlight = 0;              // lines of the write under way
  bool writing = false;
  Clock::time_point writeStarted;
  bool closing = false;
  bool gone = false;       // the reader takes no more: nothing more is printed
  bool abandoned = false;  // Finish gave up on a stuck write
  bool finished = false;
  unsigned long long dropped = 0;
  unsigned long long untold = 0;  // dropped but not yet told
};

StdoutPrinter::StdoutPrinter(std::unique_ptr<PrintSink> sink, NoticeSink& notices, size_t queueBytes)
    : state_(std::make_shared<State>(std::move(sink), notices, queueBytes)) {
  thread_ = std::thread(Run, state_);
}

StdoutPrinter::~StdoutPrinter() { Finish(); }

void StdoutPrinter::Print(const std::string& line) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  State& s = *state_;
  if (s.gone || s.finished) return;
  // One line always fits, however long, so that a long line is not lost to a reader keeping up.
  if (s.queued > 0 && s.queued + line.size() + std::strlen(kPrintedLineEnd) > s.queueBytes) {
    ++s.dropped;
    ++s.untold;
    return;
  }
  s.queue.push_back(line + kPrintedLineEnd);
  s.queued += s.queue.back().size();
  s.wake.notify_one();
}

void StdoutPrinter::Run(std::shared_ptr<State> state) {
  State& s = *state;
  std::unique_lock<std::mutex> lock(s.mutex);
  for (;;) {
    s.wake.wait(lock, [&] { return !s.queue.empty() || s.closing; });
    if (s.queue.empty()) return;
    std::string batch;
    while (!s.queue.empty() && (batch.empty() || batch.size() + s.queue.front().size() <= kBatchBytes)) {
      batch += s.queue.front();
      s.queued -= s.queue.front().size();
      s.queue.pop_front();
      ++s.inFlight;
    }
    s.writing = true;
    s.writeStarted = Clock::now();
    lock.unlock();
    std::string err;
    bool ok = s.sink->Write(batch, &err);
    lock.lock();
    s.writing = false;
    s.inFlight = 0;
    if (s.abandoned) return;
    s.written.notify_all();
    // Told without the lock, so that Print never waits for standard error;
    // Finish gives up only on a thread in a write, so it joins this one.
    if (!ok) {
      // Whoever read standard output has gone; the capture goes on without it.
      s.gone = true;
      s.queue.clear();
      s.queued = 0;
      lock.unlock();
      s.notices.Notice("standard output takes no more lines (" + err +
                       "); received lines are no longer printed, but still logged and exported");
      return;
    }
    if (s.queue.empty() && s.untold > 0) {
      std::string text = DroppedText(s.untold);
      s.untold = 0;
      lock.unlock();
      s.notices.Notice(text);
      lock.lock();
    }
  }
}

void StdoutPrinter::Finish(std::chrono::milliseconds stuck) {
  State& s = *state_;
  std::string dropped;
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.finished) return;
    s.finished = true;
    s.closing = true;
    s.wake.notify_one();
    while (!s.gone && (s.writing || !s.queue.empty())) {
      if (s.writing && Clock::now() - s.writeStarted >= stuck) {
        s.abandoned = true;
        s.dropped += s.inFlight + s.queue.size();
        s.untold += s.inFlight + s.queue.size();
        s.queue.clear();
        s.queued = 0;
        break;
      }
      s.written.wait_for(lock, std::chrono::milliseconds(20));
    }
    if (s.untold > 0 && !s.gone) dropped = DroppedText(s.untold);
    s.untold = 0;
  }
  if (!dropped.empty()) s.notices.Notice(dropped);
  // A write stuck for good keeps its thread; the process ends without it.
  if (s.abandoned) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

unsigned long long StdoutPrinter::Dropped() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->dropped;
}

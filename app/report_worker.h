#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/// Recognition, layout and export of reports on a thread of their own, so
/// that the receiving thread only cuts lines and logs them. Lines are
/// collected as they are cut, handed over in batches and consumed in
/// arrival order, one at a time, by one thread.
class ReportWorker {
 public:
  using Consumer = std::function<void(const std::string& line)>;

  /// Starts the thread. `maxQueuedBytes` bounds what may wait for it: the
  /// receiving side then waits, the driver's buffer fills and the reader is
  /// held back by the handshake, so memory stays bounded on any stream.
  explicit ReportWorker(Consumer consume, size_t maxQueuedBytes = size_t{16} << 20);
  /// Consumes everything handed in, then stops the thread.
  ~ReportWorker();
  ReportWorker(const ReportWorker&) = delete;
  ReportWorker& operator=(const ReportWorker&) = delete;

  /// Adds a line to the batch being collected; a batch that has grown large
  /// is handed over at once.
  void FeedLine(const std::string& line);
  /// Hands the collected lines to the thread, waiting first while it holds
  /// more than the bound.
  void Submit();
  /// Submits, then returns once every line has been consumed. Afterwards
  /// the caller may use what the consumer works on, until the next line.
  void Drain();

 private:
  // Lines end to end, and where each ends: one allocation for thousands
  // of lines, none once the buffers have grown.
  struct Lines {
    std::string bytes;
    std::vector<size_t> ends;
    bool empty() const { return ends.empty(); }
    void clear() {
      bytes.clear();
      ends.clear();
    }
  };

  void Run();

  static constexpr size_t kBatchBytes = size_t{64} << 10;

  Consumer consume_;
  const size_t maxQueuedBytes_;
  // The receiving thread's side.
  Lines batch_;
  // Shared, under mutex_.
  std::mutex mutex_;
  std::condition_variable work_;  // lines queued, or stop
  std::condition_variable done_;  // a batch consumed
  Lines queue_;
  bool busy_ = false;
  bool stop_ = false;
  std::thread thread_;
};

#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

class NoticeSink;

/// Where printed lines go: standard output, or a stand-in in tests.
class PrintSink {
 public:
  virtual ~PrintSink() = default;
  /// Writes all of `text`, waiting as long as the reader takes; false and
  /// `err` filled when the reader takes no more (gone, or an error).
  virtual bool Write(const std::string& text, std::string* err) = 0;
};

/// The process's standard output, written past the C library's buffers
/// (a write stuck there must not hold the library's lock at exit).
std::unique_ptr<PrintSink> StandardOutputSink();

/// What ends a printed line: "\n", or "\r\n" where text files have it.
extern const char kPrintedLineEnd[];

/// Prints lines on its own thread from a bounded queue, so that a reader of
/// standard output that stops reading (a paused pager, a stuck pipe) never
/// holds up reading the port or writing the log: lines that find the queue
/// full are dropped and counted, and the count is told once printing
/// resumes or at the end.
class StdoutPrinter {
 public:
  /// Starts the printing thread; at most `queueBytes` of text wait for it.
  StdoutPrinter(std::unique_ptr<PrintSink> sink, NoticeSink& notices, size_t queueBytes = kQueueBytes);
  /// Finishes with the default patience when Finish was not called.
  ~StdoutPrinter();
  StdoutPrinter(const StdoutPrinter&) = delete;
  StdoutPrinter& operator=(const StdoutPrinter&) = delete;

  /// Queues `line` for printing, or drops it when the queue is full; never waits for the reader.
  void Print(const std::string& line);
  /// Prints what is queued, giving up once one write has waited `stuck`
  /// for the reader, then tells how many lines were dropped; once only.
  void Finish(std::chrono::milliseconds stuck = kStuckAfter);
  /// Lines dropped so far (queue full, or left queued when Finish gave up).
  unsigned long long Dropped() const;

  static constexpr size_t kQueueBytes = 1 << 20;
  static constexpr std::chrono::milliseconds kStuckAfter{1000};

 private:
  struct State;
  static void Run(std::shared_ptr<State> state);

  // Shared with the thread, which may outlive the printer when Finish gave
  // up on it; it then touches nothing else.
  std::shared_ptr<State> state_;
  std::thread thread_;
};

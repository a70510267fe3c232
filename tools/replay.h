#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "app/capture_session.h"
#include "tools/stdout_printer.h"

/// Prints every received line on standard output, as the window's list
/// shows it, without ever waiting for the reader of standard output.
class StdoutLineList : public LineList {
 public:
  /// Prints nothing when `quiet`; tells `notices` of lines not printed.
  StdoutLineList(bool quiet, NoticeSink& notices);
  void AddLine(const std::string& line) override;
  size_t Count() const { return count_; }
  /// Prints what is still queued, or gives up on a stuck reader, and tells
  /// how many lines were not printed; call before the last messages.
  void Finish();

 private:
  std::unique_ptr<StdoutPrinter> printer_;
  size_t count_ = 0;
};

/// True when the replay is to stop (a stop request came).
using StopCheck = std::function<bool()>;

/// How far a replay got.
struct ReplayProgress {
  unsigned long long done = 0;   // bytes fed (stream) or records run (traffic log)
  unsigned long long total = 0;  // out of; 0 when not known beforehand
  bool interrupted = false;      // `stop` ended it before the end of the input
  bool flushedPending = false;   // a report in hand was exported at the end
};

/// Feeds the bytes of `in` to the session as the port's drain loop would,
/// until its end or until `stop` says so, then flushes a pending report as
/// closing the window does. False and `err` filled when reading fails.
bool ReplayStream(std::FILE* in, CaptureSession& session, const StopCheck& stop,
                  ReplayProgress* progress, std::string* err);

/// Runs the lines recorded in a traffic log through the report collector
/// as if they had just arrived (printable ones only, as on the live path),
/// printing each, until the end or until `stop` says so, then flushes a
/// pending report. The log is read in pieces, as it was when the replay
/// started (a regular file's records are counted first, for the progress);
/// a last record without its line end and records too long for a traffic
/// line are not fed, and `notices` is told. False and `err` filled when the
/// log cannot be read.
bool ReplayTrafficLog(const std::string& path, CaptureSession& session, LineList& list,
                      NoticeSink& notices, const StopCheck& stop, ReplayProgress* progress,
                      std::string* err);

/// "replayed N of M bytes" (or "records"), for the user.
std::string ReplayProgressText(const ReplayProgress& progress, const char* unit);

#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/notice.h"

// A site's own program run after each report (an upload script, a LIMS
// import), with the report's files as its arguments. It runs on a thread of
// its own, so a slow or hanging program never holds up the capture.

/// Splits the "AfterExport" setting into the program and its arguments:
/// blanks separate them, double quotes group a part holding blanks (a
/// backslash is an ordinary character, as in Windows paths). False with
/// `err` for an unclosed quote.
bool SplitCommand(const std::string& command, std::vector<std::string>* argv, std::string* err);

/// One run of the command for one report.
struct AfterExportJob {
  std::string command;             // the setting as written
  std::string report;              // the report's base name (HARROW_REPORT)
  std::string model;               // its model (HARROW_MODEL)
  std::vector<std::string> files;  // every file of the report, appended as arguments
};

/// Runs the jobs one after another on its own thread and tells the user of
/// every run that failed: a program that cannot be started, a non-zero exit
/// status or a time-out, with the first lines of its standard error.
class AfterExport {
 public:
  explicit AfterExport(NoticeSink& notices);
  ~AfterExport();
  AfterExport(const AfterExport&) = delete;
  AfterExport& operator=(const AfterExport&) = delete;

  /// Queues `job`; returns at once.
  void Run(AfterExportJob job);
  /// Runs what is queued, waiting at most `wait`; the user hears of the
  /// commands that had not ended by then. True when all ended in time.
  bool Stop(std::chrono::milliseconds wait);
  /// A command is stopped after this long.
  static constexpr std::chrono::milliseconds kTimeLimit{60000};
  /// Stops each command after `limit` instead (tests).
  void SetTimeLimit(std::chrono::milliseconds limit);

 private:
  struct State;
  std::shared_ptr<State> state_;
  std::thread thread_;
};

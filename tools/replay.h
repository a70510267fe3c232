#pragma once

#include <cstdio>
#include <string>

#include "app/capture_session.h"

/// Prints every received line on standard output, as the window's list shows it.
class StdoutLineList : public LineList {
 public:
  explicit StdoutLineList(bool quiet) : quiet_(quiet) {}
  void AddLine(const std::string& line) override;
  size_t Count() const { return count_; }

 private:
  bool quiet_;
  size_t count_ = 0;
};

/// Feeds the bytes of `in` to the session as the port's drain loop would,
/// then flushes a pending report as closing the window does. False and
/// `err` filled when reading fails.
bool ReplayStream(std::FILE* in, CaptureSession& session, std::string* err);

/// Runs the lines recorded in a traffic log through the report collector
/// as if they had just arrived (printable ones only, as on the live path),
/// printing each, then flushes a pending report. False and `err` filled
/// when the log cannot be read.
bool ReplayTrafficLog(const std::string& path, CaptureSession& session, LineList& list,
                      std::string* err);

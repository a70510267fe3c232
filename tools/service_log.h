#pragma once

#include <mutex>
#include <string>

#include "platform/notice.h"

class Clock;

/// The messages of a capture that has no console (a service): each one a
/// line with its date and time, appended to a file that is opened for that
/// line only, so it may be read, moved or deleted at any time, and passed
/// on to `next` (the system's own log) when there is one. Calls may come
/// from any thread.
class ServiceLog : public NoticeSink {
 public:
  /// Lines go to `path`, made with its folder when missing; when that
  /// fails, to `fallback`, and `next` hears once why. The file stays below
  /// `limit` bytes: a line that would pass it first moves the file to
  /// PATH.old, replacing the one before.
  ServiceLog(Clock& clock, std::string path, std::string fallback, NoticeSink* next, long long limit = 1000000);

  void Notice(const std::string& text) override;
  /// The file the last line went to; empty when no file took it.
  std::string LastFile();

 private:
  bool Append(const std::string& path, const std::string& line, std::string* err);

  Clock& clock_;
  const std::string path_, fallback_;
  NoticeSink* next_;
  const long long limit_;
  std::mutex mutex_;
  std::string lastFile_;
  bool toldFallback_ = false;
};

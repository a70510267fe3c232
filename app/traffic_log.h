#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/notice.h"

/// Receiver of every line cut out of the serial stream.
class LineLog {
 public:
  virtual ~LineLog() = default;
  /// Records one received line, as it came.
  virtual void WriteLine(std::string_view line) = 0;
};

/// The traffic log: every received line with the local date and time of its
/// arrival, in "USB_Serial.log" below the Log folder, with five older
/// generations "[1].log" (newest) to "[5].log" (oldest).
///
/// The file is rotated when it is opened at 1,000,000 bytes or more, and
/// also when a write takes it to that size, so a capture left running for
/// weeks cannot fill the disk. Rotation happens between lines: no line is
/// split across two files. A log that cannot be opened records nothing until
/// the next Open. The log is the one record of every line, so when it
/// starts refusing lines (cannot be opened, a write fails: a full disk, the
/// file-size limit) the user is told once, with the file and the cause, and
/// once more when it takes them again, with the number of lines it missed.
/// A failed write leaves no part of its line in the file.
class TrafficLog : public LineLog {
 public:
  static constexpr long kRotateSize = 1000000;

  /// `notices` (may be null: silent) hears when the log refuses lines.
  explicit TrafficLog(Clock& clock, NoticeSink* notices = nullptr) : clock_(clock), notices_(notices) {}
  ~TrafficLog() override;
  TrafficLog(const TrafficLog&) = delete;
  TrafficLog& operator=(const TrafficLog&) = delete;

  /// Closes the current file, rotates when due, opens `path` and writes the
  /// start banner and the OS version line (only the latter after a rotation).
  void Open(const std::string& path);
  /// Writes "time stamp" ":" TAB line CR LF and flushes it to the file
  /// before returning; does nothing while closed.
  void WriteLine(std::string_view line) override;
  /// Writes "time stamp" " -- " text CR LF and flushes it: something that
  /// happened to the port (lost, back again). The line has no ":" TAB after
  /// its time stamp, so it is never taken for a received line. Does
  /// nothing while closed.
  void WriteEvent(std::string_view text);
  /// Closes the file.
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  /// The path last given to Open.
  const std::string& Path() const { return path_; }
  /// True while lines are refused (since a failed Open or write, until a
  /// line is written again).
  bool Refusing() const { return refusing_; }
  /// The lines refused since the log started refusing them.
  unsigned long long MissedLines() const { return missed_; }
  /// Every line refused since the log was made.
  unsigned long long MissedLinesInAll() const { return missedInAll_; }

  /// The locale's date and time of `t` ("%x %X").
  static std::string TimeStamp(const std::tm& t);
  /// "OS Version: a.b.c" CR LF CR LF.
  static std::string OsVersionLine();

 private:
  void RotateAndStart();
  // False when the text could not be written; the file is then cut back
  // to where it was.
  bool WriteText(const std::string& text);
  void WriteHead(const std::string& head);
  void Refused(const std::string& cause);
  void Accepted();
  const std::string& StampNow();

  Clock& clock_;
  NoticeSink* notices_;
  FILE* file_ = nullptr;
  bool refusing_ = false;
  unsigned long long missed_ = 0;
  unsigned long long missedInAll_ = 0;
  std::string path_;
  long size_ = 0;
  // The last time stamp and the moment it was made for: formatting calls
  // tzset(), which looks at the time zone file on every call, and a burst
  // of lines all arrives within the same second.
  std::tm stampTime_{};
  std::string stamp_;
  // The line being written, kept so that a line costs no allocation.
  std::string text_;
};

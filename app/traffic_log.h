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
/// split across two files. Rotation never empties the log: a generation is
/// only moved into a free name, and when the file itself cannot be moved
/// aside (a Log folder that may not be written, a generation open in
/// another program) lines go on being added to it, the user is told once,
/// and the rotation is tried again after another 1,000,000 bytes.
///
/// A log that cannot be opened records nothing until the next Open. The
/// log is the one record of every line, so when it starts refusing lines
/// (cannot be opened, a write fails: a full disk, the file-size limit) the
/// user is told once, with the file and the cause, and once more when it
/// takes them again, with the number of lines it missed. A failed write
/// leaves no part of its line in the file, unless another writer's bytes
/// already follow that part.
///
/// At most once a second (by the clock, at a line) the log checks that its
/// open file is still the one at its path: one deleted, or moved away by
/// another program, is opened again under its name, and the user told; the
/// lines a deleted file took since the last check are written again there.
/// The open file carries a writer's lock. A second capture writing the same
/// log does not get it: it tells its user, marks its start in the file and
/// still writes its lines there, leaving the rotation to the holder, which
/// learns of the other writer at its next check from the bytes it did not
/// write, and tells its own user.
class TrafficLog : public LineLog {
 public:
  static constexpr long kRotateSize = 1000000;

  /// `notices` (may be null: silent) hears when the log refuses lines.
  explicit TrafficLog(Clock& clock, NoticeSink* notices = nullptr) : clock_(clock), notices_(notices) {}
  ~TrafficLog() override;
  TrafficLog(const TrafficLog&) = delete;
  TrafficLog& operator=(const TrafficLog&) = delete;

  /// Closes the current file, rotates when due, opens `path` for appending
  /// (never emptying it) and writes the start banner and the OS version
  /// line (only the latter after a rotation).
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
  // Opens the file at the path for appending and takes its lock; rotates
  // first when due, then writes `head` (only the version line after a
  // rotation).
  void Start(std::string head);
  // Opens the file at the path for appending, without writing; false (and
  // told) when it cannot be.
  bool OpenFile();
  // Moves the file to "[1].log" and starts a new one; true when it did.
  // Otherwise the file stays open for appending and the user is told.
  bool Rotate();
  // Moves every generation up by one and the file to "[1].log"; false with
  // `cause` when the file stays (the older generations that could move have).
  bool MoveGenerationsUp(std::string* cause);
  std::string Generation(int n) const;
  // The once-a-second look at the file: still the one at the path, written
  // by no one else, its lock free again.
  void CheckFile();
  // False when the text could not be written; the file is then cut back
  // to where it was.
  bool WriteText(const std::string& text);
  void WriteHead(const std::string& head);
  void Tell(const std::string& text);
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
  // What this log believes the file's size to be; a check finding another
  // size knows someone else writes it too.
  long long size_ = 0;
  // The size when the file was last seen at its path: a file deleted since
  // then takes what it got afterwards with it, unless that is copied over.
  long long seenAt_ = 0;
  // The size at which the file is rotated next; raised by kRotateSize when
  // a rotation failed, so the rotation is not tried at every line.
  long long rotateAt_ = kRotateSize;
  // True while this log holds the file's lock, or the file system has none:
  // only the holder rotates.
  bool holder_ = true;
  bool rotationTold_ = false;
  bool sharingTold_ = false;
  // The last time stamp and the moment it was made for: formatting calls
  // tzset(), which looks at the time zone file on every call, and a burst
  // of lines all arrives within the same second.
  std::tm stampTime_{};
  std::string stamp_;
  // The line being written, kept so that a line costs no allocation.
  std::string text_;
};

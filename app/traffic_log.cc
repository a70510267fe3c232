#include "app/traffic_log.h"

#include <cerrno>
#include <cstdio>

#include "platform/atomic_file_system.h"
#include "platform/file_identity.h"
#include "platform/platform.h"

namespace {

const char kBanner[] =
    "\r\n**************************SOFTWARE START************************\r\n";

// Writes `text` at the end of `f` (`size` bytes long) and flushes it; on
// failure cuts the file back to `size`, so no part of a line stays behind
// (unless another writer's bytes follow it), and fills `cause`.
bool WriteAll(FILE* f, long long size, const std::string& text, std::string* cause) {
  errno = 0;
  size_t n = std::fwrite(text.data(), 1, text.size(), f);
  if (n == text.size() && std::fflush(f) == 0) return true;
  int code = errno ? errno : EIO;
  *cause = "write failed: " + SystemErrorText(code);
  FileIdentity now;
  if (n > 0 && OpenFileIdentity(f, &now) && now.size == size + static_cast<long long>(n)) TruncateOpenFile(f, size);
  std::clearerr(f);
  return false;
}

// Appends to `text` what `f` holds from `offset` on.
void ReadFrom(FILE* f, long long offset, std::string* text) {
  if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return;
  char buf[65536];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text->append(buf, n);
  std::clearerr(f);
}

// Every line is flushed at once anyway: without a buffer, a line goes to
// the system in one write straight from our own text, and the flush after
// it finds nothing to do.
void Unbuffer(FILE* f) { std::setvbuf(f, nullptr, _IONBF, 0); }

}  // namespace

TrafficLog::~TrafficLog() { Close(); }

std::string TrafficLog::TimeStamp(const std::tm& t) { return LocaleTimeStamp(t); }

std::string TrafficLog::OsVersionLine() {
  int major, minor, build;
  OsVersion(&major, &minor, &build);
  char buf[96];
  std::snprintf(buf, sizeof buf, "OS Version: %d.%d.%d\r\n\r\n", major, minor, build);
  return buf;
}

void TrafficLog::Close() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

void TrafficLog::Open(const std::string& path) {
  Close();
  path_ = path;
  rotateAt_ = kRotateSize;
  rotationTold_ = false;
  sharingTold_ = false;
  Start(kBanner + OsVersionLine());
}

void TrafficLog::Start(std::string head) {
  if (!OpenFile()) return;
  if (holder_ && size_ >= rotateAt_ && Rotate()) head = OsVersionLine();
  if (!file_) return;
  if (!holder_) {
    head += TimeStamp(clock_.LocalNow()) + " -- Another capture (process " + std::to_string(CurrentProcessId()) +
            ") writes this log too.\r\n";
    if (!sharingTold_) {
      sharingTold_ = true;
      Tell("The traffic log " + path_ +
           " is also written by another capture, which holds its lock. This capture adds its lines to it too, "
           "mixed with the other's, and leaves its rotation to the other capture.");
    }
  }
  WriteHead(head);
}

bool TrafficLog::OpenFile() {
  // Appending, never truncating: whatever the file holds stays.
  file_ = std::fopen(path_.c_str(), "ab+");
  if (!file_) {
    Refused("cannot open the file: " + SystemErrorText(errno));
    return false;
  }
  Unbuffer(file_);
  std::fseek(file_, 0, SEEK_END);
  size_ = seenAt_ = std::ftell(file_);
  bool busy = false;
  holder_ = TryLockOpenFile(file_, &busy) || !busy;
  return true;
}

void TrafficLog::WriteHead(const std::string& head) {
  std::string cause;
  if (!WriteAll(file_, size_, head, &cause)) {
    Refused(cause);
    return;
  }
  size_ += static_cast<long long>(head.size());
}

void TrafficLog::Tell(const std::string& text) {
  if (notices_) notices_->Notice(text);
}

void TrafficLog::Refused(const std::string& cause) {
  if (refusing_) return;
  refusing_ = true;
  missed_ = 0;
  Tell("The traffic log " + path_ + " refuses lines (" + cause +
       "). Received lines are still shown and reports exported, but they are "
       "missing from the log until it takes lines again.");
}

void TrafficLog::Accepted() {
  if (!refusing_) return;
  refusing_ = false;
  Tell("The traffic log " + path_ + " takes lines again; " + std::to_string(missed_) +
       (missed_ == 1 ? " line" : " lines") + " received meanwhile " + (missed_ == 1 ? "is" : "are") +
       " missing from it.");
  missed_ = 0;
}

std::string TrafficLog::Generation(int n) const {
  // The path without ".log" followed by "[n].log".
  std::string stem = path_.size() >= 4 ? path_.substr(0, path_.size() - 4) : std::string();
  return stem + "[" + std::to_string(n) + "].log";
}

bool TrafficLog::MoveGenerationsUp(std::string* cause) {
  // From the oldest down, each file moves only into a name that is free,
  // so a generation that could not move keeps every younger one where it
  // is rather than being overwritten by it.
  int code = 0;
  bool free = !PathExists(Generation(5)) || RemoveFile(Generation(5), &code);
  if (!free) *cause = "cannot remove " + Generation(5) + ": " + SystemErrorText(code);
  for (int n = 4; n >= 0; --n) {
    std::string from = n > 0 ? Generation(n) : path_;
    if (!PathExists(from)) {
      free = true;
      continue;
    }
    if (!free) continue;
    bool taken = false;
    free = atomic_file_system::GiveName(from, Generation(n + 1), false, &code, &taken);
    if (!free) *cause = "cannot rename " + from + " to " + Generation(n + 1) + ": " + SystemErrorText(code);
  }
  return free;
}

bool TrafficLog::Rotate() {
  // Closed first: Windows renames no file that is open.
  Close();
  std::string cause;
  bool moved = MoveGenerationsUp(&cause);
  if (!OpenFile()) return moved;
  if (moved) {
    rotateAt_ = kRotateSize;
    rotationTold_ = false;
    return true;
  }
  rotateAt_ = size_ + kRotateSize;
  if (!rotationTold_) {
    rotationTold_ = true;
    Tell("The traffic log " + path_ + " cannot be rotated (" + cause +
         "). Lines are still added to it, and the rotation is tried again when it has grown by another " +
         std::to_string(kRotateSize) + " bytes.");
  }
  return false;
}

void TrafficLog::CheckFile() {
  FileIdentity open, named;
  if (!OpenFileIdentity(file_, &open)) return;
  bool there = PathIdentity(path_, &named);
  if (there ? !named.SameFile(open) : !PathExists(path_)) {
    // A deleted file keeps what was written to it since it was last seen
    // at its path, and no one can read it any more: that goes on into the
    // new file. A file moved away keeps its lines under its new name.
    std::string orphaned;
    bool deleted = open.links == 0;
    if (deleted) ReadFrom(file_, seenAt_, &orphaned);
    Close();
    Tell("The traffic log " + path_ + (deleted ? " was deleted" : " was moved away or replaced") +
         " by another program while this capture wrote it. It is opened again under its name, and the lines " +
         (deleted ? "written since it went, and all later ones, go there." : "from now on go there."));
    Start(kBanner + OsVersionLine());
    if (file_ && !orphaned.empty()) WriteText(orphaned);
    return;
  }
  if (open.size != size_) {
    if (!sharingTold_) {
      sharingTold_ = true;
      Tell("The traffic log " + path_ + " is also written by another capture or program (it holds " +
           std::to_string(open.size) + " bytes where this capture expected " + std::to_string(size_) +
           "). The lines of both are mixed in it.");
    }
    size_ = open.size;
  }
  seenAt_ = size_;
  bool busy = false;
  if (!holder_) holder_ = TryLockOpenFile(file_, &busy) || !busy;
}

const std::string& TrafficLog::StampNow() {
  std::tm now = clock_.LocalNow();
  if (stamp_.empty() || now.tm_sec != stampTime_.tm_sec || now.tm_min != stampTime_.tm_min ||
      now.tm_hour != stampTime_.tm_hour || now.tm_mday != stampTime_.tm_mday ||
      now.tm_mon != stampTime_.tm_mon || now.tm_year != stampTime_.tm_year) {
    stamp_ = TimeStamp(now);
    stampTime_ = now;
    // Once a second at most: a stat of the path and of the open file.
    if (file_) CheckFile();
  }
  return stamp_;
}

void TrafficLog::WriteEvent(std::string_view event) {
  if (file_) StampNow();  // may open the file again, or fail to
  if (!file_) return;
  std::string text = stamp_;
  text += " -- ";
  for (char c : event) text += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
  text += "\r\n";
  WriteText(text);
}

void TrafficLog::WriteLine(std::string_view line) {
  if (file_) StampNow();  // may open the file again, or fail to
  if (!file_) {
    if (refusing_) {
      ++missed_;
      ++missedInAll_;
    }
    return;
  }
  text_ = stamp_;
  text_ += ":\t";
  text_.append(line);
  text_ += "\r\n";
  if (WriteText(text_)) {
    Accepted();
  } else {
    ++missed_;
    ++missedInAll_;
  }
}

bool TrafficLog::WriteText(const std::string& text) {
  std::string cause;
  if (!WriteAll(file_, size_, text, &cause)) {
    Refused(cause);
    FileIdentity now;
    if (OpenFileIdentity(file_, &now)) size_ = now.size;
    return false;
  }
  size_ += static_cast<long long>(text.size());
  if (holder_ && size_ >= rotateAt_ && Rotate() && file_) WriteHead(OsVersionLine());
  return true;
}

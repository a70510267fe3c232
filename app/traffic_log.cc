#include "app/traffic_log.h"

#include <cerrno>
#include <cstdio>

#include "platform/platform.h"

namespace {

const char kBanner[] =
    "\r\n**************************SOFTWARE START************************\r\n";

// Writes `text` at the end of `f` (`size` bytes long) and flushes it; on
// failure cuts the file back to `size`, so no part of a line stays behind,
// and fills `cause`.
bool WriteAll(FILE* f, long size, const std::string& text, std::string* cause) {
  errno = 0;
  size_t n = std::fwrite(text.data(), 1, text.size(), f);
  if (n == text.size() && std::fflush(f) == 0) return true;
  int code = errno ? errno : EIO;
  *cause = "write failed: " + SystemErrorText(code);
  if (n > 0) TruncateOpenFile(f, size);
  std::clearerr(f);
  return false;
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
  long long size = 0;
  if (FileSize(path, &size) && size >= kRotateSize) {
    RotateAndStart();
    return;
  }
  file_ = std::fopen(path.c_str(), "ab+");
  if (!file_) {
    Refused("cannot open the file: " + SystemErrorText(errno));
    return;
  }
  Unbuffer(file_);
  std::fseek(file_, 0, SEEK_END);
  size_ = std::ftell(file_);
  WriteHead(kBanner + OsVersionLine());
}

void TrafficLog::WriteHead(const std::string& head) {
  std::string cause;
  if (!WriteAll(file_, size_, head, &cause)) {
    Refused(cause);
    return;
  }
  size_ += static_cast<long>(head.size());
}

void TrafficLog::Refused(const std::string& cause) {
  if (refusing_) return;
  refusing_ = true;
  missed_ = 0;
  if (notices_) {
    notices_->Notice("The traffic log " + path_ + " refuses lines (" + cause +
                     "). Received lines are still shown and reports exported, but they are "
                     "missing from the log until it takes lines again.");
  }
}

void TrafficLog::Accepted() {
  if (!refusing_) return;
  refusing_ = false;
  if (notices_) {
    notices_->Notice("The traffic log " + path_ + " takes lines again; " + std::to_string(missed_) +
                     (missed_ == 1 ? " line" : " lines") + " received meanwhile " +
                     (missed_ == 1 ? "is" : "are") + " missing from it.");
  }
  missed_ = 0;
}

void TrafficLog::RotateAndStart() {
  Close();
  // The generations are the path without ".log" followed by "[n].log".
  std::string stem = path_.size() >= 4 ? path_.substr(0, path_.size() - 4) : std::string();
  auto generation = [&](int n) { return stem + "[" + std::to_string(n) + "].log"; };
  std::remove(generation(5).c_str());
  for (int n = 4; n >= 1; --n) std::rename(generation(n).c_str(), generation(n + 1).c_str());
  std::rename(path_.c_str(), generation(1).c_str());

  file_ = std::fopen(path_.c_str(), "wb");
  if (!file_) {
    Refused("cannot open the file: " + SystemErrorText(errno));
    return;
  }
  Unbuffer(file_);
  size_ = 0;
  WriteHead(OsVersionLine());
}

const std::string& TrafficLog::StampNow() {
  std::tm now = clock_.LocalNow();
  if (stamp_.empty() || now.tm_sec != stampTime_.tm_sec || now.tm_min != stampTime_.tm_min ||
      now.tm_hour != stampTime_.tm_hour || now.tm_mday != stampTime_.tm_mday ||
      now.tm_mon != stampTime_.tm_mon || now.tm_year != stampTime_.tm_year) {
    stamp_ = TimeStamp(now);
    stampTime_ = now;
  }
  return stamp_;
}

void TrafficLog::WriteEvent(std::string_view event) {
  if (!file_) return;
  std::string text = StampNow();
  text += " -- ";
  for (char c : event) text += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
  text += "\r\n";
  WriteText(text);
}

void TrafficLog::WriteLine(std::string_view line) {
  if (!file_) {
    if (refusing_) {
      ++missed_;
      ++missedInAll_;
    }
    return;
  }
  text_ = StampNow();
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
    return false;
  }
  size_ += static_cast<long>(text.size());
  if (size_ >= kRotateSize) RotateAndStart();
  return true;
}

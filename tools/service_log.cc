#include "tools/service_log.h"

#include <cstdio>

#include "export/iso_time.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/synced_append.h"

ServiceLog::ServiceLog(Clock& clock, std::string path, std::string fallback, NoticeSink* next, long long limit)
    : clock_(clock), path_(std::move(path)), fallback_(std::move(fallback)), next_(next), limit_(limit) {}

bool ServiceLog::Append(const std::string& path, const std::string& line, std::string* err) {
  long long size = 0;
  if (FileSize(path, &size) && size > 0 && size + static_cast<long long>(line.size()) > limit_) {
    // One older generation is plenty for a service's messages; the traffic
    // log keeps the lines themselves.
    std::string old = path + ".old";
    std::remove(old.c_str());
    std::rename(path.c_str(), old.c_str());
  }
  size_t cut = path.find_last_of("/\\");
  if (cut != std::string::npos && cut > 0) MakeDirectories(path.substr(0, cut));
  return AppendSynced(path, 0, [&](const std::string&, long long) { return line; }, err);
}

void ServiceLog::Notice(const std::string& text) {
  // Windows readers of the file expect CR LF.
  const char* end = kPathSeparator[0] == '\\' ? "\r\n" : "\n";
  std::string stamp = IsoLocalTime(clock_.LocalNow()) + " ";
  std::string line = stamp + text + end;
  std::string tell;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string err, fallbackErr;
    if (Append(path_, line, &err)) {
      lastFile_ = path_;
      toldFallback_ = false;
    } else if (!fallback_.empty() && Append(fallback_, line, &fallbackErr)) {
      lastFile_ = fallback_;
      if (!toldFallback_) {
        tell = "messages go to " + fallback_ + " instead: " + err;
        Append(fallback_, stamp + tell + end, &fallbackErr);
      }
      toldFallback_ = true;
    } else {
      lastFile_.clear();
      if (!toldFallback_) tell = "messages reach no file: " + err + (fallbackErr.empty() ? "" : "; " + fallbackErr);
      toldFallback_ = true;
    }
  }
  if (next_) {
    next_->Notice(text);
    if (!tell.empty()) next_->Notice(tell);
  }
}

std::string ServiceLog::LastFile() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastFile_;
}

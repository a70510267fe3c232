#include "tools/replay.h"

#include <cerrno>
#include <string_view>
#include <vector>

#include "platform/platform.h"

void StdoutLineList::AddLine(const std::string& line) {
  ++count_;
  if (quiet_) return;
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

bool ReplayStream(std::FILE* in, CaptureSession& session, std::string* err) {
  std::vector<char> buf(1 << 16);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0) session.FeedBytes(buf.data(), n);
  bool ok = !std::ferror(in);
  if (!ok && err) *err = SystemErrorText(errno);
  session.FlushPendingReport();
  std::fflush(stdout);
  return ok;
}

bool ReplayTrafficLog(const std::string& path, CaptureSession& session, LineList& list,
                      std::string* err) {
  std::string data;
  if (!ReadWholeFile(path, &data, err)) return false;

  // Each traffic line is "time stamp" ":" TAB line CR LF. The time stamp
  // holds no TAB, so the first ":" TAB ends it; the start banner, the OS
  // version line and the empty lines around them hold none and are skipped.
  // A received line never holds a CR, so CR LF always ends a record.
  size_t pos = 0;
  while (pos < data.size()) {
    size_t end = data.find("\r\n", pos);
    if (end == std::string::npos) end = data.size();
    std::string_view record(data.data() + pos, end - pos);
    pos = end + 2;
    size_t sep = record.find(":\t");
    if (sep == std::string_view::npos) continue;
    std::string line(record.substr(sep + 2));
    if (ReceivePath::IsPrintableLine(line)) session.Collector().FeedLine(line);
    list.AddLine(line);
  }
  session.FlushPendingReport();
  std::fflush(stdout);
  return true;
}

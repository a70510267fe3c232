#include "tools/replay.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace {

// Bytes fed between two looks at the stop request.
constexpr size_t kStopCheckBytes = 4096;
// The reports' thread is let catch up after each read of this many bytes,
// so that a stop leaves at most that much queued behind it (a few dozen
// reports, which are finished) instead of the whole input, while the two
// threads still overlap within a read.
constexpr size_t kReadBytes = 1 << 16;

void FlushAtEnd(CaptureSession& session, ReplayProgress* progress) {
  progress->flushedPending = session.Collector().HasPendingLines();
  session.FlushPendingReport();
  std::fflush(stdout);
}

}  // namespace

void StdoutLineList::AddLine(const std::string& line) {
  ++count_;
  if (quiet_) return;
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  if (std::ferror(stdout)) {
    // Whoever read standard output has gone; the capture goes on without it.
    quiet_ = true;
    std::fprintf(stderr,
                 "harrow-capture: standard output takes no more lines (%s); received lines are no longer "
                 "printed, but still logged and exported\n",
                 std::strerror(errno));
  }
}

bool ReplayStream(std::FILE* in, CaptureSession& session, const StopCheck& stop,
                  ReplayProgress* progress, std::string* err) {
  std::vector<char> buf(kReadBytes);
  bool ok = true;
  while (!progress->interrupted) {
    errno = 0;
    size_t n = std::fread(buf.data(), 1, buf.size(), in);
    for (size_t at = 0; at < n; at += kStopCheckBytes) {
      if (stop()) {
        progress->interrupted = true;
        break;
      }
      size_t piece = std::min(kStopCheckBytes, n - at);
      session.FeedBytes(buf.data() + at, piece);
      progress->done += piece;
    }
    session.SettleReports();
    if (progress->interrupted) break;
    if (stop()) {
      progress->interrupted = true;
      break;
    }
    if (n > 0) continue;
    if (!std::ferror(in)) break;
    // A signal that asks for no stop interrupted the read: go on.
    if (errno == EINTR) {
      std::clearerr(in);
      continue;
    }
    ok = false;
    if (err) *err = SystemErrorText(errno);
    break;
  }
  FlushAtEnd(session, progress);
  return ok;
}

bool ReplayTrafficLog(const std::string& path, CaptureSession& session, LineList& list,
                      const StopCheck& stop, ReplayProgress* progress, std::string* err) {
  std::string data;
  if (!ReadWholeFile(path, &data, err)) return false;

  // Each traffic line is "time stamp" ":" TAB line CR LF. The time stamp
  // holds no TAB, so the first ":" TAB ends it; the start banner, the OS
  // version line and the empty lines around them hold none and are skipped.
  // A received line never holds a CR, so CR LF always ends a record.
  std::vector<std::string_view> records;
  size_t pos = 0;
  while (pos < data.size()) {
    size_t end = data.find("\r\n", pos);
    if (end == std::string::npos) end = data.size();
    std::string_view record(data.data() + pos, end - pos);
    pos = end + 2;
    size_t sep = record.find(":\t");
    if (sep != std::string_view::npos) records.push_back(record.substr(sep + 2));
  }
  progress->total = records.size();
  for (std::string_view record : records) {
    if (stop()) {
      progress->interrupted = true;
      break;
    }
    std::string line(record);
    if (ReceivePath::IsPrintableLine(line)) session.Collector().FeedLine(line);
    list.AddLine(line);
    ++progress->done;
  }
  FlushAtEnd(session, progress);
  return true;
}

std::string ReplayProgressText(const ReplayProgress& progress, const char* unit) {
  std::string text = "replayed " + std::to_string(progress.done);
  if (progress.total > 0) text += " of " + std::to_string(progress.total);
  return text + " " + unit;
}

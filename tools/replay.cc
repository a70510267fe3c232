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
// The longest traffic record fed: a received line is at most a few hundred
// bytes; a longer one is not a traffic line (a wrong file, a damaged disk)
// and is skipped rather than kept whole in memory.
constexpr size_t kMaxRecordBytes = 4 << 20;

void FlushAtEnd(CaptureSession& session, ReplayProgress* progress) {
  progress->flushedPending = session.Collector().HasPendingLines();
  session.FlushPendingReport();
}

}  // namespace

StdoutLineList::StdoutLineList(bool quiet, NoticeSink& notices) {
  if (!quiet) printer_ = std::make_unique<StdoutPrinter>(StandardOutputSink(), notices);
}

void StdoutLineList::AddLine(const std::string& line) {
  ++count_;
  if (printer_) printer_->Print(line);
}

void StdoutLineList::Finish() {
  if (printer_) printer_->Finish();
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

namespace {

// What reading a traffic log met besides its records.
struct LogScan {
  unsigned long long records = 0;      // whole records with a time stamp
  unsigned long long tooLong = 0;      // records skipped for their length
  unsigned long long firstTooLong = 0; // where the first of them began (byte)
  bool cut = false;                    // bytes after the last line end
  unsigned long long cutAt = 0;        // where they began
  bool interrupted = false;
};

// Reads the records of a traffic log from `in`, at most `limit` bytes (0:
// to its end) in pieces, and hands the received line of each to `feed`,
// until the end or until `stop` says so. Each traffic line is "time
// stamp" ":" TAB line CR LF. The time stamp holds no TAB, so the first ":"
// TAB ends it; the start banner, the OS version line and the empty lines
// around them hold none and are skipped. A received line never holds a
// CR, so CR LF always ends a record, and bytes after the last CR LF are a
// record cut short. False and `err` filled when reading fails.
bool ScanTrafficLog(std::FILE* in, unsigned long long limit, const StopCheck& stop,
                    const std::function<void(std::string_view)>& feed, LogScan* scan, std::string* err) {
  std::vector<char> chunk(kReadBytes);
  std::string record;
  bool skipping = false;  // the record under way is too long to be a traffic line
  char last = 0;
  unsigned long long offset = 0, recordStart = 0;
  for (;;) {
    if (stop()) {
      scan->interrupted = true;
      return true;
    }
    size_t want = chunk.size();
    if (limit > 0) want = static_cast<size_t>(std::min<unsigned long long>(want, limit - offset));
    if (want == 0) break;
    errno = 0;
    size_t n = std::fread(chunk.data(), 1, want, in);
    if (n == 0) {
      if (!std::ferror(in)) break;
      // A signal that asks for no stop interrupted the read: go on.
      if (errno == EINTR) {
        std::clearerr(in);
        continue;
      }
      *err = SystemErrorText(errno);
      return false;
    }
    for (size_t at = 0; at < n;) {
      const char* piece = chunk.data() + at;
      const char* lf = static_cast<const char*>(std::memchr(piece, '\n', n - at));
      size_t take = lf ? static_cast<size_t>(lf - piece) + 1 : n - at;
      bool lineEnd = lf && (take >= 2 ? piece[take - 2] : last) == '\r';
      last = piece[take - 1];
      at += take;
      offset += take;
      if (!skipping) record.append(piece, take);
      if (lineEnd) {
        size_t sep = record.find(":\t");
        if (!skipping && sep != std::string::npos) {
          if (stop()) {
            scan->interrupted = true;
            return true;
          }
          ++scan->records;
          feed(std::string_view(record).substr(sep + 2, record.size() - 2 - (sep + 2)));
        }
        record.clear();
        skipping = false;
        recordStart = offset;
      } else if (!skipping && record.size() > kMaxRecordBytes) {
        if (scan->tooLong++ == 0) scan->firstTooLong = recordStart;
        skipping = true;
        record.clear();
        record.shrink_to_fit();
      }
    }
  }
  if (!record.empty()) {
    scan->cut = true;
    scan->cutAt = recordStart;
  }
  return true;
}

void TellWhatWasNotFed(const std::string& path, const LogScan& scan, NoticeSink& notices) {
  if (scan.tooLong > 0) {
    notices.Notice("The traffic log " + path + " holds " + std::to_string(scan.tooLong) +
                   (scan.tooLong == 1 ? " record" : " records") + " of more than " +
                   std::to_string(kMaxRecordBytes >> 20) + " MB without a line end (CR LF), the first at byte " +
                   std::to_string(scan.firstTooLong) +
                   (scan.tooLong == 1 ? ": no received line is that long, so it was skipped (is it a traffic log?)"
                                       : ": no received line is that long, so they were skipped (is it a traffic log?)"));
  }
  if (scan.cut) {
    notices.Notice("The traffic log " + path + " ends in a record without its line end (CR LF) at byte " +
                   std::to_string(scan.cutAt) +
                   ": the log was cut short there, so that record was not replayed");
  }
}

}  // namespace

bool ReplayTrafficLog(const std::string& path, CaptureSession& session, LineList& list,
                      NoticeSink& notices, const StopCheck& stop, ReplayProgress* progress,
                      std::string* err) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) {
    *err = "cannot open " + path + ": " + SystemErrorText(errno);
    return false;
  }
  // A regular file is read as it was at the start (a running capture may
  // be writing it); its records are counted first, for the progress. A
  // device or a pipe is read once, to its end.
  long long size = 0;
  unsigned long long limit = FileSize(path, &size) && size > 0 ? static_cast<unsigned long long>(size) : 0;
  LogScan scan;
  bool ok = true;
  if (limit > 0) {
    LogScan count;
    ok = ScanTrafficLog(in, limit, stop, [](std::string_view) {}, &count, err);
    progress->total = count.records;
    scan.interrupted = count.interrupted;
    if (ok && !scan.interrupted && std::fseek(in, 0, SEEK_SET) != 0) {
      *err = SystemErrorText(errno);
      ok = false;
    }
  }
  if (ok && !scan.interrupted) {
    auto feed = [&](std::string_view record) {
      std::string line(record);
      if (ReceivePath::IsPrintableLine(line)) session.Collector().FeedLine(line);
      list.AddLine(line);
      ++progress->done;
    };
    ok = ScanTrafficLog(in, limit, stop, feed, &scan, err);
  }
  std::fclose(in);
  if (!ok) *err = "cannot read " + path + ": " + *err;
  progress->interrupted = scan.interrupted;
  TellWhatWasNotFed(path, scan, notices);
  FlushAtEnd(session, progress);
  return ok;
}

std::string ReplayProgressText(const ReplayProgress& progress, const char* unit) {
  std::string text = "replayed " + std::to_string(progress.done);
  if (progress.total > 0) text += " of " + std::to_string(progress.total);
  return text + " " + unit;
}

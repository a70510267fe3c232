#include "app/receive_path.h"

#include <algorithm>
#include <cstring>

bool ReceivePath::IsPrintableLine(std::string_view line) {
  for (unsigned char c : line) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

void ReceivePath::OnSerialMessage(uint32_t events, ByteSource* port) {
  if ((events & kRxChar) && port) {
    char chunk[kChunkSize];
    uint32_t count;
    do {
      count = port->Read(chunk, kChunkSize);
      if (count > kChunkSize) count = 0;
      Append(chunk, count);
      // Lines are cut as the chunks come, not once the driver is empty: a
      // sender that keeps the driver full would otherwise keep every line
      // waiting, in a buffer without bound. The lines are the same either
      // way, since where a line ends depends only on the bytes.
      ExtractLines();
    } while (count == kChunkSize);
  } else {
    ExtractLines();
  }
}

void ReceivePath::Append(const char* data, size_t size) {
  buffer_.append(data, size);
  received_ += size;
}

std::string_view ReceivePath::UnfinishedLine() const {
  std::string_view rest = std::string_view(buffer_).substr(start_);
  while (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);
  while (!rest.empty() && rest.front() == '\n') rest.remove_prefix(1);
  return rest;
}

bool ReceivePath::TakeLineFeedWarning(size_t atLeast) {
  if (lineFeedDue_) {
    lineFeedDue_ = false;
    return true;
  }
  if (lineFeedTold_ || lineFeedLines_ == 0 || lineFeedLines_ < atLeast) return false;
  lineFeedTold_ = true;
  return true;
}

void ReceivePath::CountLineFeeds(size_t from, size_t to) {
  const char* data = buffer_.data();
  for (size_t i = from; i < to; ++i) {
    const void* lf = std::memchr(data + i, '\n', to - i);
    if (!lf) break;
    i = static_cast<size_t>(static_cast<const char*>(lf) - data);
    if (i > start_ && data[i - 1] != '\n') ++lineFeedLines_;
  }
  if (!lineFeedTold_ && lineFeedLines_ >= kLineFeedLines) lineFeedTold_ = lineFeedDue_ = true;
}

void ReceivePath::ExtractLines() {
  for (;;) {
    size_t from = std::max(start_, scanned_);
    // A CR at most kMaxLineLength bytes after the start ends a line; past
    // that the line is cut without one.
    size_t limit = std::min(buffer_.size(), start_ + kMaxLineLength + 1);
    const char* cr = from < limit
                         ? static_cast<const char*>(std::memchr(buffer_.data() + from, '\r', limit - from))
                         : nullptr;
    size_t lineEnd, next;
    if (cr) {
      lineEnd = static_cast<size_t>(cr - buffer_.data());
      next = lineEnd + 1;
      CountLineFeeds(from, lineEnd);
      // Told once, then again only after the reader has sent a line the
      // usual way: a reader that packs LF-ended lines between its CRs
      // would otherwise be told of at every CR.
      if (lineFeedLines_ == 0) lineFeedTold_ = false;
      lineFeedLines_ = 0;
    } else if (buffer_.size() - start_ > kMaxLineLength) {
      lineEnd = next = start_ + kMaxLineLength;
      CountLineFeeds(from, next);
    } else {
      // The byte at the limit belongs to the next cut piece; it is counted
      // with that piece.
      CountLineFeeds(from, std::min(limit, start_ + kMaxLineLength));
      scanned_ = limit;
      break;
    }
    size_t lineStart = start_;
    // Advance first: the consumers may run for a while (an export), and the
    // buffer must already be consistent if anything looks at it.
    start_ = scanned_ = next;
    Deliver(std::string_view(buffer_).substr(lineStart, lineEnd - lineStart));
  }
  // Drop delivered bytes once they are the larger part of the buffer, so a
  // burst of many lines costs linear time, not one move per line.
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = scanned_ = 0;
  } else if (start_ > buffer_.size() / 2) {
    buffer_.erase(0, start_);
    scanned_ -= start_;
    start_ = 0;
  }
}

void ReceivePath::Deliver(std::string_view raw) {
  while (!raw.empty() && raw.back() == '\n') raw.remove_suffix(1);
  while (!raw.empty() && raw.front() == '\n') raw.remove_prefix(1);
  line_.assign(raw);
  log_.WriteLine(line_);
  if (collector_) {
    if (IsPrintableLine(line_)) {
      collector_->FeedLine(line_);
    } else {
      collector_->LineLeftOut(line_);
    }
  }
  list_.AddLine(line_);
}

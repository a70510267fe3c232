#include "export/biff_writer.h"

#include <algorithm>
#include <cstring>

void BiffWriter::PutBytes(std::string_view bytes) {
  while (!bytes.empty()) {
    if (used_ == kBufferSize) Spill();
    size_t n = std::min(bytes.size(), kBufferSize - used_);
    std::memcpy(buffer_.data() + used_, bytes.data(), n);
    used_ += n;
    bytes.remove_prefix(n);
  }
}

void BiffWriter::Spill() {
  if (!failed_ && used_ > 0 && !sink_.Write(buffer_.data(), used_, &error_)) failed_ = true;
  used_ = 0;
}

bool BiffWriter::Finish(std::string* err) {
  Spill();
  if (failed_ && err) *err = error_;
  return !failed_;
}

void BofRecord::Write(BiffWriter& writer) const {
  writer.PutRecordHeader(kBiffBof, 4);
  writer.PutWord(version);
  writer.PutWord(type);
}

void EofRecord::Write(BiffWriter& writer) const { writer.PutRecordHeader(kBiffEof, 0); }

void ColumnWidthRecord::Write(BiffWriter& writer) const {
  writer.PutRecordHeader(kBiffColumnWidth, 4);
  // First and last column of the range: one column each time.
  writer.PutByte(column);
  writer.PutByte(column);
  writer.PutWord(width);
}

FontRecord::FontRecord(std::string_view name, int points, int flags)
    : height(static_cast<int32_t>(static_cast<int64_t>(points) * 20)), flags(flags), name(name.substr(0, kBiffMaxText)) {}

void FontRecord::Write(BiffWriter& writer) const {
  int n = static_cast<int>(name.size());
  writer.PutRecordHeader(kBiffFont, n + 5);
  writer.PutWord(height);
  writer.PutWord(flags);
  writer.PutByte(n);
  writer.PutBytes(name);
}

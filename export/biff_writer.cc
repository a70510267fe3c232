#include "export/biff_writer.h"

#include <cstring>

void BiffWriter::PutDouble(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 8; ++i) PutByte(static_cast<int>(bits >> (8 * i)));
}

void BiffWriter::PutBytes(std::string_view bytes) {
  while (!bytes.empty()) {
    if (used_ == sizeof buffer_) Spill();
    size_t n = std::min(bytes.size(), sizeof buffer_ - used_);
    std::memcpy(buffer_ + used_, bytes.data(), n);
    used_ += n;
    bytes.remove_prefix(n);
  }
}

void BiffWriter::Spill() {
  if (!failed_ && used_ > 0 && !sink_.Write(buffer_, used_, &error_)) failed_ = true;
  used_ = 0;
}

bool BiffWriter::Finish(std::string* err) {
  Spill();
  if (failed_ && err) *err = error_;
  return !failed_;
}

void CellAttributes::Write(BiffWriter& writer) const {
  writer.PutWord(row);
  writer.PutWord(column);
  writer.PutByte(attr0);
  writer.PutByte(attr1);
  writer.PutByte(attr2);
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

void NumberRecord::Write(BiffWriter& writer) const {
  writer.PutRecordHeader(kBiffNumber, 15);
  cell.Write(writer);
  writer.PutDouble(value);
}

void LabelRecord::Write(BiffWriter& writer) const {
  int n = static_cast<int>(text.size());
  writer.PutRecordHeader(kBiffLabel, n + 8);
  cell.Write(writer);
  writer.PutByte(n);
  writer.PutBytes(text);
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "export/byte_sink.h"

// BIFF2, the binary interchange format of Excel 2.x worksheets: a sequence
// of records, each a 16-bit id and a 16-bit length (both low byte first)
// followed by that many bytes. Only the six record kinds below are written;
// everything else (formats, XF records, code page, window settings) takes
// the format's defaults.

enum BiffRecordId : uint16_t {
  kBiffNumber = 0x0003,
  kBiffLabel = 0x0004,
  kBiffBof = 0x0009,
  kBiffEof = 0x000A,
  kBiffColumnWidth = 0x0024,
  kBiffFont = 0x0031,
};

/// BOF values of a BIFF2 worksheet stream.
constexpr int kBiffVersion2 = 2;
constexpr int kBiffWorksheet = 0x0010;

/// The longest text a LABEL record or a font name can hold (8-bit length).
constexpr size_t kBiffMaxText = 255;

/// Writes little-endian fields into a byte sink. Bytes are gathered in a
/// small buffer and handed on in blocks; the first failed write is kept and
/// everything after it is dropped, so Finish() reports it.
class BiffWriter {
 public:
  explicit BiffWriter(ByteSink& sink) : sink_(sink), buffer_(kBufferSize) {}
  BiffWriter(const BiffWriter&) = delete;
  BiffWriter& operator=(const BiffWriter&) = delete;

  /// The low 8 bits of `value`.
  void PutByte(int value) {
    if (used_ == kBufferSize) Spill();
    buffer_[used_++] = static_cast<unsigned char>(value);
  }
  /// The low 16 bits of `value`, low byte first.
  void PutWord(int value) {
    PutByte(value);
    PutByte(value >> 8);
  }
  /// The IEEE 754 double in little-endian byte order, whatever the host's order.
  void PutDouble(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) PutByte(static_cast<int>(bits >> (8 * i)));
  }
  /// Bytes as they are, unconverted and without a terminating NUL.
  void PutBytes(std::string_view bytes);
  /// Record id and the number of bytes that follow the header.
  void PutRecordHeader(int id, int length) {
    PutWord(id);
    PutWord(length);
  }
  /// Room for the next `n` bytes (at most 64 KiB), for a record that fills
  /// in all of them at once: the cell records, which are written by the
  /// hundred thousand, go through here instead of byte by byte.
  unsigned char* Claim(size_t n) {
    if (kBufferSize - used_ < n) Spill();
    unsigned char* at = buffer_.data() + used_;
    used_ += n;
    return at;
  }
  /// Stores the low 16 bits of `value` at `at`, low byte first; returns the next position.
  static unsigned char* StoreWord(unsigned char* at, int value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    return at + 2;
  }
  /// Hands on the buffered bytes. True when every byte put so far reached
  /// the sink; otherwise false and `err` holds the sink's reason.
  bool Finish(std::string* err);

 private:
  // Large enough that handing blocks on costs little next to filling them.
  static constexpr size_t kBufferSize = 1 << 16;

  void Spill();

  ByteSink& sink_;
  std::vector<unsigned char> buffer_;
  size_t used_ = 0;
  bool failed_ = false;
  std::string error_;
};

/// A record that writes itself, header included.
class BiffRecord {
 public:
  virtual ~BiffRecord() = default;
  /// Writes the complete record.
  virtual void Write(BiffWriter& writer) const = 0;
};

/// Position and the three attribute bytes of a NUMBER or LABEL record.
struct CellAttributes {
  int32_t row = 0;
  int32_t column = 0;
  uint8_t attr0 = 0;
  uint8_t attr1 = 0;  // font index in bits 6-7
  uint8_t attr2 = 0;  // horizontal alignment in bits 0-2
  /// Row, column (16 bits each) and the three attribute bytes: 7 bytes.
  void Write(BiffWriter& writer) const { Store(writer.Claim(7)); }
  /// The same 7 bytes stored at `at`; returns the next position.
  unsigned char* Store(unsigned char* at) const {
    at = BiffWriter::StoreWord(at, row);
    at = BiffWriter::StoreWord(at, column);
    at[0] = attr0;
    at[1] = attr1;
    at[2] = attr2;
    return at + 3;
  }
};

class BofRecord final : public BiffRecord {
 public:
  BofRecord(int version, int type) : version(version), type(type) {}
  void Write(BiffWriter& writer) const override;
  int32_t version;
  int32_t type;
};

class EofRecord final : public BiffRecord {
 public:
  void Write(BiffWriter& writer) const override;
};

class ColumnWidthRecord final : public BiffRecord {
 public:
  /// `width` in 1/256 of the width of a character.
  ColumnWidthRecord(int column, int width) : column(column), width(width) {}
  void Write(BiffWriter& writer) const override;
  int32_t column;
  int32_t width;
};

class FontRecord final : public BiffRecord {
 public:
  /// `flags`: 1 bold, 2 italic, 4 underlined, 8 struck out. The name is cut
  /// to 255 characters, so its length byte always matches it.
  FontRecord(std::string_view name, int points, int flags);
  void Write(BiffWriter& writer) const override;
  int32_t height;  // twips: points * 20
  int32_t flags;
  std::string name;
};

class NumberRecord final : public BiffRecord {
 public:
  NumberRecord(const CellAttributes& cell, double value) : cell(cell), value(value) {}
  void Write(BiffWriter& writer) const override {
    unsigned char* at = writer.Claim(4 + 15);
    at = BiffWriter::StoreWord(at, kBiffNumber);
    at = BiffWriter::StoreWord(at, 15);
    at = cell.Store(at);
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) at[i] = static_cast<unsigned char>(bits >> (8 * i));
  }
  CellAttributes cell;
  double value;
};

/// Refers to the cell's text instead of copying it: a record lives only
/// while its cell is written, and nothing is allocated per cell.
class LabelRecord final : public BiffRecord {
 public:
  /// Keeps the first 255 bytes of `text`; length and length byte agree.
  LabelRecord(const CellAttributes& cell, std::string_view text)
      : cell(cell), text(text.substr(0, kBiffMaxText)) {}
  void Write(BiffWriter& writer) const override {
    int n = static_cast<int>(text.size());
    unsigned char* at = writer.Claim(4 + 8 + text.size());
    at = BiffWriter::StoreWord(at, kBiffLabel);
    at = BiffWriter::StoreWord(at, n + 8);
    at = cell.Store(at);
    *at++ = static_cast<unsigned char>(n);
    std::memcpy(at, text.data(), text.size());
  }
  CellAttributes cell;
  std::string_view text;
};

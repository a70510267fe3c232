#include "export/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <limits>

namespace {

// zlib counts in uInt; larger inputs go in pieces of this size.
constexpr size_t kPiece = 1u << 30;

// Version 2.0: deflate. The upper byte of "made by" is 0, MS-DOS
// attributes, which every reader accepts for plain files.
constexpr int kVersion = 20;
constexpr int kDeflated = 8;
// 1980-01-01 00:00:00 in MS-DOS form: ((year - 1980) << 9 | month << 5 | day), time 0.
constexpr int kDosDate = 1 << 5 | 1;
constexpr int kDosTime = 0;

void Put16(std::string& out, uint64_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8 & 0xFF);
}

void Put32(std::string& out, uint64_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16 & 0xFFFF);
}

/// The fields a local header and a directory entry share, from the version
/// needed to extract to the length of the name.
void PutMemberFields(std::string& out, uint32_t crc, uint64_t compressedSize, uint64_t size, size_t nameLength) {
  Put16(out, kVersion);
  Put16(out, 0);  // flags: no encryption, no data descriptor, names in ASCII
  Put16(out, kDeflated);
  Put16(out, kDosTime);
  Put16(out, kDosDate);
  Put32(out, crc);
  Put32(out, compressedSize);
  Put32(out, size);
  Put16(out, nameLength);
}

/// Runs `size` bytes at `data` through `stream` into `out`, ending with
/// `flush`; false with `why` when zlib refuses.
bool DeflateInto(z_stream* stream, DeflateBuffer& out, const unsigned char* data, size_t size, int flush,
                 std::string* why) {
  do {
    size_t piece = std::min(size, kPiece);
    stream->next_in = const_cast<Bytef*>(data);
    stream->avail_in = static_cast<uInt>(piece);
    int mode = piece == size ? flush : Z_NO_FLUSH;
    do {
      size_t room = 0;
      stream->next_out = reinterpret_cast<Bytef*>(out.Room(4096, &room));
      room = std::min<size_t>(room, UINT_MAX);
      stream->avail_out = static_cast<uInt>(room);
      if (deflate(stream, mode) == Z_STREAM_ERROR) {
        *why = "compression failed (zlib)";
        return false;
      }
      out.Commit(room - stream->avail_out);
    } while (stream->avail_out == 0);
    data += piece;
    size -= piece;
  } while (size > 0);
  return true;
}

/// A raw deflate stream at `level` (0-9), or nullptr when zlib cannot set one up.
z_stream* NewRawDeflateStream(int level) {
  auto* stream = new z_stream();
  // Negative window bits: raw deflate, without the zlib header and trailer
  // that a zip member must not have.
  if (deflateInit2(stream, std::clamp(level, 0, 9), Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK)
    return stream;
  delete stream;
  return nullptr;
}

void FreeDeflateStream(z_stream* stream) {
  if (!stream) return;
  deflateEnd(stream);
  delete stream;
}

/// The CRC-32 `crc` carried on over `bytes`.
uint32_t CrcOver(uint32_t crc, std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t at = 0; at < bytes.size(); at += kPiece) {
    size_t n = std::min(bytes.size() - at, kPiece);
    crc = static_cast<uint32_t>(crc32(crc, data + at, static_cast<uInt>(n)));
  }
  return crc;
}

}  // namespace

char* DeflateBuffer::Room(size_t n, size_t* room) {
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < n) {
    // Blocks double up to 1 MiB: a small member takes one small block, a
    // large one a few dozen at most.
    size_t last = blocks_.empty() ? 0 : blocks_.back().capacity;
    size_t size = std::max(n, std::clamp<size_t>(2 * last, 1 << 16, 1 << 20));
    blocks_.push_back(Block{std::unique_ptr<char[]>(new char[size]), size, 0});
  }
  Block& b = blocks_.back();
  *room = b.capacity - b.used;
  return b.data.get() + b.used;
}

void DeflateBuffer::Commit(size_t n) {
  blocks_.back().used += n;
  size_ += n;
}

void DeflateBuffer::Splice(DeflateBuffer&& other) {
  for (Block& b : other.blocks_) {
    if (b.used > 0) blocks_.push_back(std::move(b));
  }
  size_ += other.size_;
  other.blocks_.clear();
  other.size_ = 0;
}

void DeflateBuffer::Clear() {
  if (blocks_.size() > 1) blocks_.resize(1);
  if (!blocks_.empty()) blocks_.front().used = 0;
  size_ = 0;
}

ZipWriter::ZipWriter(ByteSink& sink, int level, uint64_t limit)
    : sink_(sink), level_(std::clamp(level, 0, 9)), limit_(std::min(limit, kMaxZip32)) {
  stream_ = NewRawDeflateStream(level_);
  if (!stream_) {
    failed_ = true;
    error_ = "cannot set up the compression (zlib)";
  }
}

ZipWriter::~ZipWriter() { FreeDeflateStream(stream_); }

bool ZipWriter::Fail(std::string* err, const std::string& why) {
  if (!failed_) {
    failed_ = true;
    error_ = why;
  }
  if (err) *err = error_;
  return false;
}

bool ZipWriter::Emit(const void* data, size_t size, std::string* err) {
  if (!sink_.Write(data, size, &error_)) {
    failed_ = true;
    if (err) *err = error_;
    return false;
  }
  written_ += size;
  return true;
}

DeflatedPiece::DeflatedPiece(int level) : stream_(NewRawDeflateStream(level)) {
  crc_ = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
}

DeflatedPiece::~DeflatedPiece() { FreeDeflateStream(stream_); }

bool DeflatedPiece::Append(std::string_view bytes, std::string* err) {
  crc_ = CrcOver(crc_, bytes);
  size_ += bytes.size();
  return bytes.empty() ||
         Deflate(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), Z_NO_FLUSH, err);
}

bool DeflatedPiece::Close(std::string* err) { return Deflate(nullptr, 0, Z_SYNC_FLUSH, err); }

bool DeflatedPiece::Deflate(const unsigned char* data, size_t size, int flush, std::string* err) {
  if (!stream_) {
    *err = "cannot set up the compression (zlib)";
    return false;
  }
  return DeflateInto(stream_, deflated_, data, size, flush, err);
}

bool ZipWriter::Begin(std::string_view name, std::string* err) {
  if (failed_) return Fail(err, error_);
  if (open_) return Fail(err, "zip member " + std::string(name) + " begun inside another");
  if (members_.size() >= kMaxMembers) return Fail(err, "too many zip members without ZIP64");
  if (name.empty() || name.size() > 0xFFFF) return Fail(err, "bad zip member name");
  if (deflateReset(stream_) != Z_OK) return Fail(err, "cannot reset the compression (zlib)");
  members_.push_back(Member{std::string(name), 0, 0, 0, written_});
  open_ = true;
  crc_ = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
  size_ = 0;
  compressed_.Clear();
  dirty_ = false;
  return true;
}

bool ZipWriter::Deflate(const unsigned char* data, size_t size, int flush, std::string* err) {
  std::string why;
  if (!DeflateInto(stream_, compressed_, data, size, flush, &why)) return Fail(err, why);
  return true;
}

bool ZipWriter::Append(std::string_view bytes, std::string* err) {
  if (failed_) return Fail(err, error_);
  if (!open_) return Fail(err, "zip data outside a member");
  if (bytes.empty()) return true;
  if (bytes.size() > limit_ - size_)
    return Fail(err, "zip member " + members_.back().name + " would be larger than a zip file without ZIP64 holds");
  crc_ = CrcOver(crc_, bytes);
  size_ += bytes.size();
  dirty_ = true;
  return Deflate(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), Z_NO_FLUSH, err);
}

bool ZipWriter::AppendPiece(DeflatedPiece& piece, std::string* err) {
  if (failed_) return Fail(err, error_);
  if (!open_) return Fail(err, "zip data outside a member");
  if (piece.Size() > limit_ - size_ || piece.DeflatedSize() > limit_ ||
      piece.Size() > static_cast<uint64_t>(std::numeric_limits<z_off_t>::max()))
    return Fail(err, "zip member " + members_.back().name + " would be larger than a zip file without ZIP64 holds");
  // What the member's own stream holds must end on a byte boundary before
  // the piece, and the stream must start afresh after it: its window would
  // otherwise reach back into bytes the piece now stands in front of.
  if (dirty_) {
    if (!Deflate(nullptr, 0, Z_SYNC_FLUSH, err)) return false;
    if (deflateReset(stream_) != Z_OK) return Fail(err, "cannot reset the compression (zlib)");
    dirty_ = false;
  }
  compressed_.Splice(std::move(piece.deflated_));
  crc_ = static_cast<uint32_t>(crc32_combine(crc_, piece.Crc(), static_cast<z_off_t>(piece.Size())));
  size_ += piece.Size();
  return true;
}

bool ZipWriter::End(std::string* err) {
  if (failed_) return Fail(err, error_);
  if (!open_) return Fail(err, "zip member ended twice");
  open_ = false;
  if (!Deflate(nullptr, 0, Z_FINISH, err)) return false;
  Member& m = members_.back();
  m.crc = crc_;
  m.size = size_;
  m.compressedSize = compressed_.Size();
  if (m.compressedSize > limit_ || m.offset > limit_)
    return Fail(err, "zip member " + m.name + " lies beyond what a zip file without ZIP64 holds");

  std::string header;
  Put32(header, 0x04034B50);
  PutMemberFields(header, m.crc, m.compressedSize, m.size, m.name.size());
  Put16(header, 0);  // no extra field
  header += m.name;
  return Emit(header.data(), header.size(), err) &&
         compressed_.ForEachBlock([&](std::string_view block) { return Emit(block.data(), block.size(), err); });
}

bool ZipWriter::Finish(std::string* err) {
  if (failed_) return Fail(err, error_);
  if (open_) return Fail(err, "zip member " + members_.back().name + " not ended");
  const uint64_t directoryOffset = written_;
  std::string directory;
  for (const Member& m : members_) {
    Put32(directory, 0x02014B50);
    Put16(directory, kVersion);  // made by
    PutMemberFields(directory, m.crc, m.compressedSize, m.size, m.name.size());
    Put16(directory, 0);  // extra field
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk number
    Put16(directory, 0);  // internal attributes
    Put32(directory, 0);  // external attributes
    Put32(directory, m.offset);
    directory += m.name;
  }
  if (directoryOffset > limit_ || directory.size() > limit_ - directoryOffset)
    return Fail(err, "the zip directory lies beyond what a zip file without ZIP64 holds");
  const uint64_t directorySize = directory.size();
  Put32(directory, 0x06054B50);
  Put16(directory, 0);  // this disk
  Put16(directory, 0);  // the disk the directory starts on
  Put16(directory, members_.size());
  Put16(directory, members_.size());
  Put32(directory, directorySize);
  Put32(directory, directoryOffset);
  Put16(directory, 0);  // no comment
  return Emit(directory.data(), directory.size(), err);
}

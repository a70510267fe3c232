#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/byte_sink.h"

typedef struct z_stream_s z_stream;

/// Deflated bytes held in memory as a chain of blocks: growing never copies
/// what is held, blocks are left uninitialised so that only the pages
/// written are touched, and the first block is reused from member to member.
class DeflateBuffer {
 public:
  /// Room for at least `n` more bytes at the end; `*room` is set to all the
  /// room there is. Commit what was written there.
  char* Room(size_t n, size_t* room);
  /// Counts `n` bytes written at the last Room as held.
  void Commit(size_t n);
  /// Moves every block of `other` behind what this buffer holds.
  void Splice(DeflateBuffer&& other);
  /// Forgets what is held, keeping the first block for reuse.
  void Clear();
  size_t Size() const { return size_; }
  /// Calls fn(std::string_view) for every block's bytes, in order, until it returns false;
  /// true when every call did.
  template <typename Fn>
  bool ForEachBlock(Fn&& fn) const {
    for (const Block& b : blocks_) {
      if (b.used > 0 && !fn(std::string_view(b.data.get(), b.used))) return false;
    }
    return true;
  }

 private:
  struct Block {
    std::unique_ptr<char[]> data;
    size_t capacity = 0;
    size_t used = 0;
  };
  std::vector<Block> blocks_;
  size_t size_ = 0;
};

/// Part of a zip member deflated on its own, so that the parts of a large
/// member can be compressed side by side: raw deflate that ends on a byte
/// boundary (a sync flush) and refers to nothing before it. Each piece has
/// its own compression state; pieces may be filled on different threads.
class DeflatedPiece {
 public:
  explicit DeflatedPiece(int level);
  DeflatedPiece(const DeflatedPiece&) = delete;
  DeflatedPiece& operator=(const DeflatedPiece&) = delete;
  ~DeflatedPiece();

  /// Adds bytes; false and `err` filled when zlib fails.
  bool Append(std::string_view bytes, std::string* err);
  /// Flushes what is held to a byte boundary; call once, after the last Append.
  bool Close(std::string* err);

  size_t DeflatedSize() const { return deflated_.Size(); }
  uint32_t Crc() const { return crc_; }
  uint64_t Size() const { return size_; }

 private:
  bool Deflate(const unsigned char* data, size_t size, int flush, std::string* err);

  z_stream* stream_ = nullptr;
  friend class ZipWriter;  // takes deflated_ over

  DeflateBuffer deflated_;
  uint32_t crc_ = 0;
  uint64_t size_ = 0;
};

/// Writes a zip archive of deflated members into a sink, one member after
/// the other. A member is compressed into memory as it is appended and
/// reaches the sink, local header first, when it ends; its CRC and sizes are
/// then known, so the archive needs no data descriptors. Everything is kept
/// within the classic 32-bit zip fields: a member, an offset or a count that
/// would need the ZIP64 extension fails with an error instead. Every member
/// carries the same fixed date (1980-01-01 00:00), so equal contents give
/// equal archives.
class ZipWriter {
 public:
  /// The largest size or offset the 32-bit fields hold; 0xFFFFFFFF itself
  /// announces a ZIP64 field.
  static constexpr uint64_t kMaxZip32 = 0xFFFFFFFEu;
  /// The most members the end record counts without ZIP64.
  static constexpr size_t kMaxMembers = 0xFFFE;

  /// `level` is zlib's compression level (0-9). `limit` caps every size and
  /// offset; it is kMaxZip32 except in tests.
  explicit ZipWriter(ByteSink& sink, int level, uint64_t limit = kMaxZip32);
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;
  ~ZipWriter();

  /// Starts the member `name` (ASCII, '/' between folders); false and `err`
  /// filled when the archive has failed or cannot take another member.
  bool Begin(std::string_view name, std::string* err);
  /// Adds bytes to the member begun last; false and `err` filled on failure.
  bool Append(std::string_view bytes, std::string* err);
  /// Adds a closed piece to the member begun last, as if its bytes had been
  /// appended, taking over its deflated bytes; false and `err` filled on failure.
  bool AppendPiece(DeflatedPiece& piece, std::string* err);
  /// Ends the member and writes it to the sink; false and `err` filled on failure.
  bool End(std::string* err);
  /// Writes the central directory and the end record. True only when every
  /// member and the directory reached the sink whole.
  bool Finish(std::string* err);

 private:
  struct Member {
    std::string name;
    uint32_t crc;
    uint64_t compressedSize;
    uint64_t size;
    uint64_t offset;
  };

  bool Fail(std::string* err, const std::string& why);
  bool Deflate(const unsigned char* data, size_t size, int flush, std::string* err);
  bool Emit(const void* data, size_t size, std::string* err);

  ByteSink& sink_;
  int level_;
  uint64_t limit_;
  z_stream* stream_ = nullptr;
  bool open_ = false;    // a member has begun and not ended
  bool dirty_ = false;   // bytes appended since the stream was last reset
  bool failed_ = false;  // a step failed; nothing more is written
  std::string error_;
  std::vector<Member> members_;
  uint64_t written_ = 0;  // bytes handed to the sink so far
  uint32_t crc_ = 0;       // of the member being appended
  uint64_t size_ = 0;      // likewise, uncompressed
  DeflateBuffer compressed_;  // the member's deflated bytes
};

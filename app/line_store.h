#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// The received lines, newest last, packed for a capture that may run for
/// days: the bytes go into large shared blocks and each line costs a small
/// fixed index entry, so a million lines take little more than their bytes.
/// Appending is constant time (no block is ever moved or copied).
class LineStore {
 public:
  LineStore() = default;
  LineStore(const LineStore&) = delete;
  LineStore& operator=(const LineStore&) = delete;

  /// Adds a line as the new last one.
  void Append(std::string_view line);
  /// Line `index` (0 = oldest); valid until the next Clear.
  std::string_view At(size_t index) const;
  size_t Size() const { return count_; }
  /// Drops every line and releases the memory.
  void Clear();
  /// Bytes held, blocks and index together.
  size_t MemoryUsed() const;

  static constexpr size_t kBlockBytes = 1 << 20;
  static constexpr size_t kIndexBlockEntries = 1 << 16;

 private:
  // Where a line lies in its block; the block is found from the line's
  // number (each block knows its first line), which keeps an entry at 8 bytes.
  struct Ref {
    uint32_t offset;
    uint32_t length;
  };
  struct Block {
    std::unique_ptr<char[]> data;
    size_t capacity = 0;
    size_t used = 0;
    size_t firstLine = 0;
  };

  std::vector<Block> blocks_;
  std::vector<std::unique_ptr<Ref[]>> index_;
  size_t count_ = 0;
};

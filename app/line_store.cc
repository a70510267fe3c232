#include "app/line_store.h"

#include <algorithm>
#include <cstring>

void LineStore::Append(std::string_view line) {
  // A line longer than a block gets a block of its own size; the 32-bit
  // fields hold any line the receive path can produce.
  Ref ref{0, static_cast<uint32_t>(line.size())};
  if (!line.empty()) {
    if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < line.size()) {
      Block block;
      block.capacity = line.size() > kBlockBytes ? line.size() : kBlockBytes;
      block.data.reset(new char[block.capacity]);
      block.firstLine = count_;
      blocks_.push_back(std::move(block));
    }
    Block& block = blocks_.back();
    std::memcpy(block.data.get() + block.used, line.data(), line.size());
    ref.offset = static_cast<uint32_t>(block.used);
    block.used += line.size();
  }
  if (count_ % kIndexBlockEntries == 0) index_.emplace_back(new Ref[kIndexBlockEntries]);
  index_.back()[count_ % kIndexBlockEntries] = ref;
  ++count_;
}

std::string_view LineStore::At(size_t index) const {
  const Ref& ref = index_[index / kIndexBlockEntries][index % kIndexBlockEntries];
  if (ref.length == 0) return {};
  // The last block that starts at or before this line holds it: empty
  // lines take no block, so a line's block is never one that starts later.
  auto after = std::upper_bound(blocks_.begin(), blocks_.end(), index,
                                [](size_t line, const Block& b) { return line < b.firstLine; });
  return std::string_view((after - 1)->data.get() + ref.offset, ref.length);
}

void LineStore::Clear() {
  std::vector<Block>().swap(blocks_);
  std::vector<std::unique_ptr<Ref[]>>().swap(index_);
  count_ = 0;
}

size_t LineStore::MemoryUsed() const {
  size_t bytes = index_.size() * kIndexBlockEntries * sizeof(Ref);
  for (const Block& b : blocks_) bytes += b.capacity;
  return bytes + blocks_.capacity() * sizeof(Block) + index_.capacity() * sizeof(void*);
}

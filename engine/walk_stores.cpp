#include "engine/walk_stores.h"

#include <algorithm>
#include <utility>

namespace vexaro::engine {

KeptFiles::Id KeptFiles::Keep(const FileRecords& files) {
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  const auto id = static_cast<Id>(kept_.size());
  Kept& kept = kept_.emplace_back();
  const std::size_t size = files.recordBytes();
  if (size == 0) return id;
  if (chunks_.empty() || chunks_.back().size - chunks_.back().used < size) {
    Chunk& chunk = chunks_.emplace_back();
    chunk.size = std::max(kChunk, size);
    chunk.bytes = std::make_unique_for_overwrite<char[]>(chunk.size);
  }
  Chunk& chunk = chunks_.back();
  kept.files = files.Pack(chunk.bytes.get() + chunk.used);
  kept.chunk = static_cast<std::uint32_t>(chunks_.size() - 1);
  chunk.used += size;
  ++chunk.live;
  return id;
}

void KeptFiles::Release(Id id) {
  Kept& kept = kept_[id];
  kept.files = FileRecords();
  if (kept.chunk != kNoChunk && --chunks_[kept.chunk].live == 0) chunks_[kept.chunk].bytes.reset();
  kept.chunk = kNoChunk;
}

void HeldFolders::Remember(std::uint32_t node, std::shared_ptr<platform::Folder> handle) {
  if (const auto it = at_.find(node); it != at_.end()) {
    it->second->second = std::move(handle);
    held_.splice(held_.begin(), held_, it->second);
    return;
  }
  held_.emplace_front(node, std::move(handle));
  at_[node] = held_.begin();
  if (held_.size() > capacity_) {
    at_.erase(held_.back().first);
    held_.pop_back();
  }
}

std::shared_ptr<platform::Folder> HeldFolders::Find(std::uint32_t node) {
  const auto it = at_.find(node);
  if (it == at_.end()) return nullptr;
  held_.splice(held_.begin(), held_, it->second);
  return it->second->second;
}

}  // namespace vexaro::engine

#include "engine/walk_stores.h"

#include <algorithm>
#include <utility>

namespace vexaro::engine {

KeptFiles::Id KeptFiles::Keep(FileRecords&& files) {
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
  kept.files = std::move(files).Pack(chunk.bytes.get() + chunk.used);
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

std::size_t FolderIds::Slot(const platform::FolderId& id) const {
  // A 64-bit mix of both halves (the inode numbers of one device run in
  // sequence), then linear probing in a table a power of two long.
  std::uint64_t hash = id.device * 0x9E3779B97F4A7C15ull ^ id.inode;
  hash ^= hash >> 31;
  hash *= 0xBF58476D1CE4E5B9ull;
  hash ^= hash >> 29;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    if (slots_[at] == id || slots_[at] == kFree) return at;
  }
}

void FolderIds::Grow() {
  std::vector<platform::FolderId> old(std::max<std::size_t>(1024, slots_.size() * 2), kFree);
  std::vector<std::uint32_t> oldMounts(old.size());
  old.swap(slots_);
  oldMounts.swap(mounts_);
  for (std::size_t at = 0; at < old.size(); ++at) {
    if (old[at] == kFree) continue;
    const std::size_t slot = Slot(old[at]);
    slots_[slot] = old[at];
    mounts_[slot] = oldMounts[at];
  }
}

std::optional<std::uint32_t> FolderIds::Insert(const platform::FolderId& id, std::uint32_t mount) {
  if (id == kFree) {
    if (freeIdMount_) return freeIdMount_;
    freeIdMount_ = mount;
    return std::nullopt;
  }
  // At most half full, so that probes stay short.
  if (2 * (count_ + 1) > slots_.size()) Grow();
  const std::size_t slot = Slot(id);
  if (slots_[slot] == id) return mounts_[slot];
  slots_[slot] = id;
  mounts_[slot] = mount;
  ++count_;
  return std::nullopt;
}

bool FolderIds::Contains(const platform::FolderId& id) const {
  if (id == kFree) return freeIdMount_.has_value();
  return !slots_.empty() && slots_[Slot(id)] == id;
}

std::vector<HeldFolders::Held>::const_iterator HeldFolders::At(std::uint32_t node) const {
  return std::find_if(held_.begin(), held_.end(), [node](const Held& held) { return held.node == node; });
}

void HeldFolders::Remember(std::uint32_t node, std::shared_ptr<platform::Folder> handle) {
  const auto at = At(node);
  if (at != held_.end()) {
    Held& held = held_[static_cast<std::size_t>(at - held_.begin())];
    held.handle = std::move(handle);
    held.used = ++clock_;
    return;
  }
  if (held_.size() < capacity_) {
    held_.push_back({node, ++clock_, std::move(handle)});
    return;
  }
  // The least recent gives way.
  Held& oldest =
      *std::min_element(held_.begin(), held_.end(), [](const Held& a, const Held& b) { return a.used < b.used; });
  oldest = {node, ++clock_, std::move(handle)};
}

std::shared_ptr<platform::Folder> HeldFolders::Find(std::uint32_t node) {
  const auto at = At(node);
  if (at == held_.end()) return nullptr;
  Held& held = held_[static_cast<std::size_t>(at - held_.begin())];
  held.used = ++clock_;
  return held.handle;
}

}  // namespace vexaro::engine

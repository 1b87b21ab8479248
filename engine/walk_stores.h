#pragma once
// The two stores of the folder walk: the folders' files it keeps for the
// listing, and the handles it keeps to open subfolders from.

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "engine/file_records.h"
#include "platform/file_system.h"

namespace vexaro::engine {

// Folders' files packed into large chunks in the order they are kept (the
// listing order), so that chunks go whole, in order, as the listing goes
// through them, and a folder's records cost no allocation of their own.
class KeptFiles {
 public:
  using Id = std::uint32_t;

  Id Keep(FileRecords&& files);
  const FileRecords& Get(Id id) const { return kept_[id].files; }
  // Frees a folder's records once they have been listed.
  void Release(Id id);

 private:
  static constexpr std::uint32_t kNoChunk = UINT32_MAX;
  struct Chunk {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
    std::size_t used = 0;
    std::uint32_t live = 0;  // folders not released yet
  };
  struct Kept {
    FileRecords files;
    std::uint32_t chunk = kNoChunk;
  };
  std::vector<Chunk> chunks_;
  // A deque: growing it never holds the old and the new array at once, as a
  // vector's doubling would, for a hundred thousand folders and more.
  std::deque<Kept> kept_;
};

// The identities of the folders met, to know a folder met again (through a
// bind mount, say). One probe into a flat table per folder: a node-based set
// costs a miss per node, and the walk asks once or twice per folder.
class FolderIds {
 public:
  // Records `id`, met under `mount` (Folder::mount, its low 32 bits), unless
  // it was there already: then the mount it was met under first.
  std::optional<std::uint32_t> Insert(const platform::FolderId& id, std::uint32_t mount);
  bool Contains(const platform::FolderId& id) const;

 private:
  std::size_t Slot(const platform::FolderId& id) const;  // where `id` is, or the free slot it would take
  void Grow();

  // A free slot holds the all-ones id; that id itself, should a file system
  // give it, is kept aside. The mounts go beside the ids, in 32 bits: mount
  // numbers are small, and a slot of 24 bytes instead of 20 would cost 1 MiB
  // more at a hundred thousand folders.
  static constexpr platform::FolderId kFree{UINT64_MAX, UINT64_MAX};
  std::vector<platform::FolderId> slots_;
  std::vector<std::uint32_t> mounts_;
  std::size_t count_ = 0;
  std::optional<std::uint32_t> freeIdMount_;
};

// Handles of recently opened folders, most recent first: bases for opening
// their subfolders, so that a folder costs one open however deep it lies.
class HeldFolders {
 public:
  explicit HeldFolders(std::size_t capacity) : capacity_(capacity) {}

  // Keeps `handle` as the most recent, dropping the least recent beyond
  // the capacity.
  void Remember(std::uint32_t node, std::shared_ptr<platform::Folder> handle);
  // The handle of `node`, made the most recent; null when not held.
  std::shared_ptr<platform::Folder> Find(std::uint32_t node);
  bool Contains(std::uint32_t node) const { return At(node) != held_.end(); }
  void Clear() { held_.clear(); }

 private:
  // A few dozen entries, looked through in a row: cheaper than a list and a
  // map, which cost two allocations per folder opened.
  struct Held {
    std::uint32_t node;
    std::uint64_t used;  // when last remembered or found
    std::shared_ptr<platform::Folder> handle;
  };
  std::vector<Held>::const_iterator At(std::uint32_t node) const;

  std::size_t capacity_;
  std::uint64_t clock_ = 0;
  std::vector<Held> held_;
};

}  // namespace vexaro::engine

#include "engine/folder_opener.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/folder_read.h"

namespace vexaro::engine {

FolderBudget ShareOpenFolders(std::optional<std::size_t> foldersLeft) {
  FolderBudget budget;
  if (!foldersLeft) return budget;
  // Left for the rest of the program (an output file, the mount table), and
  // for the engine's own reads: the folder it reads and that one's parent.
  constexpr std::size_t kReserve = 8 + 2;
  const std::size_t usable = *foldersLeft > kReserve ? *foldersLeft - kReserve : 0;
  // Bases save opens, the reads ahead time; a quarter for the first.
  budget.held = std::clamp<std::size_t>(usable / 4, 1, budget.held);
  budget.readsAhead = usable > budget.held ? (usable - budget.held) / 2 : 0;
  return budget;
}

FolderOpener::FolderOpener(const FolderTree& tree, platform::DirectorySearch& directories, std::size_t held)
    : tree_(tree), directories_(directories), held_(held) {}

void FolderOpener::Remember(Index folder, std::shared_ptr<platform::Folder> handle) {
  held_.Remember(folder, std::move(handle));
  last_ = folder;
}

void FolderOpener::Clear() {
  held_.Clear();
  last_ = FolderTree::kNone;
}

bool FolderOpener::NearHeld(Index folder) const {
  constexpr int kMostOpens = 2;
  for (int opens = 0; folder != FolderTree::kNone; folder = tree_.parent(folder), ++opens) {
    if (held_.Contains(folder)) return true;
    if (opens == kMostOpens) return false;
  }
  return true;  // the start folder, opened by its path
}

FolderOpener::Opened FolderOpener::OpenAnew(Index folder) {
  Opened out;
  platform::OpenResult opened;
  if (folder == FolderTree::kRoot) {
    // The start folder: by its path, as the user gave it.
    opened = directories_.OpenFolder(root_);
  } else {
    Opened parent = Open(tree_.parent(folder));
    if (!parent.folder) return parent;
    opened = parent.folder->OpenChild(tree_.name(folder));
  }
  if (!opened.folder) {
    out.error = opened.error;
    // The start folder was never seen as a folder: whatever stands at its
    // path is simply not one.
    out.changed = folder != FolderTree::kRoot && IsChange(opened.error);
    return out;
  }
  if (tree_.id(folder) && opened.folder->id() != tree_.id(folder)) {
    out.changed = true;
    return out;
  }
  out.folder = std::move(opened.folder);
  held_.Remember(folder, out.folder);
  return out;
}

std::shared_ptr<platform::Folder> FolderOpener::UpFromLast(Index folder) {
  Index above = last_;
  while (tree_.depth(above) > tree_.depth(folder)) above = tree_.parent(above);
  if (above != folder) return nullptr;
  std::shared_ptr<platform::Folder> handle = held_.Find(last_);
  for (Index at = last_; handle && at != folder;) {
    const Index parent = tree_.parent(at);
    platform::OpenResult opened = handle->OpenParent();
    if (!opened.folder || !tree_.id(parent) || opened.folder->id() != tree_.id(parent)) return nullptr;
    handle = std::move(opened.folder);
    held_.Remember(parent, handle);
    at = parent;
  }
  return handle;
}

FolderOpener::Opened FolderOpener::Open(Index folder) {
  Opened opened;
  if ((opened.folder = held_.Find(folder))) return opened;
  // Going back up from the folder opened last costs one open per level, and
  // each level is gone back up through once.
  if (last_ != FolderTree::kNone && tree_.depth(last_) > tree_.depth(folder)) {
    if ((opened.folder = UpFromLast(folder))) return opened;
  }
  // Down from the nearest ancestor still held.
  std::vector<Index> missing;
  for (Index at = folder; at != FolderTree::kNone && !held_.Contains(at); at = tree_.parent(at)) missing.push_back(at);
  while (!missing.empty()) {
    opened = OpenAnew(missing.back());
    if (!opened.folder) return opened;
    missing.pop_back();
  }
  if (!opened.folder) opened.folder = held_.Find(folder);
  return opened;
}

}  // namespace vexaro::engine

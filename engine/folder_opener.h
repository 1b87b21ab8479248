#pragma once
// Opens the folders of the tree: the start folder by its path, every other
// one through the folder that holds it, never through a link, and each
// checked to be still the folder the walk recorded. Recently opened folders
// are held as bases, so that a folder costs one open however deep it lies.
//
// Threads: the engine's thread only. The handles it gives out may be used
// by the workers to open subfolders from.

#include <cstdint>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/folder_tree.h"
#include "engine/walk_stores.h"
#include "platform/file_system.h"

namespace vexaro::engine {

// How the folders the process may still open are shared out: the bases the
// opener holds, and the reads ahead, each of which holds one or two open
// (its folder, and a base the opener may have let go) until it is taken.
// Without a limit, as many as serve speed.
struct FolderBudget {
  std::size_t held = 64;
  std::size_t readsAhead = SIZE_MAX;
};
FolderBudget ShareOpenFolders(std::optional<std::size_t> foldersLeft);

class FolderOpener {
 public:
  using Index = FolderTree::Index;

  FolderOpener(const FolderTree& tree, platform::DirectorySearch& directories, std::size_t held);

  // Where the start folder is, with its separator.
  void SetRoot(std::string_view path) { root_ = path; }

  struct Opened {
    std::shared_ptr<platform::Folder> folder;  // null on failure
    std::error_code error;
    bool changed = false;  // a folder on the way is no longer the one recorded
  };
  // A handle of `folder` to open its subfolders from: one held, or opened
  // from the nearest folder held.
  Opened Open(Index folder);
  // `folder` opened anew, to be read: from its parent's handle, or the start
  // folder by its path.
  Opened OpenAnew(Index folder);

  // Holds `handle`, the folder just read, as a base for opening the folders
  // below `folder` and for going back up from it.
  void Remember(Index folder, std::shared_ptr<platform::Folder> handle);
  // Whether `folder` is held, or a held folder lies a step or two above it:
  // a read ahead elsewhere could cost an open per level, however deep.
  bool NearHeld(Index folder) const;
  void Clear();

 private:
  // Back up from the folder read last, when `folder` lies above it: one
  // open per level.
  std::shared_ptr<platform::Folder> UpFromLast(Index folder);

  const FolderTree& tree_;
  platform::DirectorySearch& directories_;
  std::string root_;
  HeldFolders held_;
  Index last_ = FolderTree::kNone;  // the folder read last
};

}  // namespace vexaro::engine

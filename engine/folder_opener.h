#pragma once
// Opens the folders of the tree: the start folder by its path, every other
// one through the folder that holds it, never through a link, and each
// checked to be still the folder the walk recorded. Recently opened folders
// are held as bases, so that a folder costs one open however deep it lies.
//
// Threads: the engine's thread only. The handles it gives out may be used
// by the workers to open subfolders from.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/folder_tree.h"
#include "engine/walk_stores.h"
#include "platform/file_system.h"

namespace vexaro::engine {

class FolderOpener {
 public:
  using Index = FolderTree::Index;

  FolderOpener(const FolderTree& tree, platform::DirectorySearch& directories);

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

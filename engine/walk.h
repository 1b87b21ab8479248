#pragma once
// The folder tree walk and the file enumeration of one folder.

#include <string>
#include <string_view>
#include <vector>

#include "engine/folder_cache.h"
#include "engine/host.h"
#include "platform/file_system.h"

namespace vexaro::engine {

// One folder to list: its full path and what the walk kept of its files.
struct FolderItem {
  std::string path;
  FolderCache::Id files = FolderCache::kNotKept;
};

inline std::string_view SortKey(const FolderItem& item) noexcept { return item.path; }

struct WalkContext {
  platform::DirectorySearch& directories;
  ListingHost& host;
  char separator;
  FolderCache* cache = nullptr;  // null: keep nothing, the listing reads again
};

// Walks the tree below `Path` breadth-first and replaces `folders` with
// element 0 (path empty; it stands for `Path` and carries what was kept of
// its files) followed by the full path of every folder below it, without a
// trailing separator, in the order met. Links and junctions to folders are
// not entered, and a folder met a second time (bind mounts) is not read again.
// Shows each finished folder but the last through DispListFile, yields once
// per folder and once per entry, and returns early with what it has found
// once the run flag is cleared.
void GetSubFolders(WalkContext& context, const std::string& Path, std::vector<FolderItem>& folders);

// Replaces `files` with element 0 (empty) followed by every entry of `path`
// that is not a folder, in the order the platform returns them. A folder that
// cannot be read gives element 0 only and is reported to the host.
void GetFolderFiles(WalkContext& context, std::string_view path, FolderFiles& files);

}  // namespace vexaro::engine

#pragma once
// The folder tree walk and the file enumeration of each folder.
//
// Every folder below the start folder is opened through its parent without
// following links, and when the listing opens it again its identity must
// still be the one the walk recorded: a folder replaced by a link (or by
// anything else) is reported, never followed.
//
// Both passes go through the folders in listing order: the order of their
// full paths under CompareNames. Worker threads read folders ahead of that
// order; the passes take the results in order, so what the user sees never
// depends on them.
//
// Threads: a walk belongs to the thread that made it, which calls the host
// (progress, stop, problems) and the visitor; only reads run elsewhere.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/file_records.h"
#include "engine/host.h"
#include "platform/file_system.h"

namespace vexaro::engine {

struct WalkOptions {
  platform::StampFields wanted{true, true};         // what the listing shows
  std::size_t cacheBudget = std::size_t{32} << 20;  // bytes of file records the walk keeps for the listing
  unsigned threads = 1;                             // as ReadPool::ThreadsFor; 1: none
};

struct WalkContext {
  platform::DirectorySearch& directories;
  ListingHost host;
  char separator;
  WalkOptions options = {};
};

class FolderWalk {
 public:
  explicit FolderWalk(WalkContext context);
  ~FolderWalk();
  FolderWalk(const FolderWalk&) = delete;
  FolderWalk& operator=(const FolderWalk&) = delete;

  // Walks the tree below `Path`, once per walk. Shows each finished folder
  // but the last through DispListFile, yields once per folder, and returns
  // early with what it has found once the stop request is set. Links and
  // junctions to folders are not entered, and a folder met a second time
  // (bind mounts) is not read again.
  void GetSubFolders(const std::string& Path);

  // The files of one folder as the listing gets them.
  struct Listed {
    std::string_view path;      // full path, with its trailing separator
    std::size_t relativeStart;  // where the part below the start folder begins
    const FileRecords& files;
  };
  // Calls `visit` for every folder the walk found, in listing order, with its
  // files sorted by name (GetFolderFiles). Yields and shows each folder
  // before its files are fetched; reports what cannot be read again to the
  // host. Returns false when stopped.
  bool ListFolders(const std::function<void(const Listed&)>& visit);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vexaro::engine

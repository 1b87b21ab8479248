#pragma once
// Reading one folder, on a worker thread or on the engine's own. Two kinds of
// read, each with its own result: the walk's (subfolders, and the files as
// far as the walk keeps them) and the listing's (the files of a folder the
// walk did not keep).
//
// Threads: a read runs wholly on one thread, a worker or the engine's. It
// shares nothing with other threads but the handles of its source, of which
// it calls OpenChild (safe from any thread) and, on the folder it opened or
// was handed alone, Next, error and Stat; its result goes back whole.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "engine/file_records.h"
#include "platform/file_system.h"

namespace vexaro::engine {

// Asked now and then during a read; false abandons it.
using KeepGoing = std::function<bool()>;

// Where a read finds its folder: open already (the start folder), or to be
// opened by its name in the folder that holds it, never through a link.
struct FolderSource {
  std::shared_ptr<platform::Folder> folder;
  std::shared_ptr<platform::Folder> parent;  // when `folder` is null
  std::string name;
  std::optional<platform::FolderId> expected;  // what the walk recorded
};

enum class ReadOutcome : std::uint8_t {
  Read,        // entries read; `error` set when the read broke off part-way
  Unreadable,  // could not be opened
  Changed,     // no longer the folder the walk saw: a link or another folder now
};

// Whether an open failed because something other than a folder (a link, a
// file) has the folder's name now.
bool IsChange(std::error_code error);

// The walk's read: the subfolders, and the files while the walk keeps them.
struct WalkRead {
  FolderSource source;
  platform::StampFields wanted;  // nothing wanted: names only
  bool files = true;             // collect files (the walk skips them once it keeps no more)
  // Past this many bytes of files the read stops collecting them (a folder
  // the walk could not keep anyway); it still counts them.
  std::size_t fileBudget = SIZE_MAX;
};

struct WalkResult {
  ReadOutcome outcome = ReadOutcome::Read;
  std::error_code error;
  std::shared_ptr<platform::Folder> handle;  // the folder read, kept to open its subfolders
  std::optional<platform::FolderId> id;      // its identity
  std::uint64_t mount = 0;                   // the mount it was reached through, 0 unknown
  FileRecords files;                         // sorted by name
  bool collected = false;                    // `files` holds every file, with what was asked for
  std::uint32_t filesSeen = 0;               // files met, also when they were not collected
  std::vector<std::string> folders;          // subfolder names, in the order met

  std::size_t bytes() const;
};

// The listing's read of a folder the walk did not keep.
struct ListRead {
  FolderSource source;
  platform::StampFields wanted;
};

struct ListResult {
  ReadOutcome outcome = ReadOutcome::Read;
  std::error_code error;
  std::shared_ptr<platform::Folder> handle;
  FileRecords files;  // sorted by name

  std::size_t bytes() const;
};

// Each read ends early, with nullopt, once `keepGoing` returns false.
std::optional<WalkResult> ReadForWalk(const WalkRead& read, const KeepGoing& keepGoing);
std::optional<ListResult> ReadForListing(const ListRead& read, const KeepGoing& keepGoing);

}  // namespace vexaro::engine

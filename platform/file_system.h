#pragma once
// Directory search: enumerate one folder and read a file's size and times.
// Portable value types only; no OS header or OS type crosses this interface.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vexaro::platform {

// A moment in UTC: seconds since 1970-01-01 00:00:00 UTC plus a fraction.
struct UtcTime {
  std::int64_t seconds = 0;
  std::uint32_t nanoseconds = 0;
  friend auto operator<=>(const UtcTime&, const UtcTime&) = default;
};

// Size and creation time of one file, what the listing shows. A field is
// empty when the platform could not read it; `creation` falls back to the
// last-write time on file systems that keep no birth time.
struct FileStamp {
  std::optional<std::uint64_t> size;
  std::optional<UtcTime> creation;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// Which parts of a FileStamp a caller needs, so that a platform that must ask
// for them separately asks only for those.
struct StampFields {
  bool size = false;
  bool times = false;
};

enum class EntryKind : std::uint8_t {
  File,          // listed; also a link to a file, dangling or not
  Folder,        // walked
  LinkedFolder,  // symbolic link or junction to a folder: neither walked nor listed
};

// One entry of a folder as its enumeration record describes it.
struct DirEntry {
  std::string_view name;  // valid until the next call of Folder::Next
  EntryKind kind = EntryKind::File;
  // Filled when the enumeration record itself carries size and times
  // (Windows); empty where a second look-up is needed (Folder::Stat).
  std::optional<FileStamp> stamp;
};

// Identity of a folder on its device: (device, inode) on Linux, (volume
// serial, file index) on Windows. It is what tells a folder from whatever has
// taken its name since it was first seen.
struct FolderId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FolderId&, const FolderId&) = default;
};

class Folder;

struct OpenResult {
  std::unique_ptr<Folder> folder;  // null on failure
  std::error_code error;
};

// An open folder. Closing happens in the destructor.
//
// Threads: Next, error and Stat belong to one thread at a time, the one that
// enumerates (Stat may look at the enumeration's own buffer for the name).
// OpenChild, OpenParent and id may be called from any thread, also while
// another thread is in Next, so that one thread can enumerate a folder while
// another opens its subfolders.
class Folder {
 public:
  virtual ~Folder() = default;

  // Moves to the next entry other than "." and "..". Returns false at the
  // end, and also when reading fails part-way (error() then says why). One
  // pass only: open the folder again to read it again.
  virtual bool Next(DirEntry& entry) = 0;
  virtual std::error_code error() const = 0;

  // The folder's identity, read when it was opened; empty where the platform
  // has none.
  virtual std::optional<FolderId> id() const = 0;

  // The mount the folder was reached through, where the platform tells
  // (0 where not): one folder met twice under two mounts is a bind mount;
  // met twice under one, it was moved while the walk ran.
  virtual std::uint64_t mount() const { return 0; }

  // Size and times of the entry `name` of this folder. A link to a file
  // gives the values of the file it points to, a dangling link its own.
  // Returns nullopt when the entry cannot be read (vanished, no access).
  virtual std::optional<FileStamp> Stat(std::string_view name, StampFields wanted) = 0;

  // Opens the subfolder `name` of this very folder, never following a link:
  // a symbolic link or junction there fails with
  // std::errc::too_many_symbolic_link_levels, anything else that is not a
  // folder with std::errc::not_a_directory. No path is built, so neither
  // depth nor length is limited.
  virtual OpenResult OpenChild(std::string_view name) = 0;

  // Opens the folder that holds this one now (which, if it has been moved,
  // is not the one it was opened from: callers compare ids).
  virtual OpenResult OpenParent() = 0;
};

class DirectorySearch {
 public:
  virtual ~DirectorySearch() = default;
  // Opens the folder `path` as the system resolves it, links included (a
  // start folder the user chose). Fails with an error code when the folder
  // does not exist, is no folder, or cannot be read. Keeps nothing open
  // between calls. Safe to call from several threads.
  virtual OpenResult OpenFolder(std::string_view path) = 0;

  // How many more folders the process may hold open at once, where the
  // system sets a limit worth minding (the descriptors of a process on
  // Linux); nullopt where not.
  virtual std::optional<std::size_t> FoldersLeftToOpen() { return std::nullopt; }
};

}  // namespace vexaro::platform

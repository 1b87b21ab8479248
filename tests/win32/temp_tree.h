#pragma once
// A folder tree on the real disk, made by a test and removed after it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace vexaro::testing {

class TempTree {
 public:
  TempTree();  // an empty folder of its own below the system's temporary folder
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // The tree's folder, with its trailing backslash (UTF-8).
  const std::string& root() const { return root_; }
  // Full path of `relative` below the root.
  std::string Path(std::string_view relative) const { return root_ + std::string(relative); }

  // Creates the folder `relative` and any parent it needs; returns its path.
  std::string AddFolder(std::string_view relative);

  // Creates the file `relative` (parents too) of `size` bytes, made by moving
  // its end (sparse where the file system allows it), with the given
  // FILE_ATTRIBUTE_* bits besides normal; returns its path.
  std::string AddFile(std::string_view relative, std::uint64_t size = 0, unsigned long attributes = 0);

  // Sets the three times of a file.
  static void SetTimes(std::string_view path, platform::UtcTime creation, platform::UtcTime lastWrite,
                       platform::UtcTime lastAccess);

  // A symbolic link to a folder; false when the system makes none (no right
  // to, or Wine, which reports success and makes nothing).
  bool AddFolderLink(std::string_view relative, std::string_view target);

  // Removes a file or a folder with everything in it; false when anything
  // stays behind.
  static bool Remove(std::string_view path);

 private:
  std::string root_;
};

// Whether the tests run under Wine, where some things cannot be made.
bool RunningUnderWine();

}  // namespace vexaro::testing

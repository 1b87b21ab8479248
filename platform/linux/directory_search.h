#pragma once
// The folder enumeration of Linux, for the POSIX implementation files and
// their tests.

#include <string_view>

#include "platform/file_system.h"

namespace vexaro::platform::posix {

// getdents64 for the entries, statx relative to the open folder for sizes and
// times, openat(O_NOFOLLOW) for subfolders. Keeps nothing between calls, so
// it is safe to use from several threads.
class PosixDirectorySearch final : public DirectorySearch {
 public:
  OpenResult OpenFolder(std::string_view path) override;
  // The soft descriptor limit less the descriptors open now.
  std::optional<std::size_t> FoldersLeftToOpen() override;
};

}  // namespace vexaro::platform::posix

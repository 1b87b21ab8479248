#pragma once
// The folder enumeration of Linux, for the POSIX implementation files and
// their tests.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/file_system.h"

namespace vexaro::platform::posix {

class KeptFolders;

// Opens folders relative to descriptors of their ancestors kept from earlier
// calls, so that a folder costs one open however deep it lies, and paths of
// any length can be opened. At most `maxKept` descriptors are kept between
// calls; those unused for longer than `idleLimit` are dropped at the next
// call, since the folders they stand for may have been renamed or replaced
// in the meantime. Safe to use from several threads.
class PosixDirectorySearch final : public DirectorySearch {
 public:
  static constexpr std::size_t kDefaultMaxKept = 64;
  static constexpr std::chrono::milliseconds kDefaultIdleLimit{2000};

  explicit PosixDirectorySearch(std::size_t maxKept = kDefaultMaxKept,
                                std::chrono::milliseconds idleLimit = kDefaultIdleLimit);
  ~PosixDirectorySearch() override;

  OpenResult OpenFolder(std::string_view path) override;
  void Release() override;

  // Descriptors kept open between calls.
  std::size_t keptCount() const;

 private:
  std::shared_ptr<KeptFolders> kept_;
};

}  // namespace vexaro::platform::posix

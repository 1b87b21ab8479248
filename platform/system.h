#pragma once
// The facilities the listing engine needs from one platform, and the factory
// for the real one (POSIX or Win32, chosen at build time).

#include <memory>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/volume.h"

namespace vexaro::platform {

// How paths and text lines are written on the platform.
struct Conventions {
  char separator = '/';             // folder separator, '\\' on Windows
  std::string_view lineEnd = "\n";  // "\r\n" on Windows
};

class System {
 public:
  virtual ~System() = default;
  virtual DirectorySearch& directories() = 0;
  virtual VolumeInfo& volumes() = 0;
  virtual DiskSpaceInfo& disks() = 0;
  virtual Clock& clock() = 0;
  virtual Regional& regional() = 0;
  virtual Conventions conventions() const = 0;
};

// The platform this program runs on.
std::unique_ptr<System> MakeHostSystem();

}  // namespace vexaro::platform

#pragma once
// Volume label and disk space of the drive (file system) that holds a folder.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexaro::platform {

class VolumeInfo {
 public:
  virtual ~VolumeInfo() = default;
  // The label of the volume that holds `path`; empty when it has none or
  // when it cannot be read (network share, no medium, no such folder).
  virtual std::string Label(std::string_view path) = 0;
};

struct DiskSpace {
  std::uint64_t available = 0;  // bytes the current user may still write
  std::uint64_t total = 0;      // capacity in bytes
};

class DiskSpaceInfo {
 public:
  virtual ~DiskSpaceInfo() = default;
  // Space of the drive or share that holds `path`; nullopt when its figures
  // cannot be had (drive not ready, share unreachable, no such folder).
  virtual std::optional<DiskSpace> Space(std::string_view path) = 0;
};

}  // namespace vexaro::platform

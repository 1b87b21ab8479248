#pragma once
// Volume label and disk space on Linux, for the POSIX implementation files
// and their tests.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/volume.h"

namespace vexaro::platform::posix {

// The label from the file system itself (ext4, btrfs, xfs and others answer
// without privileges), else from the links that udev keeps for labelled
// block devices in `labelFolder`.
class PosixVolumeInfo final : public VolumeInfo {
 public:
  explicit PosixVolumeInfo(std::string labelFolder = "/dev/disk/by-label");
  std::string Label(std::string_view path) override;

 private:
  std::string labelFolder_;
};

class PosixDiskSpaceInfo final : public DiskSpaceInfo {
 public:
  std::optional<DiskSpace> Space(std::string_view path) override;
};

// A label as udev writes it into a link name, with the bytes it escapes
// ('/', blanks, ...) as \xNN, decoded.
std::string DecodeLabelLinkName(std::string_view name);

// The decoded name of the link in `labelFolder` that leads to the block
// device `device`; empty when none does.
std::string LabelFromLinks(const std::string& labelFolder, std::uint64_t device);

}  // namespace vexaro::platform::posix

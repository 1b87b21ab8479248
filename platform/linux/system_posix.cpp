// The real platform on Linux.

#include "platform/linux/clock.h"
#include "platform/linux/directory_search.h"
#include "platform/linux/volume.h"
#include "platform/system.h"

namespace vexaro::platform {
namespace {

class PosixSystem final : public System {
 public:
  DirectorySearch& directories() override { return directories_; }
  VolumeInfo& volumes() override { return volumes_; }
  DiskSpaceInfo& disks() override { return disks_; }
  Clock& clock() override { return clock_; }
  Regional& regional() override { return regional_; }
  Conventions conventions() const override { return {'/', "\n"}; }

 private:
  posix::PosixDirectorySearch directories_;
  posix::PosixVolumeInfo volumes_;
  posix::PosixDiskSpaceInfo disks_;
  posix::PosixClock clock_;
  posix::PosixRegional regional_;
};

}  // namespace

std::unique_ptr<System> MakeHostSystem() { return std::make_unique<PosixSystem>(); }

}  // namespace vexaro::platform

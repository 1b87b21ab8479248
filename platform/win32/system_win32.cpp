#include "platform/win32/host_win32.h"
#include "platform/system.h"

namespace vexaro::platform {
namespace {

class HostSystem final : public System {
 public:
  DirectorySearch& directories() override { return directories_; }
  VolumeInfo& volumes() override { return volumes_; }
  DiskSpaceInfo& disks() override { return volumes_; }
  Clock& clock() override { return clock_; }
  Regional& regional() override { return regional_; }
  Conventions conventions() const override { return {'\\', "\r\n"}; }

 private:
  win32::Win32DirectorySearch directories_;
  win32::Win32Volumes volumes_;
  win32::Win32Clock clock_;
  win32::Win32Regional regional_;
};

}  // namespace

std::unique_ptr<System> MakeHostSystem() { return std::make_unique<HostSystem>(); }

}  // namespace vexaro::platform

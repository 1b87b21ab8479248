#include "platform/win32/windows_win32.h"

#include "platform/win32/convert_win32.h"
#include "platform/drive.h"
#include "platform/win32/host_win32.h"
#include "platform/text.h"

namespace vexaro::platform::win32 {

std::string Win32Volumes::Label(std::string_view path) {
  // Only a drive letter has a root to ask: a share, or a path without a
  // drive part, gives no label.
  const std::string drive = DriveName(path);
  if (drive.size() != 2) return {};
  const std::wstring root = Widen(drive) + L'\\';

  QuietCriticalErrors quiet;
  wchar_t label[MAX_PATH + 1] = {};
  if (!GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) return {};
  return Narrow(CutAtChar(std::wstring_view(label, MAX_PATH + 1), L'\0'));
}

std::optional<DiskSpace> Win32Volumes::Space(std::string_view path) {
  const std::string drive = DriveName(path);
  if (drive.empty()) return std::nullopt;
  // A share must be named with its trailing separator; for a drive the root
  // stands for the drive whatever its current folder.
  const std::wstring root = Widen(drive) + L'\\';

  QuietCriticalErrors quiet;
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  if (!GetDiskFreeSpaceExW(root.c_str(), &available, &total, nullptr)) return std::nullopt;
  return DiskSpace{available.QuadPart, total.QuadPart};
}

}  // namespace vexaro::platform::win32

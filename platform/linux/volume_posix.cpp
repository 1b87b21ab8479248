// Volume label and disk space on Linux.

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstring>
#include <memory>

#include "platform/linux/fd.h"
#include "platform/linux/volume.h"

namespace vexaro::platform::posix {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

std::string DecodeLabelLinkName(std::string_view name) {
  std::string label;
  label.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
      const int high = HexDigit(name[i + 2]);
      const int low = HexDigit(name[i + 3]);
      if (high >= 0 && low >= 0) {
        label.push_back(static_cast<char>(high * 16 + low));
        i += 3;
        continue;
      }
    }
    label.push_back(name[i]);
  }
  return label;
}

std::string LabelFromLinks(const std::string& labelFolder, std::uint64_t device) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(labelFolder.c_str()));
  if (!dir) return {};
  while (const dirent* entry = ::readdir(dir.get())) {
    if (entry->d_name[0] == '.') continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, 0) != 0) continue;
    if (S_ISBLK(st.st_mode) && static_cast<std::uint64_t>(st.st_rdev) == device) {
      return DecodeLabelLinkName(entry->d_name);
    }
  }
  return {};
}

PosixVolumeInfo::PosixVolumeInfo(std::string labelFolder) : labelFolder_(std::move(labelFolder)) {}

std::string PosixVolumeInfo::Label(std::string_view path) {
  std::error_code error;
  UniqueFd fd = OpenAnyLength(path, O_RDONLY | O_DIRECTORY, error);
  if (fd) {
    char label[FSLABEL_MAX + 1] = {};
    // A file system that answers is believed, an empty label included.
    if (::ioctl(fd.get(), FS_IOC_GETFSLABEL, label) == 0) return std::string(label, ::strnlen(label, FSLABEL_MAX));
  } else {
    // A folder that cannot be read still has a device.
    fd = OpenAnyLength(path, O_PATH, error);
    if (!fd) return {};
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return {};
  return LabelFromLinks(labelFolder_, static_cast<std::uint64_t>(st.st_dev));
}

std::optional<DiskSpace> PosixDiskSpaceInfo::Space(std::string_view path) {
  std::error_code error;
  const UniqueFd fd = OpenAnyLength(path, O_PATH, error);
  if (!fd) return std::nullopt;
  struct statvfs vfs {};
  if (::fstatvfs(fd.get(), &vfs) != 0) return std::nullopt;
  const std::uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  return DiskSpace{static_cast<std::uint64_t>(vfs.f_bavail) * unit, static_cast<std::uint64_t>(vfs.f_blocks) * unit};
}

}  // namespace vexaro::platform::posix

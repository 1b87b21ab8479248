#pragma once
// A folder tree on the real disk, removed after the test. Paths are UTF-8;
// folders end with a backslash.
#include "platform/win32/windows_win32.h"
#include <winioctl.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/win32/convert_win32.h"

namespace vexaro::testing {

class TempTree {
 public:
  TempTree() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    for (unsigned n = GetTickCount();; ++n) {
      root_ = platform::win32::Narrow(temp) + "vexaro-test-" + std::to_string(n) + "\\";
      if (CreateDirectoryW(Wide(root_).c_str(), nullptr)) break;
      if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create " + root_);
    }
  }
  ~TempTree() { Remove(root_); }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  std::string Path(std::string_view relative) const { return root_ + std::string(relative); }

  // The folder and its parents.
  std::string Folder(std::string_view relative) {
    const std::string path = Path(relative) + (relative.ends_with('\\') ? "" : "\\");
    for (auto at = path.find('\\', root_.size()); at != std::string::npos; at = path.find('\\', at + 1)) {
      CreateDirectoryW(Wide(path.substr(0, at)).c_str(), nullptr);
    }
    return path;
  }

  // A sparse file of `size` bytes, so that gigabytes take no room.
  std::string File(std::string_view relative, std::uint64_t size = 0, DWORD attributes = 0) {
    Folder(relative.substr(0, relative.rfind('\\') + 1));
    const std::string path = Path(relative);
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    SetFilePointerEx(file, LARGE_INTEGER{.QuadPart = static_cast<LONGLONG>(size)}, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    if (attributes != 0) SetFileAttributesW(Wide(path).c_str(), attributes);
    return path;
  }

  // A file (read-only too), or a folder (trailing backslash) with all it holds.
  static void Remove(const std::string& path) {
    const std::wstring wide = Wide(path);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!path.ends_with('\\')) {
      DeleteFileW(wide.c_str());
      return;
    }
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((wide + L'*').c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry)) {
      const std::string name = platform::win32::Narrow(entry.cFileName);
      if (name != "." && name != "..")
        Remove(path + name + (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? "\\" : ""));
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    RemoveDirectoryW(wide.substr(0, wide.size() - 1).c_str());
  }

 private:
  static std::wstring Wide(std::string_view path) { return platform::win32::ExtendedPath(path); }
  std::string root_;
};

}  // namespace vexaro::testing

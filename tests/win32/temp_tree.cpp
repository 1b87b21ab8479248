#include "tests/win32/temp_tree.h"

#include "platform/windows_win32.h"
#include <winioctl.h>

#include <atomic>
#include <stdexcept>

#include "platform/convert_win32.h"
#include "platform/host_win32.h"

namespace vexaro::testing {
namespace {

using platform::win32::ExtendedPath;
using platform::win32::Narrow;

FILETIME ToFileTime(platform::UtcTime time) {
  const std::uint64_t ticks = platform::win32::FileTimeFromUtc(time);
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

void Check(bool ok, std::string_view what, std::string_view path) {
  if (!ok) {
    throw std::runtime_error(std::string(what) + " failed for " + std::string(path) + ": " +
                             platform::win32::LastError().message());
  }
}

std::string ParentOf(std::string_view path) {
  const auto at = path.find_last_of('\\', path.size() - 2);
  return std::string(path.substr(0, at + 1));
}

bool RemoveExtended(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return DeleteFileW(path.c_str()) != 0;
  // A link is removed itself, never what it points to.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") RemoveExtended(path + L'\\' + name);
      } while (FindNextFileW(search, &data));
      FindClose(search);
    }
  }
  return RemoveDirectoryW(path.c_str()) != 0;
}

}  // namespace

TempTree::TempTree() {
  static std::atomic<int> counter{0};
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  root_ = Narrow(temp);
  if (root_.empty() || root_.back() != '\\') root_.push_back('\\');
  root_ += "vexaro-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
           std::to_string(counter++) + "\\";
  AddFolder("");
}

TempTree::~TempTree() { Remove(root_); }

std::string TempTree::AddFolder(std::string_view relative) {
  const std::string path = Path(relative) + (relative.empty() || relative.back() == '\\' ? "" : "\\");
  if (path != root_ && path.size() > root_.size()) AddFolder(ParentOf(path).substr(root_.size()));
  const std::wstring wide = ExtendedPath(path);
  if (!CreateDirectoryW(wide.c_str(), nullptr)) Check(GetLastError() == ERROR_ALREADY_EXISTS, "CreateDirectoryW", path);
  return path;
}

std::string TempTree::AddFile(std::string_view relative, std::uint64_t size, unsigned long attributes) {
  const std::string path = Path(relative);
  AddFolder(ParentOf(path).substr(root_.size()));
  const std::wstring wide = ExtendedPath(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  Check(file != INVALID_HANDLE_VALUE, "CreateFileW", path);
  bool ok = true;
  if (size > 0) {
    // Sparse where the file system allows it, so that a file of several
    // gigabytes takes no room.
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  }
  CloseHandle(file);
  Check(ok, "SetEndOfFile", path);
  if (attributes != 0) Check(SetFileAttributesW(wide.c_str(), attributes), "SetFileAttributesW", path);
  return path;
}

void TempTree::SetTimes(std::string_view path, platform::UtcTime creation, platform::UtcTime lastWrite,
                        platform::UtcTime lastAccess) {
  const std::wstring wide = ExtendedPath(path);
  HANDLE file = CreateFileW(wide.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  Check(file != INVALID_HANDLE_VALUE, "CreateFileW", path);
  const FILETIME c = ToFileTime(creation), w = ToFileTime(lastWrite), a = ToFileTime(lastAccess);
  const bool ok = SetFileTime(file, &c, &a, &w) != 0;
  CloseHandle(file);
  Check(ok, "SetFileTime", path);
}

bool TempTree::AddFolderLink(std::string_view relative, std::string_view target) {
  const std::wstring link = ExtendedPath(Path(relative));
  const std::wstring to = ExtendedPath(target);
  const DWORD flags = SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2;  // allow without elevation (developer mode)
  if (!CreateSymbolicLinkW(link.c_str(), to.c_str(), flags)) return false;
  const DWORD attributes = GetFileAttributesW(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool TempTree::Remove(std::string_view path) {
  std::wstring wide = ExtendedPath(path);
  while (!wide.empty() && wide.back() == L'\\') wide.pop_back();
  return RemoveExtended(wide);
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace vexaro::testing

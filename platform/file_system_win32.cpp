#include "platform/windows_win32.h"

#include "platform/convert_win32.h"
#include "platform/host_win32.h"
#include "platform/text.h"

namespace vexaro::platform::win32 {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
// 100-ns ticks from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochTicks = 116'444'736'000'000'000;

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A time of 0 is what file systems without that time (and some network
// servers) report: no time rather than 1601-01-01.
std::optional<UtcTime> TimeOf(const FILETIME& time) {
  const std::uint64_t ticks = Ticks(time);
  if (ticks == 0) return std::nullopt;
  return UtcFromFileTime(ticks);
}

FileStamp StampOf(DWORD sizeHigh, DWORD sizeLow, const FILETIME& creation, const FILETIME& lastWrite,
                  const FILETIME& lastAccess) {
  FileStamp stamp;
  stamp.size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
  stamp.creation = TimeOf(creation);
  stamp.lastWrite = TimeOf(lastWrite);
  stamp.lastAccess = TimeOf(lastAccess);
  return stamp;
}

// A reparse point that stands for another name (symbolic link, junction), or
// one whose tag the system leaves at 0 (Wine's links): following it could
// lead anywhere, back up the tree included.
bool IsLink(const WIN32_FIND_DATAW& data) {
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  const DWORD tag = data.dwReserved0;
  return tag == 0 || IsReparseTagNameSurrogate(tag);
}

class Win32Folder final : public Folder {
 public:
  // `path` is the \\?\ form with its trailing separator; `handle` the search
  // opened on it with its first record in `first`, or INVALID_HANDLE_VALUE
  // for a folder without entries.
  Win32Folder(std::wstring path, HANDLE handle, const WIN32_FIND_DATAW& first)
      : path_(std::move(path)), handle_(handle), data_(first), pending_(handle != INVALID_HANDLE_VALUE) {}

  ~Win32Folder() override {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }

  Win32Folder(const Win32Folder&) = delete;
  Win32Folder& operator=(const Win32Folder&) = delete;

  bool Next(DirEntry& entry) override {
    for (;;) {
      if (handle_ == INVALID_HANDLE_VALUE) return false;
      if (!pending_ && !FindNextFileW(handle_, &data_)) {
        const DWORD code = GetLastError();
        if (code != ERROR_NO_MORE_FILES) error_ = Win32Error(code);
        FindClose(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return false;
      }
      pending_ = false;
      const std::wstring_view name = CutAtChar(std::wstring_view(data_.cFileName, MAX_PATH), L'\0');
      if (name == L"." || name == L"..") continue;

      name_ = Narrow(name);
      entry.name = name_;
      const bool link = IsLink(data_);
      if (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        entry.kind = link ? EntryKind::LinkedFolder : EntryKind::Folder;
        entry.stamp.reset();
      } else {
        entry.kind = EntryKind::File;
        // The record of a link describes the link; Stat follows it.
        if (link) {
          entry.stamp.reset();
        } else {
          entry.stamp = StampOf(data_.nFileSizeHigh, data_.nFileSizeLow, data_.ftCreationTime,
                                data_.ftLastWriteTime, data_.ftLastAccessTime);
        }
      }
      return true;
    }
  }

  std::error_code error() const override { return error_; }

  std::optional<FolderId> id() const override { return std::nullopt; }

  std::optional<FileStamp> Stat(std::string_view name, StampFields wanted) override {
    (void)wanted;  // one call gives everything
    const std::wstring path = path_ + Widen(name);
    WIN32_FILE_ATTRIBUTE_DATA own{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &own)) return std::nullopt;
    if (own.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // Follow a link to the file it names; a dangling one gives its own.
      HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION target{};
        const bool ok = GetFileInformationByHandle(file, &target) != 0;
        CloseHandle(file);
        if (ok) {
          return StampOf(target.nFileSizeHigh, target.nFileSizeLow, target.ftCreationTime, target.ftLastWriteTime,
                         target.ftLastAccessTime);
        }
      }
    }
    return StampOf(own.nFileSizeHigh, own.nFileSizeLow, own.ftCreationTime, own.ftLastWriteTime,
                   own.ftLastAccessTime);
  }

 private:
  std::wstring path_;
  HANDLE handle_;
  WIN32_FIND_DATAW data_;
  bool pending_;  // data_ holds a record not yet handed out
  std::string name_;
  std::error_code error_;
};

}  // namespace

UtcTime UtcFromFileTime(std::uint64_t ticks) noexcept {
  // Unsigned until the count is whole seconds: every 64-bit count has its
  // moment, those from 2^63 on (which SYSTEMTIME cannot hold, and which a
  // file system or crafted image may still report) up to the year 60056.
  constexpr std::uint64_t kTicks = kTicksPerSecond;
  const auto seconds = static_cast<std::int64_t>(ticks / kTicks) - kUnixEpochTicks / kTicksPerSecond;
  return {seconds, static_cast<std::uint32_t>(ticks % kTicks * 100)};
}

std::uint64_t FileTimeFromUtc(UtcTime time) noexcept {
  constexpr std::int64_t kFirst = -kUnixEpochTicks / kTicksPerSecond;
  constexpr std::int64_t kLast = (INT64_MAX - kUnixEpochTicks) / kTicksPerSecond - 1;
  if (time.seconds < kFirst) return 0;
  if (time.seconds > kLast) return static_cast<std::uint64_t>(INT64_MAX);
  return static_cast<std::uint64_t>(time.seconds * kTicksPerSecond + kUnixEpochTicks + time.nanoseconds / 100);
}

OpenResult Win32DirectorySearch::OpenFolder(std::string_view path) {
  std::wstring folder = ExtendedPath(path);
  if (folder.empty() || folder.back() != L'\\') folder.push_back(L'\\');
  const std::wstring pattern = folder + L'*';

  QuietCriticalErrors quiet;
  WIN32_FIND_DATAW first{};
  HANDLE handle = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &first, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    // The root of an empty drive has not even "." and "..".
    const DWORD attributes = code == ERROR_FILE_NOT_FOUND ? GetFileAttributesW(folder.c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return {nullptr, Win32Error(code)};
    }
  }
  return {std::make_unique<Win32Folder>(std::move(folder), handle, first), {}};
}

}  // namespace vexaro::platform::win32

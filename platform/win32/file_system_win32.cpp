// Folder enumeration on Windows: every folder is an open handle. Its entries
// come from the handle itself (GetFileInformationByHandleEx), so the folder
// read is the very one that was opened, and subfolders are opened relative to
// it (NtCreateFile with the handle as root), never by a path that could lead
// through a link placed on the way.

#include "platform/win32/windows_win32.h"
#include <winternl.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/win32/convert_win32.h"
#include "platform/win32/host_win32.h"

namespace vexaro::platform::win32 {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
// 100-ns ticks from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochTicks = 116'444'736'000'000'000;

// Records of one folder read per call: large enough that a folder of a few
// hundred entries takes one call.
constexpr std::size_t kBufferSize = 64 * 1024;

constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Others may rename and delete what is open here: a listing must not get in
// the user's way.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A time of 0 is what file systems without that time (and some network
// servers) report: no time rather than 1601-01-01. Counts above INT64_MAX
// are invalid FILETIMEs; they are no time either.
std::optional<UtcTime> TimeOf(std::uint64_t ticks) {
  if (ticks == 0 || ticks > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
  return UtcFromFileTime(ticks);
}

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::uint64_t Ticks(const LARGE_INTEGER& time) { return static_cast<std::uint64_t>(time.QuadPart); }

FileStamp StampOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileStamp stamp;
  stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.creation = TimeOf(Ticks(info.ftCreationTime));
  return stamp;
}

FileStamp StampOf(const FILE_FULL_DIR_INFO& record) {
  FileStamp stamp;
  stamp.size = static_cast<std::uint64_t>(record.EndOfFile.QuadPart);
  stamp.creation = TimeOf(Ticks(record.CreationTime));
  return stamp;
}

// A reparse point that stands for another name (symbolic link, junction), or
// one whose tag the system leaves at 0 (Wine's links): following it could
// lead anywhere, back up the tree included.
bool IsLink(DWORD attributes, DWORD tag) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  return tag == 0 || IsReparseTagNameSurrogate(tag);
}

struct HandleCloser {
  using pointer = HANDLE;
  void operator()(HANDLE handle) const noexcept {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// The two native calls that the documented API lacks: an open relative to a
// folder handle, and the matching error code. Looked up at run time, so the
// programs import no DLL beyond the documented ones.
using NtCreateFileCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                          ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtStatusToErrorCall = ULONG(NTAPI*)(NTSTATUS);

struct Native {
  NtCreateFileCall createFile = nullptr;
  NtStatusToErrorCall toError = nullptr;
  // Wine opens the target of a Unix link even when asked for the link
  // itself, and the handle then shows no reparse point.
  bool wine = false;
};

template <typename Call>
Call Lookup(HMODULE module, const char* name) {
  // Through void(*)(), which any function pointer may be cast to and from.
  return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

const Native& NativeCalls() {
  static const Native native = [] {
    Native found;
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
      found.createFile = Lookup<NtCreateFileCall>(ntdll, "NtCreateFile");
      found.toError = Lookup<NtStatusToErrorCall>(ntdll, "RtlNtStatusToDosError");
      found.wine = GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }
    return found;
  }();
  return native;
}

// Opens `name` inside the folder `root`; `options` are NtCreateFile's.
// Returns a Win32 error code, 0 on success.
DWORD OpenRelative(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG options, UniqueHandle& opened) {
  const Native& native = NativeCalls();
  if (native.createFile == nullptr || native.toError == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  if (name.size() > 32767) return ERROR_FILENAME_EXCED_RANGE;
  UNICODE_STRING objectName;
  objectName.Buffer = const_cast<wchar_t*>(name.c_str());
  objectName.Length = objectName.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK status{};
  HANDLE handle = nullptr;
  const NTSTATUS result =
      native.createFile(&handle, access, &attributes, &status, nullptr, 0, kShareAll, FILE_OPEN,
                        options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT, nullptr, 0);
  if (result < 0) {
    const ULONG code = native.toError(result);
    return code != 0 ? code : ERROR_GEN_FAILURE;
  }
  opened.reset(handle);
  return 0;
}

// The handle's path below its volume (FileNameInfo), or empty on failure.
std::wstring NameOf(HANDLE handle) {
  std::unique_ptr<std::uint64_t[]> buffer;
  for (DWORD size = 1024; size <= 1 << 17; size *= 4) {
    buffer = std::make_unique<std::uint64_t[]>(size / sizeof(std::uint64_t));
    if (GetFileInformationByHandleEx(handle, FileNameInfo, buffer.get(), size)) {
      const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer.get());
      return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
    }
    if (GetLastError() != ERROR_MORE_DATA) break;
  }
  return {};
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// Whether `child`, opened as `name` inside `parent`, is that entry itself
// rather than what a link there points to. Only needed under Wine, where the
// handle of a Unix link is that of its target: the target's path then differs
// from the parent's path plus the name.
bool IsEntryItself(HANDLE parent, HANDLE child, std::wstring_view name) {
  std::wstring expected = NameOf(parent);
  if (expected.empty()) return false;
  if (expected.back() != L'\\') expected.push_back(L'\\');
  expected += name;
  return SameName(NameOf(child), expected);
}

// A name that stands for one entry of a folder: no separator, no "." or "..".
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/") == std::string_view::npos;
}

OpenResult Failure(DWORD code) { return {nullptr, Win32Error(code)}; }

class Win32Folder final : public Folder {
 public:
  Win32Folder(UniqueHandle handle, const FolderId& id) : handle_(std::move(handle)), id_(id) {}

  // Takes an open handle as a folder: refuses anything that is not a folder
  // and, unless `followed`, a link that was opened as itself.
  static OpenResult Adopt(UniqueHandle handle, bool followed) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.get(), &info)) return Failure(GetLastError());
    if (!followed && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      FILE_ATTRIBUTE_TAG_INFO tag{};
      if (!GetFileInformationByHandleEx(handle.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
        return Failure(GetLastError());
      }
      if (IsLink(tag.FileAttributes, tag.ReparseTag)) return Failure(ERROR_CANT_RESOLVE_FILENAME);
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Failure(ERROR_DIRECTORY);
    const FolderId id{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return {std::make_unique<Win32Folder>(std::move(handle), id), {}};
  }

  bool Next(DirEntry& entry) override {
    for (;;) {
      if (done_) return false;
      if (!pending_ && !Fill()) return false;
      const auto* record =
          reinterpret_cast<const FILE_FULL_DIR_INFO*>(reinterpret_cast<const unsigned char*>(buffer_.get()) + offset_);
      // A record must lie wholly inside what was read; a file system that
      // returns anything else is not trusted with the rest.
      constexpr std::size_t kHead = offsetof(FILE_FULL_DIR_INFO, FileName);
      if (kHead > kBufferSize - offset_ || record->FileNameLength > kBufferSize - offset_ - kHead) {
        return Finish(ERROR_INVALID_DATA);
      }
      if (record->NextEntryOffset == 0) {
        pending_ = false;
      } else if (record->NextEntryOffset % alignof(FILE_FULL_DIR_INFO) != 0 ||
                 record->NextEntryOffset >= kBufferSize - offset_) {
        return Finish(ERROR_INVALID_DATA);
      } else {
        offset_ += record->NextEntryOffset;
      }

      const std::wstring_view name(record->FileName, record->FileNameLength / sizeof(wchar_t));
      if (name == L"." || name == L"..") continue;
      name_ = Narrow(name);
      entry.name = name_;
      // With a reparse point, the record's EaSize field holds its tag.
      const bool link = IsLink(record->FileAttributes, record->EaSize);
      if (record->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        entry.kind = link ? EntryKind::LinkedFolder : EntryKind::Folder;
        entry.stamp.reset();
      } else {
        entry.kind = EntryKind::File;
        // The record of a link describes the link; Stat follows it.
        if (link) {
          entry.stamp.reset();
        } else {
          entry.stamp = StampOf(*record);
        }
      }
      return true;
    }
  }

  std::error_code error() const override { return error_; }

  std::optional<FolderId> id() const override { return id_; }

  std::optional<FileStamp> Stat(std::string_view name, StampFields wanted) override {
    (void)wanted;  // one call gives everything
    if (!IsPlainName(name)) return std::nullopt;
    const std::wstring wide = Widen(name);
    // Follow a link to the file it names; a dangling one gives its own.
    UniqueHandle file;
    if (OpenRelative(handle_.get(), wide, FILE_READ_ATTRIBUTES | SYNCHRONIZE, 0, file) != 0 &&
        OpenRelative(handle_.get(), wide, FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_OPEN_REPARSE_POINT, file) != 0) {
      return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    // A folder (or a link to one) swapped in since the enumeration: none of
    // its values belong on the file's line.
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return StampOf(info);
  }

  OpenResult OpenChild(std::string_view name) override {
    if (!IsPlainName(name)) return Failure(ERROR_INVALID_NAME);
    const std::wstring wide = Widen(name);
    UniqueHandle child;
    QuietCriticalErrors quiet;
    if (const DWORD code =
            OpenRelative(handle_.get(), wide, kFolderAccess, FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, child)) {
      return Failure(code);
    }
    if (NativeCalls().wine && !IsEntryItself(handle_.get(), child.get(), wide)) {
      return Failure(ERROR_CANT_RESOLVE_FILENAME);
    }
    return Adopt(std::move(child), false);
  }

  OpenResult OpenParent() override {
    // The folder's path as it is now, which is where it has been moved to if
    // it has; the parent is that path less its last component.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length = GetFinalPathNameByHandleW(handle_.get(), path.data(), static_cast<DWORD>(path.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      if (length == 0) return Failure(GetLastError());
      if (length < path.size()) {
        path.resize(length);
        break;
      }
      path.resize(length);
    }
    const std::size_t last = path.find_last_of(L'\\');
    // A root ("\\?\C:\") has no parent.
    if (last == std::wstring::npos || last + 1 == path.size()) return Failure(ERROR_PATH_NOT_FOUND);
    path.resize(last + 1);
    QuietCriticalErrors quiet;
    // Links followed: the path is the resolved one, so the only reparse
    // points on it are mount points; whatever has taken the parent's place
    // since shows in its id.
    UniqueHandle parent(CreateFileW(path.c_str(), kFolderAccess, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (parent.get() == INVALID_HANDLE_VALUE) return Failure(GetLastError());
    return Adopt(std::move(parent), true);
  }

 private:
  // Reads the next records into the buffer; false at the end or on failure.
  bool Fill() {
    if (!buffer_) buffer_ = std::make_unique<std::uint64_t[]>(kBufferSize / sizeof(std::uint64_t));
    if (!GetFileInformationByHandleEx(handle_.get(), FileFullDirectoryInfo, buffer_.get(), kBufferSize)) {
      const DWORD code = GetLastError();
      // The root of an empty drive has not even "." and "..".
      const bool end = code == ERROR_NO_MORE_FILES || (code == ERROR_FILE_NOT_FOUND && !readAny_);
      return Finish(end ? 0 : code);
    }
    readAny_ = true;
    pending_ = true;
    offset_ = 0;
    return true;
  }

  bool Finish(DWORD code) {
    if (code != 0) error_ = Win32Error(code);
    done_ = true;
    pending_ = false;
    buffer_.reset();
    return false;
  }

  // Read by OpenChild, OpenParent and Stat on any thread, never changed.
  const UniqueHandle handle_;
  const FolderId id_;
  // Next's own.
  std::unique_ptr<std::uint64_t[]> buffer_;  // 8-byte aligned, as the records are
  std::size_t offset_ = 0;                   // of the next record in buffer_
  bool pending_ = false;                     // buffer_ holds records not yet handed out
  bool readAny_ = false;
  bool done_ = false;
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
  // The trailing separator keeps a drive's root from naming the drive itself.
  if (folder.empty() || folder.back() != L'\\') folder.push_back(L'\\');

  QuietCriticalErrors quiet;
  UniqueHandle handle(CreateFileW(folder.c_str(), kFolderAccess, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (handle.get() == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    // A file's name with a separator after it is refused as a bad name; the
    // user is better told that it is no folder.
    if (code == ERROR_INVALID_NAME && folder.size() > 1) {
      const std::wstring withoutSeparator = folder.substr(0, folder.size() - 1);
      const DWORD attributes = GetFileAttributesW(withoutSeparator.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        code = ERROR_DIRECTORY;
      }
    }
    return Failure(code);
  }
  return Win32Folder::Adopt(std::move(handle), true);
}

}  // namespace vexaro::platform::win32

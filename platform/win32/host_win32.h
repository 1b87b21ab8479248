#pragma once
// The Win32 implementations of the interfaces the listing engine uses, for
// MakeHostSystem and for the tests that run them on a real disk. Portable
// types only; the Win32 headers stay in the .cpp files.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/volume.h"

namespace vexaro::platform::win32 {

// Directory search on folder handles. A start folder is opened by the long
// path form (no length limit), links followed; every folder below it is
// opened relative to its parent's handle and as itself, never through a link.
// Entries, with their size and times, are read from the folder's handle, so
// the folder read is always the one opened. Symbolic links and junctions to
// folders are reported as LinkedFolder, as is any folder reparse point whose
// kind the system does not tell (Wine reports its links that way); other
// reparse points (cloud placeholders, deduplicated folders) are ordinary
// folders. A folder's id is its volume serial number and file index.
class Win32DirectorySearch final : public DirectorySearch {
 public:
  OpenResult OpenFolder(std::string_view path) override;
};

// Volume label through GetVolumeInformationW on the drive's root (drive
// letters only: a share gives no label); space through GetDiskFreeSpaceExW
// on the drive or share that DriveName() names.
class Win32Volumes final : public VolumeInfo, public DiskSpaceInfo {
 public:
  std::string Label(std::string_view path) override;
  std::optional<DiskSpace> Space(std::string_view path) override;
};

// The system clock and the local time zone. The zone is read again at each
// Now() (once per listing); the offset for a moment follows the rules of that
// moment's year (dynamic daylight-saving rules), not today's bias.
class Win32Clock final : public Clock {
 public:
  Win32Clock();
  ~Win32Clock() override;
  Win32Clock(const Win32Clock&) = delete;
  Win32Clock& operator=(const Win32Clock&) = delete;

  UtcTime Now() override;
  std::int32_t UtcOffsetAt(std::int64_t utcSeconds) override;

 private:
  struct Zone;
  std::unique_ptr<Zone> zone_;
};

// Regional formats of a locale; empty `localeName` means the user's own
// settings, customisations included. Falls back to 2026/12/06 9:05:00 and
// "/", ":", "." where the locale gives nothing.
class Win32Regional final : public Regional {
 public:
  explicit Win32Regional(std::string_view localeName = {});
  std::string DateTimeText(const LocalDateTime& when) override;
  std::string DateSeparator() override;
  std::string TimeSeparator() override;
  std::string DecimalSeparator() override;

 private:
  std::string Info(unsigned long type, std::string_view fallback) const;
  const wchar_t* locale() const { return locale_.empty() ? nullptr : locale_.c_str(); }
  std::wstring locale_;
};

// FILETIME counts (100 ns since 1601-01-01 UTC) and UtcTime.
UtcTime UtcFromFileTime(std::uint64_t ticks) noexcept;
std::uint64_t FileTimeFromUtc(UtcTime time) noexcept;

}  // namespace vexaro::platform::win32

#pragma once
// Helpers shared by the Win32 implementation files only: the two text
// conversions, the one mapping of Win32 error codes, and path forms. UTF-16
// never leaves the *_win32 files.

#include <string>
#include <string_view>
#include <system_error>

namespace vexaro::platform::win32 {

// UTF-8 to UTF-16. Each broken sequence (the longest beginning of one that
// could still have become valid, at least a byte) becomes one U+FFFD; the
// three-byte form of a lone surrogate (which Narrow writes) becomes that
// surrogate again, so that every name NTFS can hold survives the round trip.
// (The forms of a high and a low surrogate in a row make a pair, which
// Narrow then writes as the one four-byte character.)
std::wstring Widen(std::string_view utf8);

// UTF-16 to UTF-8. A lone surrogate is written in its three-byte form rather
// than dropped: a file whose name holds one can still be found by its name.
std::string Narrow(std::wstring_view utf16);

// A Win32 error code (GetLastError) as an error code whose message is the
// system's text and which compares equal to the matching std::errc.
const std::error_category& Win32Category() noexcept;
std::error_code Win32Error(unsigned long code) noexcept;
std::error_code LastError() noexcept;

// The path in the form that lifts the length limit: \\?\C:\... or
// \\?\UNC\server\share\...; forward slashes become backslashes, a relative
// path or one with "." or ".." components is made absolute first. A path
// already in \\?\ form is left alone. A trailing separator is kept.
std::wstring ExtendedPath(std::string_view utf8);

// Keeps the system from asking the user to insert a disk while a drive
// without a medium is searched or queried; restores the mode on exit.
class QuietCriticalErrors {
 public:
  QuietCriticalErrors();
  ~QuietCriticalErrors();
  QuietCriticalErrors(const QuietCriticalErrors&) = delete;
  QuietCriticalErrors& operator=(const QuietCriticalErrors&) = delete;

 private:
  unsigned long previous_ = 0;
  bool restore_ = false;
};

}  // namespace vexaro::platform::win32

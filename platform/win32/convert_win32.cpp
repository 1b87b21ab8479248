#include "platform/win32/convert_win32.h"

#include "platform/utf8.h"
#include "platform/win32/windows_win32.h"

namespace vexaro::platform::win32 {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool StartsWith(std::wstring_view text, std::wstring_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// A component "." or "..", or an empty one inside the path: the \\?\ form
// would take these literally, so such a path is normalised first.
bool NeedsNormalising(std::wstring_view path) {
  std::size_t start = 0;
  if (StartsWith(path, L"\\\\")) start = 2;  // the two separators of a share name
  while (start <= path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    const std::wstring_view part = path.substr(start, end - start);
    if (part == L"." || part == L"..") return true;
    if (part.empty() && end != path.size()) return true;
    start = end + 1;
  }
  return false;
}

std::wstring FullPath(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  while (size != 0) {
    std::wstring full(size, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (written == 0) break;
    if (written < size) {
      full.resize(written);
      return full;
    }
    size = written;  // the current folder changed in between; try again
  }
  return path;
}

class Win32ErrorCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "win32"; }

  std::string message(int code) const override {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr) text = Narrow(std::wstring_view(buffer, length));
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    if (text.empty()) text = "Win32 error " + std::to_string(static_cast<unsigned long>(code));
    return text;
  }

  std::error_condition default_error_condition(int code) const noexcept override {
    switch (static_cast<DWORD>(code)) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_INVALID_DRIVE:
      case ERROR_BAD_NETPATH:
      case ERROR_BAD_NET_NAME:
        return std::errc::no_such_file_or_directory;
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION:
      case ERROR_LOCK_VIOLATION:
        return std::errc::permission_denied;
      case ERROR_DIRECTORY:
        return std::errc::not_a_directory;
      case ERROR_FILENAME_EXCED_RANGE:
        return std::errc::filename_too_long;
      case ERROR_INVALID_NAME:
      case ERROR_INVALID_PARAMETER:
        return std::errc::invalid_argument;
      case ERROR_NOT_READY:
        return std::errc::no_such_device;
      case ERROR_NOT_ENOUGH_MEMORY:
      case ERROR_OUTOFMEMORY:
        return std::errc::not_enough_memory;
      case ERROR_TOO_MANY_OPEN_FILES:
        return std::errc::too_many_files_open;
      case ERROR_DISK_FULL:
      case ERROR_HANDLE_DISK_FULL:
        return std::errc::no_space_on_device;
      case ERROR_CANT_RESOLVE_FILENAME:
        return std::errc::too_many_symbolic_link_levels;
      case ERROR_NOT_SUPPORTED:
      case ERROR_CALL_NOT_IMPLEMENTED:
        return std::errc::not_supported;
      case ERROR_OPERATION_ABORTED:
        return std::errc::operation_canceled;
      case ERROR_SEM_TIMEOUT:
        return std::errc::timed_out;
      case ERROR_BROKEN_PIPE:
      case ERROR_NO_DATA:
        return std::errc::broken_pipe;
      default:
        return {code, *this};
    }
  }
};

}  // namespace

std::wstring Widen(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const utf8::Scalar scalar = utf8::Decode(utf8, i);
    i += scalar.length;
    if (!scalar.valid && !scalar.surrogate) {
      out.push_back(kReplacement);  // one for each broken sequence
    } else if (scalar.Utf16Units() == 2) {
      const char32_t code = scalar.value - 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(scalar.value));
    }
  }
  return out;
}

std::string Narrow(std::wstring_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t code = static_cast<char16_t>(utf16[i]);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size()) {
      const char32_t low = static_cast<char16_t>(utf16[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    utf8::Append(out, code);  // a lone surrogate in its three-byte form
  }
  return out;
}

const std::error_category& Win32Category() noexcept {
  static const Win32ErrorCategory category;
  return category;
}

std::error_code Win32Error(unsigned long code) noexcept { return {static_cast<int>(code), Win32Category()}; }

std::error_code LastError() noexcept { return Win32Error(GetLastError()); }

std::wstring ExtendedPath(std::string_view utf8) {
  std::wstring path = Widen(utf8);
  if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\")) return path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  const bool drive = path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && path[2] == L'\\';
  const bool share = StartsWith(path, L"\\\\");
  if ((!drive && !share) || NeedsNormalising(path)) path = FullPath(path);

  if (StartsWith(path, L"\\\\?\\")) return path;
  if (StartsWith(path, L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':') return L"\\\\?\\" + path;
  return path;
}

QuietCriticalErrors::QuietCriticalErrors() {
  DWORD previous = 0;
  restore_ = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous) != 0;
  previous_ = previous;
}

QuietCriticalErrors::~QuietCriticalErrors() {
  if (restore_) SetThreadErrorMode(previous_, nullptr);
}

}  // namespace vexaro::platform::win32

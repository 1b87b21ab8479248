#include <algorithm>
#include <string>

#include "cli/buffered_output.h"
#include "platform/win32/convert_win32.h"
#include "platform/win32/windows_win32.h"

namespace vexaro::cli {
namespace {

using platform::win32::LastError;

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// A console takes UTF-16, whole characters, at once; a file or pipe the
// UTF-8 bytes themselves.
class Win32Output final : public BufferedOutput {
 public:
  Win32Output(HANDLE handle, bool owned) : BufferedOutput(IsConsole(handle)), handle_(handle), owned_(owned) {}
  ~Win32Output() override { (void)Close(); }

  Win32Output(const Win32Output&) = delete;
  Win32Output& operator=(const Win32Output&) = delete;

 private:
  std::error_code WriteThrough(std::string_view bytes) override {
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) return platform::win32::Win32Error(ERROR_INVALID_HANDLE);
    return IsTerminal() ? WriteToConsole(bytes) : WriteToFile(bytes);
  }

  std::error_code ReleaseHandle() override {
    if (owned_ && !CloseHandle(handle_)) return LastError();
    return {};
  }

  std::error_code WriteToFile(std::string_view bytes) {
    while (!bytes.empty()) {
      const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
      DWORD written = 0;
      if (!WriteFile(handle_, bytes.data(), size, &written, nullptr)) {
        // A pipe whose reader has gone: Windows says ERROR_NO_DATA, which
        // compares equal to broken_pipe already, Wine ERROR_PIPE_NOT_CONNECTED.
        const DWORD code = GetLastError();
        if (code == ERROR_PIPE_NOT_CONNECTED) return std::make_error_code(std::errc::broken_pipe);
        return platform::win32::Win32Error(code);
      }
      if (written == 0) return std::make_error_code(std::errc::io_error);
      bytes.remove_prefix(written);
    }
    return {};
  }

  // A broken sequence at the very end (only at Flush or Close) is replaced.
  std::error_code WriteToConsole(std::string_view utf8) {
    const std::wstring text = platform::win32::Widen(utf8);
    std::wstring_view rest = text;
    while (!rest.empty()) {
      const auto size = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 8192));
      DWORD written = 0;
      if (!WriteConsoleW(handle_, rest.data(), size, &written, nullptr)) return LastError();
      if (written == 0) return std::make_error_code(std::errc::io_error);
      rest.remove_prefix(written);
    }
    return {};
  }

  HANDLE handle_;
  bool owned_;
};

}  // namespace

std::unique_ptr<OutputStream> OpenStandardOutput() {
  return std::make_unique<Win32Output>(GetStdHandle(STD_OUTPUT_HANDLE), false);
}

OutputResult CreateOutputFile(std::string_view path) {
  const std::wstring name = platform::win32::ExtendedPath(path);
  HANDLE file =
      CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {nullptr, LastError()};
  return {std::make_unique<Win32Output>(file, true), {}};
}

}  // namespace vexaro::cli

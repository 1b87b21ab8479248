#include <algorithm>
#include <atomic>
#include <csignal>
#include <string>

#include "cli/console.h"
#include "platform/win32/convert_win32.h"
#include "platform/win32/windows_win32.h"

namespace vexaro::cli {
namespace {

using platform::win32::Widen;

constexpr std::wstring_view kEraseToEnd = L"\x1b[K";

// The console calls its control handler on a thread of its own, with no way
// to pass an object along: this one flag has to live outside any object.
std::atomic<int> stopRequested{0};

// Keeps the first request.
void RequestStop(int signal) {
  int none = 0;
  stopRequested.compare_exchange_strong(none, signal);
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      // The first request only sets the flag; a second one gets the default
      // handling, which ends the process, for a listing stuck in a slow read.
      if (stopRequested != 0) return FALSE;
      RequestStop(SIGINT);
      return TRUE;
    default:
      // Closing the window, logging off, shutting down: the system ends the
      // process whatever the handler says.
      RequestStop(SIGTERM);
      return FALSE;
  }
}

// Text for a redirected standard error: UTF-8 with the system's CR LF.
std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
    out.push_back(text[i]);
  }
  return out;
}

class Win32Console final : public Console {
 public:
  Win32Console() : handle_(GetStdHandle(STD_ERROR_HANDLE)) {
    stopRequested = 0;
    DWORD mode = 0;
    terminal_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode) != 0;
    // A program started in a new process group has Ctrl-C switched off.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  }

  ~Win32Console() override { SetConsoleCtrlHandler(OnConsoleEvent, FALSE); }

  Win32Console(const Win32Console&) = delete;
  Win32Console& operator=(const Win32Console&) = delete;

  bool IsTerminal() const override { return terminal_; }

  std::optional<int> Columns() const override {
    if (!terminal_) return std::nullopt;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(handle_, &info)) return std::nullopt;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? std::optional<int>(columns) : std::nullopt;
  }

  void Write(std::string_view utf8) override {
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) return;
    if (!terminal_) {
      const std::string bytes = WithCrLf(utf8);
      std::string_view rest = bytes;
      while (!rest.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle_, rest.data(), static_cast<DWORD>(rest.size()), &written, nullptr) || written == 0) {
          return;
        }
        rest.remove_prefix(written);
      }
      return;
    }
    // The progress line's erase sequence "\x1b[K" is carried out here rather
    // than left to the console: consoles before Windows 10 print it, and so
    // does Wine's even after accepting the mode that should take it.
    const std::wstring text = Widen(utf8);
    std::wstring_view rest = text;
    for (;;) {
      const std::size_t at = rest.find(kEraseToEnd);
      Put(rest.substr(0, at));
      if (at == std::wstring_view::npos) return;
      EraseToEndOfLine();
      rest.remove_prefix(at + kEraseToEnd.size());
    }
  }

  int StopSignal() const override { return stopRequested; }

 private:
  void Put(std::wstring_view text) {
    // In pieces: older consoles refuse very large writes.
    constexpr std::size_t kPiece = 8192;
    while (!text.empty()) {
      const auto size = static_cast<DWORD>(std::min(text.size(), kPiece));
      DWORD written = 0;
      if (!WriteConsoleW(handle_, text.data(), size, &written, nullptr) || written == 0) return;
      text.remove_prefix(written);
    }
  }

  void EraseToEndOfLine() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(handle_, &info)) return;
    const DWORD count = static_cast<DWORD>(info.dwSize.X - info.dwCursorPosition.X);
    DWORD done = 0;
    FillConsoleOutputCharacterW(handle_, L' ', count, info.dwCursorPosition, &done);
    FillConsoleOutputAttribute(handle_, info.wAttributes, count, info.dwCursorPosition, &done);
  }

  HANDLE handle_;
  bool terminal_ = false;
};

}  // namespace

bool OpenMissingStandardStreams() {
  bool outputClosed = false;
  for (const DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    // None at all (0) is safe: no file gets that value. A value that names
    // no open handle any more is not, as the next file may get it.
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) continue;
    SetLastError(NO_ERROR);
    if (GetFileType(handle) != FILE_TYPE_UNKNOWN || GetLastError() != ERROR_INVALID_HANDLE) continue;
    if (which == STD_OUTPUT_HANDLE) outputClosed = true;
    const HANDLE null = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    // Kept open for the life of the process, as a standard handle is.
    SetStdHandle(which, null != INVALID_HANDLE_VALUE ? null : nullptr);
  }
  return outputClosed;
}

std::unique_ptr<Console> OpenConsole() { return std::make_unique<Win32Console>(); }

}  // namespace vexaro::cli

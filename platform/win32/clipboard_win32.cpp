#include <chrono>
#include <cstring>
#include <thread>

#include "platform/win32/convert_win32.h"
#include "platform/win32/win32_facilities.h"
#include "platform/win32/windows_win32.h"

namespace vexaro::platform::win32 {

std::error_code Win32Clipboard::Open() {
  // Another program (a clipboard viewer, a history tool) may hold the
  // clipboard open for a moment; such holds are short.
  const auto deadline = std::chrono::steady_clock::now() + patience_;
  for (;;) {
    if (OpenClipboard(owner_)) return {};
    std::error_code error = LastError();
    if (!error) error = Win32Error(ERROR_ACCESS_DENIED);
    if (std::chrono::steady_clock::now() >= deadline) return error;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::error_code Win32Clipboard::Clear() {
  if (const std::error_code error = Open()) return error;
  const std::error_code result = EmptyClipboard() ? std::error_code() : LastError();
  CloseClipboard();
  return result;
}

std::error_code Win32Clipboard::SetText(std::string_view text) {
  const std::wstring wide = Widen(text);
  const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return LastError();
  void* target = GlobalLock(memory);
  if (target == nullptr) {
    const std::error_code error = LastError();
    GlobalFree(memory);
    return error;
  }
  std::memcpy(target, wide.c_str(), bytes);
  GlobalUnlock(memory);

  if (const std::error_code error = Open()) {
    GlobalFree(memory);
    return error;
  }
  std::error_code result;
  if (!EmptyClipboard()) {
    result = LastError();
  } else if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
    result = LastError();
  } else {
    memory = nullptr;  // the clipboard owns it now
  }
  CloseClipboard();
  if (memory != nullptr) GlobalFree(memory);
  return result;
}

}  // namespace vexaro::platform::win32

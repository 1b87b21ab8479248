// The system clipboard, also while another program holds it open.
#include "platform/win32/windows_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>

#include "platform/win32/convert_win32.h"
#include "platform/win32/win32_facilities.h"

namespace vexaro::platform::win32 {
namespace {

using namespace std::chrono_literals;

std::wstring ClipboardText() {
  std::wstring text = L"<nothing>";
  if (!OpenClipboard(nullptr)) return L"<cannot open>";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

TEST(Win32Clipboard, TextArrivesWholeAndAnotherHoldersLongHoldIsAFailure) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(owner);
  const std::string listing = "\r\n        1536 : \xE6\x97\xA5\xE6\x9C\xAC \xED\x95\x9C \xF0\x9F\x98\x80.txt\r\n";
  // Another program's hold for a moment is waited out; a longer one is reported, and what was there stays.
  for (const auto& [hold, patience, placed] : {std::tuple{100ms, 2000ms, true}, {800ms, 50ms, false}}) {
    ASSERT_FALSE(Win32Clipboard(owner).SetText("before"));
    std::atomic<bool> held{false};
    std::jthread holder([&] {
      const bool opened = OpenClipboard(nullptr) != 0;
      held = true;
      std::this_thread::sleep_for(hold);
      if (opened) CloseClipboard();
    });
    while (!held) std::this_thread::sleep_for(1ms);
    const std::error_code error = Win32Clipboard(owner, patience).SetText(listing);
    holder.join();
    EXPECT_EQ(!error, placed) << hold.count() << " ms: " << error.message();
    EXPECT_EQ(ClipboardText(), placed ? Widen(listing) : L"before") << hold.count() << " ms";
  }
  DestroyWindow(owner);
}

}  // namespace
}  // namespace vexaro::platform::win32

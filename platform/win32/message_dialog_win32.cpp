#include "platform/win32/convert_win32.h"
#include "platform/win32/win32_facilities.h"
#include "platform/win32/windows_win32.h"

namespace vexaro::platform::win32 {

void Win32MessageDialog::ShowInformation(std::string_view text, std::string_view title) {
  MessageBoxW(owner_, Widen(text).c_str(), Widen(title).c_str(), MB_OK | MB_ICONINFORMATION);
}

}  // namespace vexaro::platform::win32

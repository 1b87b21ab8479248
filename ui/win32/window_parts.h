#pragma once
// What the parts of the Win32 window share: the window styles, the page
// class, and the resolution and text measuring helpers.

#include <string>
#include <string_view>

#include "platform/win32/windows_win32.h"

namespace vexaro::ui::win32::detail {

inline constexpr wchar_t kPageClass[] = L"VexaroPage";
inline constexpr COLORREF kListBackground = RGB(224, 224, 224);
inline constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
inline constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

// Functions of Windows 10 (1607 on); null on older systems, which get the
// system-wide resolution instead.
struct DpiFunctions {
  UINT(WINAPI* forWindow)(HWND) = nullptr;
  BOOL(WINAPI* adjustRect)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;
};
const DpiFunctions& Dpi();
// The resolution `hwnd` is shown at.
int DpiOf(HWND hwnd);

// The extent of `text` in `font`, at least one line high.
SIZE TextExtent(HWND control, HFONT font, std::wstring_view text);
std::wstring WindowText(HWND hwnd);

}  // namespace vexaro::ui::win32::detail

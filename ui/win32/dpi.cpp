#include "ui/win32/main_window.h"

#include <cstring>

#include "ui/win32/window_parts.h"

namespace vexaro::ui::win32 {
namespace detail {
namespace {

template <class Function>
Function Load(const wchar_t* module, const char* name) {
  Function function = nullptr;
  if (HMODULE handle = GetModuleHandleW(module)) {
    const FARPROC found = GetProcAddress(handle, name);
    static_assert(sizeof function == sizeof found);
    std::memcpy(&function, &found, sizeof function);
  }
  return function;
}

}  // namespace

const DpiFunctions& Dpi() {
  static const DpiFunctions functions{
      Load<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow"),
      Load<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>(L"user32.dll", "AdjustWindowRectExForDpi"),
  };
  return functions;
}

int DpiOf(HWND hwnd) {
  if (Dpi().forWindow) {
    if (const UINT dpi = Dpi().forWindow(hwnd)) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(hwnd);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(hwnd, dc);
  return dpi > 0 ? dpi : 96;
}

}  // namespace detail

void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
  // Moved to a screen of another resolution: everything is laid out again
  // at it, in the rectangle the system suggests.
  dpi_ = dpi;
  CreateFonts();
  Layout();
  UpdateListExtent();
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace vexaro::ui::win32

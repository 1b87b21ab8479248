#include "ui/win32/main_window.h"

#include <algorithm>

#include "platform/win32/convert_win32.h"
#include "ui/win32/window_parts.h"

namespace vexaro::ui::win32 {
namespace detail {

SIZE TextExtent(HWND control, HFONT font, std::wstring_view text) {
  HDC dc = GetDC(control);
  const HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  if (!text.empty()) GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  size.cy = std::max<LONG>(size.cy, metrics.tmHeight);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size;
}

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace detail

using namespace detail;
using platform::win32::Widen;

RECT MainWindow::Pixels(const Twips& box) const {
  const int left = TwipsToPixels(box.left, dpi_);
  const int top = TwipsToPixels(box.top, dpi_);
  return {left, top, left + TwipsToPixels(box.width, dpi_), top + TwipsToPixels(box.height, dpi_)};
}

void MainWindow::Layout() {
  // Every control at its box, the check boxes and option buttons too: the
  // button draws its mark and caption inside its client area.
  for (const ControlLayout& row : kLayout) {
    const RECT box = Pixels(row.box);
    SetWindowPos(control(row.id), nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  FitLabel(kLabel2);
  FitLabel(kLabel3);
}

LRESULT MainWindow::OnCustomDraw(const NMCUSTOMDRAW& draw) const {
  const ControlLayout* row = FindLayout(static_cast<ControlId>(draw.hdr.idFrom));
  if (row == nullptr || control(row->id) != draw.hdr.hwndFrom) return CDRF_DODEFAULT;
  if (row->id == Control::Command5) return DrawWrappedCaption(draw);
  if (draw.dwDrawStage != CDDS_PREERASE) return CDRF_DODEFAULT;
  // Where a later control's box shares part of this one's (the option
  // buttons share the empty end of the first), the later one is drawn
  // there. A button paints within its parent's clipping, not its own, so
  // the shared part is taken out of it here.
  const RECT box = Pixels(row->box);
  for (const ControlLayout* later = row + 1; later != kLayout.data() + kLayout.size(); ++later) {
    RECT both{};
    const RECT other = Pixels(later->box);
    if (later->container != row->container || later->kind == Kind::Page || !IntersectRect(&both, &box, &other)) {
      continue;
    }
    ExcludeClipRect(draw.hdc, both.left - box.left, both.top - box.top, both.right - box.left, both.bottom - box.top);
  }
  return CDRF_DODEFAULT;
}

void MainWindow::FitLabel(ControlId id) {
  const RECT laid = Pixels(FindLayout(id)->box);
  const int centre = (laid.left + laid.right) / 2;
  HWND label = control(id);
  const HFONT font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
  const SIZE text = TextExtent(label, font, WindowText(label));
  SetWindowPos(label, nullptr, centre - text.cx / 2, laid.top, text.cx, text.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::Centre() {
  RECT outer = Pixels(kClientArea);
  if (Dpi().adjustRect) {
    Dpi().adjustRect(&outer, kWindowStyle, FALSE, kWindowExStyle, static_cast<UINT>(dpi_));
  } else {
    AdjustWindowRectEx(&outer, kWindowStyle, FALSE, kWindowExStyle);
  }
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::UpdateListExtent() {
  // Paths are often wider than the list: it scrolls sideways to the end of
  // the widest.
  HWND list = control(kList1);
  LONG widest = 0;
  for (int row = 0; row < RowCount(); ++row) {
    widest = std::max(widest, TextExtent(list, windowFont_, Widen(RowText(row))).cx);
  }
  SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest > 0 ? widest + TwipsToPixels(90, dpi_) : 0), 0);
}

}  // namespace vexaro::ui::win32

#include "ui/win32/main_window.h"

#include <algorithm>
#include <cwchar>

#include "platform/win32/convert_win32.h"

namespace vexaro::ui::win32 {
namespace {

// `Label2`'s own font: 10.5 points, bold, Shift-JIS.
constexpr wchar_t kStatusFace[] = L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF";  // ＭＳ Ｐゴシック
constexpr int kStatusTenths = 105;
// The window's own font: the system's message face at 9 points, the size
// the layout's boxes were drawn for.
constexpr int kWindowTenths = 90;

}  // namespace

void MainWindow::CreateFonts() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW window{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    window = metrics.lfMessageFont;
  } else {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof window, &window);
  }
  window.lfHeight = FontHeight(kWindowTenths, dpi_);
  window.lfWidth = 0;

  LOGFONTW status{};
  status.lfHeight = FontHeight(kStatusTenths, dpi_);
  status.lfWeight = FW_BOLD;
  status.lfCharSet = SHIFTJIS_CHARSET;
  status.lfOutPrecision = OUT_DEFAULT_PRECIS;
  status.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  status.lfQuality = DEFAULT_QUALITY;
  status.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  wcsncpy(status.lfFaceName, kStatusFace, LF_FACESIZE - 1);

  const HFONT old[] = {windowFont_, statusFont_, deleteFont_};
  windowFont_ = CreateFontIndirectW(&window);
  statusFont_ = CreateFontIndirectW(&status);
  deleteFont_ = FitCaption(window, *FindLayout(kCommand5));
  for (const ControlLayout& row : kLayout) {
    if (HWND handle = control(row.id))
      SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(IdOf(row.id))), TRUE);
  }
  for (HFONT font : old) {
    if (font) DeleteObject(font);
  }
}

HFONT MainWindow::FontOf(ControlId id) const {
  switch (id) {
    case kLabel2:
      return statusFont_;
    case kCommand5:
      return deleteFont_;
    default:
      return windowFont_;
  }
}

HFONT MainWindow::FitCaption(LOGFONTW face, const ControlLayout& button) const {
  // "Delete Selected" stands on two lines in a box drawn for a smaller face
  // than the window's: it gets the window's face at the largest size, no
  // larger than the window's, whose wrapped caption fits inside the
  // button's border (2 pixels at 96 dots per inch; a visual style draws it
  // larger at higher resolutions).
  const RECT box = Pixels(button.box);
  const int border = TwipsToPixels(30, dpi_);
  const int width = box.right - box.left - 2 * border;
  const int height = box.bottom - box.top - 2 * border;
  HDC dc = GetDC(hwnd_);
  HFONT font = nullptr;
  // Down to 6 points, still legible; that is taken when none fits.
  const int smallest = std::min<int>(-face.lfHeight, -FontHeight(60, dpi_));
  for (int size = -face.lfHeight; size >= smallest; --size) {
    if (font) DeleteObject(font);
    face.lfHeight = -size;
    font = CreateFontIndirectW(&face);
    const HGDIOBJ old = SelectObject(dc, font);
    RECT text{0, 0, width, 0};
    DrawTextW(dc, platform::win32::Widen(button.caption).c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    SelectObject(dc, old);
    if (text.bottom <= height && text.right <= width) break;
  }
  ReleaseDC(hwnd_, dc);
  return font;
}

}  // namespace vexaro::ui::win32

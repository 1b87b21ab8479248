#include "ui/win32/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

#include "ui/win32/window_parts.h"

namespace vexaro::ui::win32 {
namespace {

// `Label2`'s own font: 10.5 points, bold, Shift-JIS.
constexpr wchar_t kStatusFace[] = L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF";  // ＭＳ Ｐゴシック
constexpr int kStatusTenths = 105;
// The window's own font: the system's message face at 9 points, the size
// the layout's boxes were drawn for.
constexpr int kWindowTenths = 90;

// `text` broken between words into lines no wider than `width` in the font
// of `dc`; a word wider than that stands on a line of its own.
std::vector<std::wstring> WrapWords(HDC dc, std::wstring_view text, int width) {
  std::vector<std::wstring> lines;
  while (!text.empty()) {
    const std::size_t space = text.find(L' ');
    const std::wstring_view word = text.substr(0, space);
    text.remove_prefix(space == std::wstring_view::npos ? text.size() : space + 1);
    if (word.empty()) continue;
    if (!lines.empty()) {
      const std::wstring joined = lines.back() + L' ' + std::wstring(word);
      SIZE size{};
      GetTextExtentPoint32W(dc, joined.c_str(), static_cast<int>(joined.size()), &size);
      if (size.cx <= width) {
        lines.back() = joined;
        continue;
      }
    }
    lines.emplace_back(word);
  }
  return lines;
}

// How far the ink of `text` in the font of `dc` reaches above and below the
// baseline; the font's ascent without its leading, and its descent, where
// the font tells no glyph's extent.
std::pair<int, int> InkExtent(HDC dc, std::wstring_view text, const TEXTMETRICW& metrics) {
  int above = 0, below = 0;
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  for (const wchar_t character : text) {
    if (character == L' ') continue;
    GLYPHMETRICS glyph{};
    if (GetGlyphOutlineW(dc, character, GGO_METRICS, &glyph, 0, nullptr, &identity) == GDI_ERROR) {
      return {metrics.tmAscent - metrics.tmInternalLeading, metrics.tmDescent};
    }
    above = std::max<int>(above, glyph.gmptGlyphOrigin.y);
    below = std::max<int>(below, static_cast<int>(glyph.gmBlackBoxY) - glyph.gmptGlyphOrigin.y);
  }
  return {above, below};
}

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

  const HFONT old[] = {windowFont_, statusFont_};
  windowFont_ = CreateFontIndirectW(&window);
  statusFont_ = CreateFontIndirectW(&status);
  for (const ControlLayout& row : kLayout) {
    if (HWND handle = control(row.id))
      SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(IdOf(row.id))), TRUE);
  }
  for (HFONT font : old) {
    if (font) DeleteObject(font);
  }
}

HFONT MainWindow::FontOf(ControlId id) const { return id == kLabel2 ? statusFont_ : windowFont_; }

LRESULT MainWindow::DrawWrappedCaption(const NMCUSTOMDRAW& draw) const {
  // "Delete Selected" stands on two lines in the window's font, in a box
  // drawn for a smaller face: the lines are set closer than the font's line
  // height where they must, so that the ink of both shows whole inside the
  // focus frame, which stands just inside the button's border (2 pixels at
  // 96 dots per inch). The button draws its face itself.
  if (draw.dwDrawStage != CDDS_PREPAINT) return CDRF_DODEFAULT;
  HDC dc = draw.hdc;
  const HGDIOBJ oldFont = SelectObject(dc, windowFont_);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  RECT focus = draw.rc;
  const int border = TwipsToPixels(30, dpi_);
  InflateRect(&focus, -border, -border);
  RECT area = focus;
  InflateRect(&area, -1, -1);
  const std::wstring caption = detail::WindowText(draw.hdr.hwndFrom);
  const std::vector<std::wstring> lines = WrapWords(dc, caption, area.right - area.left);
  const auto [above, below] = InkExtent(dc, caption, metrics);
  const int ink = std::min<int>(above + below, metrics.tmHeight);
  const int height = area.bottom - area.top;
  const int gaps = static_cast<int>(lines.size()) - 1;
  const int pitch = gaps > 0 ? std::clamp<int>((height - ink) / gaps, ink, metrics.tmHeight) : 0;
  // The lines' ink centred in the frame.
  int top = area.top + (height - gaps * pitch - ink) / 2 + above - metrics.tmAscent;
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour =
      SetTextColor(dc, GetSysColor((draw.uItemState & CDIS_DISABLED) != 0 ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  for (const std::wstring& line : lines) {
    RECT row{area.left, top, area.right, top + metrics.tmHeight};
    DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &row,
              DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    top += pitch;
  }
  const LRESULT cues = SendMessageW(draw.hdr.hwndFrom, WM_QUERYUISTATE, 0, 0);
  if ((draw.uItemState & CDIS_FOCUS) != 0 && (cues & UISF_HIDEFOCUS) == 0) DrawFocusRect(dc, &focus);
  SetTextColor(dc, oldColour);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
  // The button's own caption and focus frame would stand where these do.
  return CDRF_SKIPDEFAULT;
}

}  // namespace vexaro::ui::win32

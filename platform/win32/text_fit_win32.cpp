#include <vector>

#include "platform/win32/convert_win32.h"
#include "platform/text.h"
#include "platform/win32/win32_facilities.h"
#include "platform/win32/windows_win32.h"

namespace vexaro::platform::win32 {
namespace {

// A memory device context with the control's font selected, released on exit.
class FontContext {
 public:
  explicit FontContext(HWND control) : dc_(CreateCompatibleDC(nullptr)) {
    HFONT font = control != nullptr ? reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)) : nullptr;
    if (font == nullptr) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    old_ = SelectObject(dc_, font);
  }
  ~FontContext() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  FontContext(const FontContext&) = delete;
  FontContext& operator=(const FontContext&) = delete;

  HDC dc() const { return dc_; }
  int Width(std::wstring_view text) const {
    SIZE size{};
    GetTextExtentPoint32W(dc_, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

class GdiMeasure final : public TextMeasure {
 public:
  explicit GdiMeasure(const FontContext& context) : context_(context) {}
  int Width(std::string_view utf8) const override { return context_.Width(Widen(utf8)); }

 private:
  const FontContext& context_;
};

}  // namespace

std::string Win32PathFitter::FitPath(std::string_view utf8, int maxWidth) {
  if (utf8.empty()) return {};
  FontContext context(control_);
  const std::wstring text = Widen(utf8);
  if (context.Width(text) <= maxWidth) return std::string(utf8);

  // The system's rule: DrawTextW rewrites the copy to its fitted form, which
  // may be up to four characters longer than the text ("..." and the end).
  std::vector<wchar_t> copy(text.begin(), text.end());
  copy.resize(text.size() + 8, L'\0');
  RECT box{0, 0, maxWidth, 1000};
  DrawTextW(context.dc(), copy.data(), -1, &box, DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_MODIFYSTRING | DT_NOPREFIX);
  const std::wstring_view fitted = CutAtChar(std::wstring_view(copy.data(), copy.size()), L'\0');
  if (context.Width(fitted) <= maxWidth) return Narrow(fitted);
  // The last component alone is wider than the label: its beginning is kept.
  return FitPathEllipsis(utf8, maxWidth, GdiMeasure(context), separator_);
}

}  // namespace vexaro::platform::win32

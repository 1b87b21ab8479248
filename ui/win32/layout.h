#pragma once
// The Win32 identifiers of the controls of the shared layout (ui/layout.h).

#include "ui/layout.h"

namespace vexaro::ui::win32 {

// Control identifiers. None is IDOK (1) or IDCANCEL (2): Enter and Escape
// send those to the window, and the window answers neither, so that Escape
// presses no button and Enter only the focused one.
enum ControlId : int {
  kForm1 = 0,
  kFrame2 = 100,
  kFrame3,
  kLabel1,
  kLabel2,
  kLabel3,
  kList1,
  kCommand1,
  kCommand2,
  kCommand3,
  kCommand4,
  kCommand5,
  kCheckPath,
  kCheckSize,
  kCheckVolume,
  kCheckDate,
  kCheckByte,
  kCheckFree,
  kOptionTXT,
  kOptionCSV,
};

// The Win32 identifier of a control of the shared layout.
constexpr ControlId IdOf(Control control) {
  return control == Control::Form1 ? kForm1 : static_cast<ControlId>(kFrame2 - 1 + static_cast<int>(control));
}
static_assert(IdOf(Control::Frame2) == kFrame2 && IdOf(Control::OptionCSV) == kOptionCSV);

// The height of a font of `tenthsOfPoint` at `dpi`, as LOGFONT wants it
// (negative: the character height without internal leading).
constexpr int FontHeight(int tenthsOfPoint, int dpi) { return -TwipsToPixels(tenthsOfPoint * 2, dpi); }

const ControlLayout* FindLayout(ControlId id);

}  // namespace vexaro::ui::win32

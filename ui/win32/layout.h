#pragma once
// The window's controls as laid out in twips, the unit the layout was drawn
// in, and their conversion to pixels at a window's resolution.

#include <array>

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

enum class Kind { Page, Label, ListBox, Button, CheckBox, OptionButton };

struct Twips {
  int left, top, width, height;
};

struct ControlLayout {
  ControlId id;
  Kind kind;
  ControlId container;  // kForm1: the window's client area
  const wchar_t* caption;
  Twips box;
};

// Every control, in the keyboard order of its container (the order of
// creation is the order of Tab). Both pages stand where the load step puts
// them. Text is measured on a memory device context of the path fitter, so
// there is no hidden measuring control.
inline constexpr std::array<ControlLayout, 19> kLayout = {{
    {kLabel3, Kind::Label, kForm1, L"Vexaro 2.8 - lists of file names for the clipboard", {1035, 1125, 4200, 180}},
    {kFrame2, Kind::Page, kForm1, nullptr, {90, 36, 7290, 1005}},
    {kFrame3, Kind::Page, kForm1, nullptr, {90, 36, 7290, 1005}},
    {kCommand2, Kind::Button, kFrame2, L"STOP", {5940, 180, 975, 312}},
    {kLabel2, Kind::Label, kFrame2, L"Listing Folders", {2160, 210, 1470, 210}},
    {kLabel1, Kind::Label, kFrame2, L"", {105, 525, 7020, 240}},
    {kList1, Kind::ListBox, kFrame3, nullptr, {135, 60, 1815, 900}},
    {kCommand4, Kind::Button, kFrame3, L"Add Folder", {2010, 90, 1560, 330}},
    {kCommand5, Kind::Button, kFrame3, L"Delete Selected", {2010, 495, 990, 450}},
    {kCheckSize, Kind::CheckBox, kFrame3, L"Size", {4230, 480, 615, 225}},
    {kCommand1, Kind::Button, kFrame3, L"Start", {3720, 69, 2385, 372}},
    {kCommand3, Kind::Button, kFrame3, L"Quit", {6180, 99, 1005, 312}},
    {kCheckPath, Kind::CheckBox, kFrame3, L"Path", {3180, 480, 645, 225}},
    {kCheckDate, Kind::CheckBox, kFrame3, L"Date", {4230, 750, 735, 225}},
    {kCheckByte, Kind::CheckBox, kFrame3, L"Byte", {5070, 750, 675, 225}},
    {kOptionTXT, Kind::OptionButton, kFrame3, L"TXT", {5550, 502, 765, 180}},
    {kOptionCSV, Kind::OptionButton, kFrame3, L"CSV", {6300, 502, 765, 180}},
    {kCheckFree, Kind::CheckBox, kFrame3, L"Free Space", {5850, 765, 1275, 195}},
    {kCheckVolume, Kind::CheckBox, kFrame3, L"Volume", {3180, 750, 945, 225}},
}};

// The client area after the load step: the page band and the credit line.
inline constexpr Twips kClientArea{0, 0, 7500, 1365};

// Twips to pixels at `dpi` (15 twips per pixel at 96), rounded to nearest:
// the one scaling step of every position, size and font height.
constexpr int Scale(int twips, int dpi) {
  const long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>((scaled + (scaled >= 0 ? 720 : -720)) / 1440);
}

// The height of a font of `tenthsOfPoint` at `dpi`, as LOGFONT wants it
// (negative: the character height without internal leading).
constexpr int FontHeight(int tenthsOfPoint, int dpi) { return -Scale(tenthsOfPoint * 2, dpi); }

const ControlLayout* FindLayout(ControlId id);

}  // namespace vexaro::ui::win32

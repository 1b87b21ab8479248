#pragma once
// The window's controls as laid out in twips, the unit the layout was drawn
// in: one table for every view, and the one conversion to pixels.

#include <array>

namespace vexaro::ui {

enum class Control {
  Form1,  // the window's client area
  Frame2,
  Frame3,
  Label1,
  Label2,
  Label3,
  List1,
  Command1,
  Command2,
  Command3,
  Command4,
  Command5,
  CheckPath,
  CheckSize,
  CheckVolume,
  CheckDate,
  CheckByte,
  CheckFree,
  OptionTXT,
  OptionCSV,
};

enum class Kind { Page, Label, ListBox, Button, CheckBox, OptionButton };

struct Twips {
  int left, top, width, height;
};

struct ControlLayout {
  Control id;
  Kind kind;
  Control container;
  const char* name;     // the control's name, as views and tests find it
  const char* caption;  // ASCII; empty for none
  Twips box;            // in its container
};

inline constexpr const char* kCredit = "Vexaro 2.8 - lists of file names for the clipboard";

// Every control, in the keyboard order of its container (Tab follows the
// order of the rows). Both pages stand where the load step puts them.
inline constexpr std::array<ControlLayout, 19> kLayout = {{
    {Control::Label3, Kind::Label, Control::Form1, "Label3", kCredit, {1035, 1125, 4200, 180}},
    {Control::Frame2, Kind::Page, Control::Form1, "Frame2", "", {90, 36, 7290, 1005}},
    {Control::Frame3, Kind::Page, Control::Form1, "Frame3", "", {90, 36, 7290, 1005}},
    {Control::Command2, Kind::Button, Control::Frame2, "Command2", "STOP", {5940, 180, 975, 312}},
    {Control::Label2, Kind::Label, Control::Frame2, "Label2", "Listing Folders", {2160, 210, 1470, 210}},
    {Control::Label1, Kind::Label, Control::Frame2, "Label1", "", {105, 525, 7020, 240}},
    {Control::List1, Kind::ListBox, Control::Frame3, "List1", "", {135, 60, 1815, 900}},
    {Control::Command4, Kind::Button, Control::Frame3, "Command4", "Add Folder", {2010, 90, 1560, 330}},
    {Control::Command5, Kind::Button, Control::Frame3, "Command5", "Delete Selected", {2010, 495, 990, 450}},
    {Control::CheckSize, Kind::CheckBox, Control::Frame3, "CheckSize", "Size", {4230, 480, 615, 225}},
    {Control::Command1, Kind::Button, Control::Frame3, "Command1", "Start", {3720, 69, 2385, 372}},
    {Control::Command3, Kind::Button, Control::Frame3, "Command3", "Quit", {6180, 99, 1005, 312}},
    {Control::CheckPath, Kind::CheckBox, Control::Frame3, "CheckPath", "Path", {3180, 480, 645, 225}},
    {Control::CheckDate, Kind::CheckBox, Control::Frame3, "CheckDate", "Date", {4230, 750, 735, 225}},
    {Control::CheckByte, Kind::CheckBox, Control::Frame3, "CheckByte", "Byte", {5070, 750, 675, 225}},
    {Control::OptionTXT, Kind::OptionButton, Control::Frame3, "OptionTXT", "TXT", {5550, 502, 765, 180}},
    {Control::OptionCSV, Kind::OptionButton, Control::Frame3, "OptionCSV", "CSV", {6300, 502, 765, 180}},
    {Control::CheckFree, Kind::CheckBox, Control::Frame3, "CheckFree", "Free Space", {5850, 765, 1275, 195}},
    {Control::CheckVolume, Kind::CheckBox, Control::Frame3, "CheckVolume", "Volume", {3180, 750, 945, 225}},
}};

// The client area after the load step: the page band and the credit line.
inline constexpr Twips kClientArea{0, 0, 7500, 1365};

// The row of `id`; null for Form1, which has none.
constexpr const ControlLayout* FindLayout(Control id) {
  for (const ControlLayout& row : kLayout) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

// Twips (1/1440 inch) to pixels at `dotsPerInch`, rounded to nearest: 15
// twips per pixel at 96 dots per inch. The one scaling step of every
// position, size and font height.
constexpr int TwipsToPixels(int twips, int dotsPerInch) {
  const long long scaled = static_cast<long long>(twips) * dotsPerInch;
  return static_cast<int>((scaled + (scaled >= 0 ? 720 : -720)) / 1440);
}

}  // namespace vexaro::ui

#include "ui/win32/main_window.h"

namespace vexaro::ui::win32 {

void MainWindow::OnButtonFocus(HWND button, bool gained) {
  // Enter presses the focused button and no other: the dialog manager
  // presses the default button, and there is one only while a button has
  // the focus. Escape finds no cancel button and presses nothing.
  const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE) & ~static_cast<LONG_PTR>(BS_TYPEMASK);
  SendMessageW(button, BM_SETSTYLE, static_cast<WPARAM>(style | (gained ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)), TRUE);
}

void MainWindow::OnOptionChosen() {
  // Tab enters the group at its chosen button.
  const bool csv = IsChecked(kOptionCSV);
  HWND chosen = control(csv ? kOptionCSV : kOptionTXT);
  HWND other = control(csv ? kOptionTXT : kOptionCSV);
  SetWindowLongPtrW(chosen, GWL_STYLE, GetWindowLongPtrW(chosen, GWL_STYLE) | WS_TABSTOP);
  SetWindowLongPtrW(other, GWL_STYLE, GetWindowLongPtrW(other, GWL_STYLE) & ~WS_TABSTOP);
}

void MainWindow::OnActivate(bool active) {
  // The focus comes back to where it was when the window is activated.
  if (!active) {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) focusWhenInactive_ = focus;
  } else if (focusWhenInactive_ && IsWindowVisible(focusWhenInactive_)) {
    SetFocus(focusWhenInactive_);
  } else if (IsWindowVisible(control(kFrame3))) {
    SetFocus(control(kList1));
  } else {
    SetFocus(control(kCommand2));
  }
}

LRESULT MainWindow::DefaultButton() {
  // The dialog manager asks when Tab has moved the focus, having just taken
  // the default look from every button, and when Enter meets a button
  // without that look. The answer is the focused button or none, so that
  // Enter presses the button reached with Tab or Shift+Tab and nothing
  // from elsewhere.
  HWND focus = GetFocus();
  const int id = focus && IsChild(hwnd_, focus) ? GetDlgCtrlID(focus) : 0;
  const ControlLayout* layout = FindLayout(static_cast<ControlId>(id));
  if (layout == nullptr || layout->kind != Kind::Button || control(layout->id) != focus) return 0;
  // The dialog manager gives the look back only to a child of the window
  // itself; the buttons stand on a page.
  const LONG_PTR style = GetWindowLongPtrW(focus, GWL_STYLE);
  if ((style & BS_TYPEMASK) != BS_DEFPUSHBUTTON) {
    SendMessageW(focus, BM_SETSTYLE,
                 static_cast<WPARAM>((style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_DEFPUSHBUTTON), TRUE);
  }
  return MAKELONG(id, DC_HASDEFID);
}

}  // namespace vexaro::ui::win32

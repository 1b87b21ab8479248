#pragma once
// The Windows window `Form1`: a thin Win32 view over MainWindowLogic. It lays
// out its controls from the twips of the layout at the window's resolution,
// follows moves between monitors of different resolution, and forwards
// clicks and the close request to the logic.
//
// One file per concern: controls.cpp creates, fonts.cpp makes the fonts and
// draws the two-line caption, layout.cpp places, focus.cpp keeps the
// keyboard focus and the default button, dpi.cpp follows the resolution;
// main_window.cpp is the view and the message dispatch.

#include <string>

#include "platform/win32/windows_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include "ui/main_window.h"
#include "ui/main_window_view.h"
#include "ui/win32/layout.h"

namespace vexaro::ui::win32 {

inline constexpr wchar_t kWindowCaption[] = L"Vexaro Ver 2.8";
inline constexpr wchar_t kWindowClass[] = L"VexaroForm1";
// Resource number of the program's icon.
inline constexpr int kIconResource = 1;

class MainWindow final : public MainWindowView {
 public:
  // Creates the window with every control, hidden, centred on the screen
  // at that screen's resolution.
  explicit MainWindow(HINSTANCE instance);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Routes the buttons, dropped folders and the close request to `logic`,
  // which must outlive the window's use.
  void Attach(MainWindowLogic& logic) { logic_ = &logic; }

  HWND hwnd() const { return hwnd_; }
  HWND control(ControlId id) const;
  HWND control(Control id) const { return control(IdOf(id)); }
  int dpi() const { return dpi_; }

  // Shows the window; the folder list has the focus.
  void Show(int showCommand);

  // Runs the message loop until the program ends; returns its exit code.
  int Run();

  // MainWindowView
  void ShowPage(Page page) override;
  void SetStatusCaption(std::string_view caption) override;
  void SetPathCaption(std::string_view caption) override;
  int PathCaptionWidth() const override;
  int RowCount() const override;
  std::string RowText(int row) const override;
  bool IsRowMarked(int row) const override;
  void RemoveRow(int row) override;
  void AddRow(std::string_view text) override;
  engine::ListingOptions Options() const override;
  void ProcessEvents() override;
  void EndProgram() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int notification);
  // Files and folders dropped from the shell; the block is released here.
  void OnDropFiles(HDROP drop);

  // Focus (focus.cpp). The answer to DM_GETDEFID.
  LRESULT DefaultButton();
  void OnButtonFocus(HWND button, bool gained);
  void OnOptionChosen();
  void OnActivate(bool active);

  // Resolution (dpi.cpp).
  void OnDpiChanged(int dpi, const RECT& suggested);

  // Creation (controls.cpp) and fonts (fonts.cpp).
  void CreateControls();
  void CreateFonts();
  HFONT FontOf(ControlId id) const;
  // The custom-draw part of "Delete Selected": its caption on two lines,
  // set close enough to fit.
  LRESULT DrawWrappedCaption(const NMCUSTOMDRAW& draw) const;
  // Placement (layout.cpp): every control at the current resolution.
  void Layout();
  RECT Pixels(const Twips& box) const;
  // The answer to a button's custom-draw notice: controls whose boxes
  // share a part paint it once, and "Delete Selected" gets its caption.
  LRESULT OnCustomDraw(const NMCUSTOMDRAW& draw) const;
  // A self-sizing label: its box follows its text, around its centre.
  void FitLabel(ControlId id);
  // The window's size for the client area, centred on its screen's work area.
  void Centre();
  void UpdateListExtent();
  bool IsChecked(ControlId id) const;

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HWND controls_[kOptionCSV - kFrame2 + 1] = {};
  int dpi_ = 96;
  HFONT windowFont_ = nullptr;
  HFONT statusFont_ = nullptr;
  HBRUSH listBrush_ = nullptr;
  HWND focusBeforeRun_ = nullptr;
  HWND focusWhenInactive_ = nullptr;
  MainWindowLogic* logic_ = nullptr;
  bool ended_ = false;
};

}  // namespace vexaro::ui::win32

#include "ui/win32/main_window.h"

#include <algorithm>

#include "platform/win32/convert_win32.h"
#include "ui/win32/window_parts.h"

namespace vexaro::ui::win32 {

using namespace detail;

namespace {

void RegisterClasses(HINSTANCE instance, WNDPROC windowProc, WNDPROC pageProc) {
  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = windowProc;
  form.hInstance = instance;
  form.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  form.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = kWindowClass;
  RegisterClassExW(&form);  // fails harmlessly when it exists already

  // The pages: borderless containers that draw nothing but their ground.
  WNDCLASSEXW page{};
  page.cbSize = sizeof page;
  page.lpfnWndProc = pageProc;
  page.hInstance = instance;
  page.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  page.lpszClassName = kPageClass;
  RegisterClassExW(&page);
}

}  // namespace

const ControlLayout* FindLayout(ControlId id) {
  const auto found =
      std::find_if(kLayout.begin(), kLayout.end(), [id](const ControlLayout& row) { return IdOf(row.id) == id; });
  return found == kLayout.end() ? nullptr : &*found;
}

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {
  RegisterClasses(instance, &MainWindow::WindowProc, &MainWindow::PageProc);
  listBrush_ = CreateSolidBrush(kListBackground);
  CreateWindowExW(kWindowExStyle, kWindowClass, kWindowCaption, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                  nullptr, nullptr, instance, this);
  if (hwnd_ == nullptr) return;
  dpi_ = DpiOf(hwnd_);
  CreateFonts();
  CreateControls();
  Layout();
  Centre();
}

MainWindow::~MainWindow() {
  ended_ = true;
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (windowFont_) DeleteObject(windowFont_);
  if (statusFont_) DeleteObject(statusFont_);
  if (listBrush_) DeleteObject(listBrush_);
}

HWND MainWindow::control(ControlId id) const {
  if (id == kForm1) return hwnd_;
  return controls_[id - kFrame2];
}

void MainWindow::CreateControls() {
  for (const ControlLayout& row : kLayout) {
    HWND parent = control(row.container);
    const wchar_t* className = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (row.kind) {
      case Kind::Page:
        className = kPageClass;
        style |= WS_CLIPCHILDREN;
        // Tab moves into a page's controls as into the window's own.
        exStyle = WS_EX_CONTROLPARENT;
        if (row.id == Control::Frame2) style &= ~WS_VISIBLE;
        break;
      case Kind::Label:
        className = L"STATIC";
        // No prefix: an "&" in a folder's name is shown, not underlined.
        style |= SS_CENTER | SS_NOPREFIX;
        break;
      case Kind::ListBox:
        className = L"LISTBOX";
        style |= WS_TABSTOP | WS_GROUP | WS_VSCROLL | WS_HSCROLL | LBS_SORT | LBS_MULTIPLESEL | LBS_NOTIFY |
                 LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::Button:
        // BS_NOTIFY: the button says when it takes and loses the focus, so
        // that it is the default button exactly while it has the focus.
        style |= WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON | BS_NOTIFY | (row.id == Control::Command5 ? BS_MULTILINE : 0);
        break;
      case Kind::CheckBox:
        style |= WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX;
        break;
      case Kind::OptionButton:
        // One group of two; Tab stops at the chosen one.
        style |= BS_AUTORADIOBUTTON | (row.id == Control::OptionTXT ? WS_GROUP | WS_TABSTOP : 0);
        break;
    }
    controls_[IdOf(row.id) - kFrame2] =
        CreateWindowExW(exStyle, className, platform::win32::Widen(row.caption).c_str(), style, 0, 0, 0, 0, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(row.id))), instance_, nullptr);
    if (row.kind == Kind::CheckBox) SendMessageW(control(row.id), BM_SETCHECK, BST_CHECKED, 0);
  }
  SendMessageW(control(kOptionTXT), BM_SETCHECK, BST_CHECKED, 0);
  for (const ControlLayout& row : kLayout) {
    SendMessageW(control(row.id), WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(IdOf(row.id))), FALSE);
  }
}

}  // namespace vexaro::ui::win32

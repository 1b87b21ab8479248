#include "ui/win32/main_window.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "platform/convert_win32.h"

namespace vexaro::ui::win32 {
namespace {

using platform::win32::Narrow;
using platform::win32::Widen;

constexpr wchar_t kPageClass[] = L"VexaroPage";
constexpr COLORREF kListBackground = RGB(224, 224, 224);
// `Label2`'s own font: 10.5 points, bold, Shift-JIS.
constexpr wchar_t kStatusFace[] = L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF";  // ＭＳ Ｐゴシック
constexpr int kStatusTenths = 105;
// The window's own font: the system's message face at 9 points, the size
// the layout's boxes were drawn for.
constexpr int kWindowTenths = 90;

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

// Functions of Windows 10 (1607 on); older systems get the system-wide
// resolution instead.
template <class Function>
Function Load(const wchar_t* module, const char* name) {
  Function function = nullptr;
  if (HMODULE handle = GetModuleHandleW(module)) {
    const FARPROC found = GetProcAddress(handle, name);
    static_assert(sizeof function == sizeof found);
    std::memcpy(&function, &found, sizeof function);
  }
  return function;
}

struct DpiFunctions {
  UINT(WINAPI* forWindow)(HWND) = Load<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow");
  BOOL(WINAPI* adjustRect)(LPRECT, DWORD, BOOL, DWORD, UINT) =
      Load<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>(L"user32.dll", "AdjustWindowRectExForDpi");
  int(WINAPI* metrics)(int, UINT) = Load<int(WINAPI*)(int, UINT)>(L"user32.dll", "GetSystemMetricsForDpi");
};

const DpiFunctions& Dpi() {
  static const DpiFunctions functions;
  return functions;
}

int DpiOf(HWND hwnd) {
  if (Dpi().forWindow) {
    if (const UINT dpi = Dpi().forWindow(hwnd)) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(hwnd);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(hwnd, dc);
  return dpi > 0 ? dpi : 96;
}

int MetricForDpi(int index, int dpi) {
  if (Dpi().metrics) return Dpi().metrics(index, static_cast<UINT>(dpi));
  return MulDiv(GetSystemMetrics(index), dpi, 96);
}

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
  CreateWindowExW(kWindowExStyle, kWindowClass, kWindowCaption, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 100,
                  100, nullptr, nullptr, instance, this);
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
  if (deleteFont_) DeleteObject(deleteFont_);
  if (listBrush_) DeleteObject(listBrush_);
}

HWND MainWindow::control(ControlId id) const {
  if (id == kForm1) return hwnd_;
  return controls_[id - kFrame2];
}

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
    if (HWND handle = control(row.id)) SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(IdOf(row.id))), TRUE);
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
    DrawTextW(dc, Widen(button.caption).c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    SelectObject(dc, old);
    if (text.bottom <= height && text.right <= width) break;
  }
  ReleaseDC(hwnd_, dc);
  return font;
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
        CreateWindowExW(exStyle, className, Widen(row.caption).c_str(), style, 0, 0, 0, 0, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(row.id))), instance_, nullptr);
    if (row.kind == Kind::CheckBox) SendMessageW(control(row.id), BM_SETCHECK, BST_CHECKED, 0);
  }
  SendMessageW(control(kOptionTXT), BM_SETCHECK, BST_CHECKED, 0);
  for (const ControlLayout& row : kLayout) {
    SendMessageW(control(row.id), WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(IdOf(row.id))), FALSE);
  }
}

RECT MainWindow::Pixels(const Twips& box) const {
  const int left = TwipsToPixels(box.left, dpi_);
  const int top = TwipsToPixels(box.top, dpi_);
  return {left, top, left + TwipsToPixels(box.width, dpi_), top + TwipsToPixels(box.height, dpi_)};
}

void MainWindow::Layout() {
  const int checkWidth = MetricForDpi(SM_CXMENUCHECK, dpi_);
  for (const ControlLayout& row : kLayout) {
    RECT box = Pixels(row.box);
    if (row.kind == Kind::CheckBox || row.kind == Kind::OptionButton) {
      // A box drawn for a smaller font grows about its middle, and to the
      // right, until its mark and caption fit.
      const SIZE text = TextExtent(control(row.id), windowFont_, Widen(row.caption));
      const int height = std::max<int>(text.cy, checkWidth) + 2;
      if (box.bottom - box.top < height) {
        const int middle = (box.top + box.bottom) / 2;
        box.top = middle - height / 2;
        box.bottom = box.top + height;
      }
      const int width = checkWidth + TwipsToPixels(90, dpi_) + text.cx;
      box.right = std::max<LONG>(box.right, box.left + width);
    }
    SetWindowPos(control(row.id), nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  FitLabel(kLabel2);
  FitLabel(kLabel3);
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

void MainWindow::Show(int showCommand) {
  ShowWindow(hwnd_, showCommand);
  SetFocus(control(kList1));
  UpdateWindow(hwnd_);
}

int MainWindow::Run() {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(hwnd_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

void MainWindow::ShowPage(Page page) {
  HWND frame2 = control(kFrame2);
  HWND frame3 = control(kFrame3);
  if (page == Page::Progress) {
    focusBeforeRun_ = GetFocus();
    ShowWindow(frame2, SW_SHOW);
    ShowWindow(frame3, SW_HIDE);
    SetFocus(control(kCommand2));
    // Painted at once: the listing starts straight away, and the next turn
    // of the message loop may be a moment off.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  } else {
    ShowWindow(frame3, SW_SHOW);
    ShowWindow(frame2, SW_HIDE);
    SetFocus(focusBeforeRun_ && IsChild(frame3, focusBeforeRun_) ? focusBeforeRun_ : control(kList1));
  }
}

void MainWindow::SetStatusCaption(std::string_view caption) {
  HWND frame2 = control(kFrame2);
  HWND label = control(kLabel2);
  RECT before{};
  GetWindowRect(label, &before);
  SetWindowTextW(label, Widen(caption).c_str());
  FitLabel(kLabel2);
  RECT after{};
  GetWindowRect(label, &after);
  RECT both{};
  UnionRect(&both, &before, &after);
  MapWindowPoints(nullptr, frame2, reinterpret_cast<POINT*>(&both), 2);
  // Painted now, the old extent included: the caller goes on working
  // without giving the message loop a turn.
  RedrawWindow(frame2, &both, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void MainWindow::SetPathCaption(std::string_view caption) { SetWindowTextW(control(kLabel1), Widen(caption).c_str()); }

int MainWindow::PathCaptionWidth() const {
  RECT client{};
  GetClientRect(control(kLabel1), &client);
  return client.right - client.left;
}

int MainWindow::RowCount() const {
  return static_cast<int>(SendMessageW(control(kList1), LB_GETCOUNT, 0, 0));
}

std::string MainWindow::RowText(int row) const {
  HWND list = control(kList1);
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
  text.resize(got == LB_ERR ? 0 : static_cast<std::size_t>(got));
  return Narrow(text);
}

bool MainWindow::IsRowMarked(int row) const {
  return SendMessageW(control(kList1), LB_GETSEL, static_cast<WPARAM>(row), 0) > 0;
}

void MainWindow::RemoveRow(int row) {
  SendMessageW(control(kList1), LB_DELETESTRING, static_cast<WPARAM>(row), 0);
  UpdateListExtent();
}

void MainWindow::AddRow(std::string_view text) {
  const std::wstring row = Widen(text);
  SendMessageW(control(kList1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
  UpdateListExtent();
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

bool MainWindow::IsChecked(ControlId id) const {
  return SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

engine::ListingOptions MainWindow::Options() const {
  engine::ListingOptions options;
  options.CheckVolume = IsChecked(kCheckVolume);
  options.CheckFree = IsChecked(kCheckFree);
  options.CheckSize = IsChecked(kCheckSize);
  options.CheckByte = IsChecked(kCheckByte);
  options.CheckDate = IsChecked(kCheckDate);
  options.CheckPath = IsChecked(kCheckPath);
  options.OptionCSV = IsChecked(kOptionCSV);
  return options;
}

void MainWindow::ProcessEvents() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // For the main loop, once the listing has unwound.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (!IsDialogMessageW(hwnd_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

void MainWindow::EndProgram() {
  if (ended_) return;
  ended_ = true;
  ShowWindow(hwnd_, SW_HIDE);
  PostQuitMessage(0);
}

void MainWindow::OnCommand(int id, int notification) {
  const ControlLayout* layout = FindLayout(static_cast<ControlId>(id));
  if (layout && layout->kind == Kind::Button && (notification == BN_SETFOCUS || notification == BN_KILLFOCUS)) {
    // Enter presses the focused button and no other: the dialog manager
    // presses the default button, and there is one only while a button has
    // the focus. Escape finds no cancel button and presses nothing.
    HWND button = control(layout->id);
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE) & ~static_cast<LONG_PTR>(BS_TYPEMASK);
    SendMessageW(button, BM_SETSTYLE, static_cast<WPARAM>(style | (notification == BN_SETFOCUS ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)),
                 TRUE);
    return;
  }
  if (notification != BN_CLICKED) return;
  switch (id) {
    case kOptionTXT:
    case kOptionCSV: {
      // Tab enters the group at its chosen button.
      const bool csv = IsChecked(kOptionCSV);
      HWND chosen = control(csv ? kOptionCSV : kOptionTXT);
      HWND other = control(csv ? kOptionTXT : kOptionCSV);
      SetWindowLongPtrW(chosen, GWL_STYLE, GetWindowLongPtrW(chosen, GWL_STYLE) | WS_TABSTOP);
      SetWindowLongPtrW(other, GWL_STYLE, GetWindowLongPtrW(other, GWL_STYLE) & ~WS_TABSTOP);
      return;
    }
    default:
      break;
  }
  if (logic_ == nullptr) return;
  switch (id) {
    case kCommand1:
      logic_->Command1_Click();
      break;
    case kCommand2:
      logic_->Command2_Click();
      break;
    case kCommand3:
      logic_->Command3_Click();
      break;
    case kCommand4:
      logic_->Command4_Click();
      break;
    case kCommand5:
      logic_->Command5_Click();
      break;
    default:
      break;
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
    SendMessageW(focus, BM_SETSTYLE, static_cast<WPARAM>((style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_DEFPUSHBUTTON),
                 TRUE);
  }
  return MAKELONG(id, DC_HASDEFID);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    self->hwnd_ = nullptr;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return self->Handle(message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORLISTBOX:
      // The controls of a page are the window's: their notices go to it.
      return SendMessageW(GetAncestor(hwnd, GA_ROOT), message, wParam, lParam);
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // IDOK and IDCANCEL (Enter and Escape outside a button) press nothing.
      if (lParam != 0) OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case DM_GETDEFID:
      return DefaultButton();
    case WM_CTLCOLORLISTBOX:
      if (reinterpret_cast<HWND>(lParam) == control(kList1)) {
        SetBkColor(reinterpret_cast<HDC>(wParam), kListBackground);
        return reinterpret_cast<LRESULT>(listBrush_);
      }
      break;
    case WM_ACTIVATE:
      // The focus comes back to where it was when the window is activated.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) focusWhenInactive_ = focus;
      } else if (focusWhenInactive_ && IsWindowVisible(focusWhenInactive_)) {
        SetFocus(focusWhenInactive_);
      } else if (IsWindowVisible(control(kFrame3))) {
        SetFocus(control(kList1));
      } else {
        SetFocus(control(kCommand2));
      }
      return 0;
    case WM_CLOSE:
      if (logic_ == nullptr) {
        EndProgram();
      } else {
        // The window goes away at once; a listing in progress stops and the
        // program ends once it has unwound.
        const bool running = logic_->running();
        logic_->WindowClosing();
        if (running) ShowWindow(hwnd_, SW_HIDE);
      }
      return 0;
    case WM_DPICHANGED: {
      // Moved to a screen of another resolution: everything is laid out
      // again at it, in the rectangle the system suggests.
      dpi_ = HIWORD(wParam);
      CreateFonts();
      Layout();
      UpdateListExtent();
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      return 0;
    }
    case WM_DESTROY:
      if (!ended_) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace vexaro::ui::win32

#include "ui/win32/main_window.h"

#include <vector>

#include "platform/win32/convert_win32.h"
#include "ui/win32/window_parts.h"

namespace vexaro::ui::win32 {

using platform::win32::Narrow;
using platform::win32::Widen;

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
  // Folders are taken while the setup page shows; during a run the pointer
  // tells a drag that nothing is taken.
  DragAcceptFiles(hwnd_, page == Page::Setup);
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

int MainWindow::RowCount() const { return static_cast<int>(SendMessageW(control(kList1), LB_GETCOUNT, 0, 0)); }

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

bool MainWindow::IsChecked(ControlId id) const { return SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

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
    OnButtonFocus(control(layout->id), notification == BN_SETFOCUS);
    return;
  }
  if (notification != BN_CLICKED) return;
  if (id == kOptionTXT || id == kOptionCSV) {
    OnOptionChosen();
    return;
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

void MainWindow::OnDropFiles(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    // As long as the path is: a folder may lie deeper than MAX_PATH.
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(static_cast<std::size_t>(length) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
    if (!path.empty()) paths.push_back(Narrow(path));
  }
  DragFinish(drop);
  if (logic_ != nullptr) logic_->AddFolders(paths);
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
    case WM_NOTIFY:
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
    case WM_NOTIFY:
      if (reinterpret_cast<const NMHDR*>(lParam)->code == NM_CUSTOMDRAW) {
        return OnCustomDraw(*reinterpret_cast<const NMCUSTOMDRAW*>(lParam));
      }
      break;
    case WM_CTLCOLORLISTBOX:
      if (reinterpret_cast<HWND>(lParam) == control(kList1)) {
        SetBkColor(reinterpret_cast<HDC>(wParam), detail::kListBackground);
        return reinterpret_cast<LRESULT>(listBrush_);
      }
      break;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
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
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_DESTROY:
      if (!ended_) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace vexaro::ui::win32

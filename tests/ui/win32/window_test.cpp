// The Win32 window over the shared logic with fake facilities: layout and fonts at two resolutions, the
// keyboard, STOP and closing in a run, folders dropped from the shell.
#include "ui/win32/main_window.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <chrono>
#include <cstdlib>
#include <utility>
#include <vector>

#include "engine/listing.h"
#include "platform/win32/convert_win32.h"
#include "tests/support/fake_facilities.h"
#include "tests/support/fake_system.h"

namespace vexaro::ui::win32 {
namespace {

LOGFONTW FontOf(HWND control) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font;
}

// The runs of rows of `button`, as it paints itself, where a pixel between the margins differs much from the
// face at the left margin: the lines of its caption.
std::vector<std::pair<int, int>> CaptionRows(HWND button, int margin) {
  RECT client{};
  GetClientRect(button, &client);
  HDC screen = GetDC(button);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  std::vector<std::pair<int, int>> rows;
  for (int y = 0; y < client.bottom; ++y) {
    const COLORREF face = GetPixel(dc, margin, y);
    bool ink = false;
    for (int x = margin + 1; x < client.right - margin && !ink; ++x) {
      const COLORREF pixel = GetPixel(dc, x, y);
      ink = std::abs(GetRValue(pixel) - GetRValue(face)) + std::abs(GetGValue(pixel) - GetGValue(face)) +
                std::abs(GetBValue(pixel) - GetBValue(face)) >
            96;
    }
    if (ink && (rows.empty() || rows.back().second != y)) rows.emplace_back(y, y);  // a new run
    if (ink) rows.back().second = y + 1;
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(button, screen);
  return rows;
}

// Every control at its layout box (self-sizing labels: top and centre), in the system's message face at 9
// points but the status line in its own; "Delete Selected" on two whole lines.
void ExpectLaidOut(const MainWindow& window) {
  const int dpi = window.dpi();
  NONCLIENTMETRICSW system{};
  system.cbSize = sizeof system;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof system, &system, 0));
  for (const ControlLayout& row : kLayout) {
    const int left = TwipsToPixels(row.box.left, dpi), top = TwipsToPixels(row.box.top, dpi);
    const RECT want{left, top, left + TwipsToPixels(row.box.width, dpi), top + TwipsToPixels(row.box.height, dpi)};
    HWND control = window.control(row.id);
    RECT got{};
    GetWindowRect(control, &got);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&got), 2);
    if (row.id == Control::Label2 || row.id == Control::Label3) {
      EXPECT_NEAR(got.left + got.right, want.left + want.right, 2) << row.name;
      EXPECT_EQ(got.top, want.top) << row.name;
    } else {
      EXPECT_TRUE(EqualRect(&got, &want)) << row.name << " at " << dpi << ": " << got.left << "," << got.top << " "
                                          << got.right - got.left << "x" << got.bottom - got.top;
    }
    if (row.kind == Kind::Page) continue;
    const LOGFONTW font = FontOf(control);
    const bool own = row.id == Control::Label2;
    EXPECT_EQ(font.lfHeight, FontHeight(own ? 105 : 90, dpi)) << row.name;
    EXPECT_STREQ(font.lfFaceName,
                 own ? L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF" : system.lfMessageFont.lfFaceName)
        << row.name;
    EXPECT_EQ(font.lfWeight, own ? FW_BOLD : system.lfMessageFont.lfWeight) << row.name;
  }
  // Inside the focus frame, which stands just inside the border.
  const int frame = TwipsToPixels(30, dpi) + 1;
  const auto lines = CaptionRows(window.control(kCommand5), 2 * frame);
  ASSERT_EQ(lines.size(), 2u) << "at " << dpi;
  EXPECT_GE(lines.front().first, frame) << "at " << dpi;
  EXPECT_LE(lines.back().second, TwipsToPixels(FindLayout(kCommand5)->box.height, dpi) - frame) << "at " << dpi;
}

// Posts `paths` as the shell drops them: DROPFILES, then UTF-16 paths each ended by a NUL, and one more NUL.
void Drop(HWND window, const std::vector<std::string>& paths) {
  std::wstring list;
  for (const std::string& path : paths) list.append(platform::win32::Widen(path)).push_back(L'\0');
  list.push_back(L'\0');
  HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
  auto* head = static_cast<DROPFILES*>(GlobalLock(block));
  head->pFiles = sizeof(DROPFILES);
  head->fWide = TRUE;
  std::copy(list.begin(), list.end(), reinterpret_cast<wchar_t*>(head + 1));
  GlobalUnlock(block);
  PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

// The window with fakes; every look at the clock is 20 ms later, so that each yield of a run gives the
// message loop a turn.
struct Harness {
  Harness()
      : logic(window, {system, clipboard, messages, picker, fitter, 1},
              [now = std::chrono::steady_clock::time_point{}]() mutable {
                return now += std::chrono::milliseconds(20);
              }) {
    window.Attach(logic);
    logic.Form_Load();
    if (window.hwnd() != nullptr) window.Show(SW_SHOW);
  }
  HWND Control(ControlId id) const { return window.control(id); }
  void Click(ControlId id) { SendMessageW(Control(id), BM_CLICK, 0, 0); }
  // A key as the message loop hands it to the dialog manager, with Shift held or not.
  void Key(WPARAM key, bool shift = false) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    MSG message{GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
    IsDialogMessageW(window.hwnd(), &message);
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
  }
  bool LooksDefault(ControlId id) const {
    return (GetWindowLongPtrW(Control(id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> texts;
    for (int row = 0; row < window.RowCount(); ++row) texts.push_back(window.RowText(row));
    return texts;
  }

  testing::Journal journal;
  testing::FakeSystem system;
  testing::FakeClipboard clipboard{journal};
  testing::FakeMessages messages{journal};
  testing::FakePicker picker;
  testing::CharacterFitter fitter;
  MainWindow window{GetModuleHandleW(nullptr)};
  MainWindowLogic logic;
};

class Win32WindowTest : public ::testing::Test, protected Harness {
 protected:
  void SetUp() override {
    if (window.hwnd() == nullptr) GTEST_SKIP() << "no window can be made here";
  }
};

TEST_F(Win32WindowTest, LayoutAtTheScreensResolutionAndAfterAChange) {
  ASSERT_EQ(window.dpi(), 96);
  RECT client{};
  GetClientRect(window.hwnd(), &client);
  EXPECT_EQ(client.right, TwipsToPixels(kClientArea.width, 96));
  EXPECT_EQ(client.bottom, TwipsToPixels(kClientArea.height, 96));
  ExpectLaidOut(window);

  RECT suggested{100, 50, 100 + 800, 50 + 200};
  SendMessageW(window.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  ASSERT_EQ(window.dpi(), 144);
  RECT outer{};
  GetWindowRect(window.hwnd(), &outer);
  EXPECT_TRUE(EqualRect(&outer, &suggested));
  ExpectLaidOut(window);
  EXPECT_EQ(FontOf(Control(kLabel2)).lfHeight, -21) << "10.5 points at 144 dots per inch";
}

TEST_F(Win32WindowTest, TabOrderAndOnlyAFocusedButtonTakesEnter) {
  const ControlId order[] = {kList1,     kCommand4,  kCommand5,  kCheckSize, kCommand1,    kCommand3, kCheckPath,
                             kCheckDate, kCheckByte, kOptionTXT, kCheckFree, kCheckVolume, kList1};
  EXPECT_EQ(GetFocus(), Control(kList1));
  for (std::size_t i = 1; i < std::size(order); ++i) {
    EXPECT_EQ(GetNextDlgTabItem(window.hwnd(), Control(order[i - 1]), FALSE), Control(order[i])) << order[i - 1];
  }
  picker.answers.push_back(std::string("C:\\picked"));
  for (const WPARAM key : {VK_ESCAPE, VK_RETURN}) Key(key);
  EXPECT_TRUE(picker.prompts.empty() && journal.empty()) << "no button pressed from the folder list";
  SetFocus(Control(kCommand4));
  Key(VK_RETURN);
  EXPECT_EQ(picker.prompts.size(), 1u);
  EXPECT_EQ(window.RowCount(), 1);
}

// Tab or Shift+Tab onto a button, then Enter: that button alone looks like the default, and is pressed.
TEST(Win32Window, EnterPressesTheButtonTabbedTo) {
  // Per button, what Enter did: the prompts, the rows, the clipboard and whether the window ended.
  const std::pair<ControlId, const char*> rows[] = {
      {kCommand4, "1 prompts, rows C:\\a\\ C:\\b\\ C:\\c\\, not listed"},
      {kCommand5, "0 prompts, rows C:\\a\\, not listed"},
      {kCommand1, "0 prompts, rows C:\\a\\ C:\\b\\, listed"},
      {kCommand3, "0 prompts, rows C:\\a\\ C:\\b\\, not listed, ended"},
  };
  for (const auto& [button, pressed] : rows) {
    for (const bool backwards : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "button " << button << (backwards ? " after Shift+Tab" : " after Tab"));
      Harness h;
      if (h.window.hwnd() == nullptr) GTEST_SKIP() << "no window can be made here";
      h.system.AddFile("C:\\a\\f.txt", 1);
      h.window.AddRow("C:\\a\\");
      h.window.AddRow("C:\\b\\");
      SendMessageW(h.Control(kList1), LB_SETSEL, TRUE, 1);
      h.picker.answers.push_back(std::string("C:\\c\\"));
      // From the control that Tab, or Shift+Tab, leaves for the button.
      HWND from = GetNextDlgTabItem(h.window.hwnd(), h.Control(button), !backwards);
      ASSERT_NE(from, h.Control(button));
      SetFocus(from);
      h.Key(VK_TAB, backwards);
      ASSERT_EQ(GetFocus(), h.Control(button));
      for (const ControlId other : {kCommand1, kCommand3, kCommand4, kCommand5}) {
        EXPECT_EQ(h.LooksDefault(other), other == button) << other;
      }
      h.Key(VK_RETURN);
      std::string outcome = std::to_string(h.picker.prompts.size()) + " prompts, rows";
      for (const std::string& row : h.Rows()) outcome += " " + row;
      outcome += h.clipboard.text.find("f.txt") != std::string::npos ? ", listed" : ", not listed";
      MSG quit{};
      if (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) outcome += ", ended";
      EXPECT_EQ(outcome, pressed);
    }
  }
}

// STOP, clicked or reached by Tab or Shift+Tab (its page's one stop) and Enter, ends one start folder.
TEST_F(Win32WindowTest, StopEndsOneStartFolderAndClosingEndsTheRun) {
  for (const char* folder : {"C:\\one\\a", "C:\\one\\b", "C:\\one\\c", "C:\\two\\d"}) {
    system.AddFile(std::string(folder) + "\\f.txt", 1);
  }
  window.AddRow("C:\\one\\");
  window.AddRow("C:\\two\\");
  int opens = 0;
  for (const char* how : {"clicked", "Tab", "Shift+Tab"}) {
    SCOPED_TRACE(how);
    messages.shown.clear();
    clipboard.text.clear();
    opens = 0;
    // While the first start folder's second folder is read.
    system.onOpen([&, how](std::string_view) {
      if (++opens != 2) return;
      if (how == std::string_view("clicked")) {
        PostMessageW(Control(kCommand2), BM_CLICK, 0, 0);
        return;
      }
      Key(VK_TAB, how == std::string_view("Shift+Tab"));
      EXPECT_EQ(GetFocus(), Control(kCommand2));
      EXPECT_TRUE(LooksDefault(kCommand2));
      Key(VK_RETURN);
    });
    Click(kCommand1);
    ASSERT_EQ(messages.shown.size(), 2u) << "the stop, then the end";
    EXPECT_EQ(messages.shown[0].text, engine::kInterrupted);
    EXPECT_EQ(clipboard.text.find("c\\f.txt"), std::string::npos) << "the stopped folder was not finished";
    EXPECT_NE(clipboard.text.find("two\\"), std::string::npos) << "the next start folder was listed";
  }

  // The close box in a run: the window goes, nothing more is shown or handed over, the message loop ends.
  messages.shown.clear();
  opens = 0;
  system.onOpen([&](std::string_view) {
    if (++opens == 2) PostMessageW(window.hwnd(), WM_CLOSE, 0, 0);
  });
  Click(kCommand1);
  EXPECT_FALSE(IsWindowVisible(window.hwnd()));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(clipboard.text, "");
  MSG quit{};
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// Dropped folders become rows in order, one past MAX_PATH whole; files and what is gone are left out, and a
// run takes nothing.
TEST_F(Win32WindowTest, DroppedFoldersBecomeRowsWhileIdle) {
  const std::string deep = "C:\\" + std::string(300, 'd');
  system.AddFile("C:\\a\\f.txt", 1);
  system.AddFile(deep + "\\g.txt", 1);
  system.AddFolder("C:\\B");
  Drop(window.hwnd(), {deep, "C:\\a\\f.txt", "C:\\B", "C:\\gone", "C:\\a"});
  window.ProcessEvents();
  const std::vector<std::string> rows = {"C:\\a\\", "C:\\B\\", deep + "\\"};
  EXPECT_EQ(Rows(), rows);

  bool dropped = false;
  system.onOpen([&](std::string_view) {
    if (!std::exchange(dropped, true)) Drop(window.hwnd(), {"C:\\a"});
  });
  Click(kCommand1);
  ASSERT_TRUE(dropped);
  MSG left{};
  ASSERT_FALSE(PeekMessageW(&left, window.hwnd(), WM_DROPFILES, WM_DROPFILES, PM_NOREMOVE)) << "not handled in the run";
  EXPECT_EQ(Rows(), rows);
}

}  // namespace
}  // namespace vexaro::ui::win32

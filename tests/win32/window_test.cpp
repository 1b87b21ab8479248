// The Win32 window over the shared logic: controls, layout, fonts, keyboard,
// resolution changes, and runs through the logic with fake facilities.
#include "ui/win32/main_window.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/convert_win32.h"
#include "tests/support/fake_facilities.h"
#include "tests/support/fake_system.h"

namespace vexaro::ui::win32 {
namespace {

using platform::win32::Narrow;
using testing::CharacterFitter;
using testing::FakeClipboard;
using testing::FakeMessages;
using testing::FakePicker;
using testing::FakeSystem;
using testing::Journal;

std::wstring Text(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

// A control's rectangle in its container's client coordinates.
RECT Placed(HWND control) {
  RECT box{};
  GetWindowRect(control, &box);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&box), 2);
  return box;
}

RECT Expected(const Twips& box, int dpi) {
  const int left = Scale(box.left, dpi), top = Scale(box.top, dpi);
  return {left, top, left + Scale(box.width, dpi), top + Scale(box.height, dpi)};
}

// A clock that moves on 20 ms at every look, so that every yield of the
// listing gives the message loop a turn.
class SteppingClock {
 public:
  std::chrono::steady_clock::time_point operator()() { return now_ += std::chrono::milliseconds(20); }

 private:
  std::chrono::steady_clock::time_point now_{};
};

class Win32WindowTest : public ::testing::Test {
 protected:
  Win32WindowTest()
      : clipboard(journal),
        messages(journal),
        logic(window, {system, clipboard, messages, picker, fitter}, SteppingClock()) {
    window.Attach(logic);
    logic.Form_Load();
  }
  void SetUp() override {
    if (window.hwnd() == nullptr) GTEST_SKIP() << "no window can be made here";
    window.Show(SW_SHOW);
  }

  HWND Control(ControlId id) const { return window.control(id); }
  void Click(ControlId id) { SendMessageW(Control(id), BM_CLICK, 0, 0); }
  // A key as the message loop hands it to the dialog manager.
  bool Key(WPARAM key) {
    MSG message{GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
    return IsDialogMessageW(window.hwnd(), &message) != 0;
  }

  Journal journal;
  FakeSystem system;
  FakeClipboard clipboard;
  FakeMessages messages;
  FakePicker picker;
  CharacterFitter fitter;
  MainWindow window{GetModuleHandleW(nullptr)};
  MainWindowLogic logic;
};

TEST_F(Win32WindowTest, EveryControlStandsWhereTheLayoutPutsIt) {
  const int dpi = window.dpi();
  for (const ControlLayout& row : kLayout) {
    HWND control = Control(row.id);
    ASSERT_TRUE(control) << row.id;
    EXPECT_EQ(GetParent(control), Control(row.container)) << row.id;
    EXPECT_EQ(GetDlgCtrlID(control), row.id);
    if (row.caption && row.kind != Kind::Label) {
      EXPECT_EQ(Text(control), row.caption) << row.id;
    }
    const RECT expected = Expected(row.box, dpi);
    const RECT actual = Placed(control);
    switch (row.kind) {
      case Kind::Label:
        if (row.id == kLabel1) {
          EXPECT_TRUE(EqualRect(&actual, &expected)) << "Label1 keeps its box";
        } else {
          // Self-sizing: centred where the layout centres it, same top.
          EXPECT_NEAR((actual.left + actual.right) / 2, (expected.left + expected.right) / 2, 1) << row.id;
          EXPECT_EQ(actual.top, expected.top) << row.id;
          EXPECT_GT(actual.right - actual.left, 0) << row.id;
        }
        break;
      case Kind::CheckBox:
      case Kind::OptionButton:
        // Same left edge and middle; never smaller than laid out.
        EXPECT_EQ(actual.left, expected.left) << row.id;
        EXPECT_NEAR((actual.top + actual.bottom) / 2, (expected.top + expected.bottom) / 2, 1) << row.id;
        EXPECT_GE(actual.right - actual.left, expected.right - expected.left) << row.id;
        EXPECT_GE(actual.bottom - actual.top, expected.bottom - expected.top) << row.id;
        break;
      default:
        EXPECT_TRUE(EqualRect(&actual, &expected)) << row.id << " at " << actual.left << "," << actual.top << " "
                                                   << actual.right - actual.left << "x" << actual.bottom - actual.top;
    }
  }
}

TEST_F(Win32WindowTest, FixedCentredWindowWithoutMenuOrMaximiseButton) {
  HWND form = window.hwnd();
  EXPECT_EQ(Text(form), L"Vexaro Ver 2.8");
  const LONG_PTR style = GetWindowLongPtrW(form, GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the user cannot resize it";
  EXPECT_EQ(GetMenu(form), nullptr);

  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, Scale(7500, window.dpi()));
  EXPECT_EQ(client.bottom, Scale(1365, window.dpi()));

  RECT outer{};
  GetWindowRect(form, &outer);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(form, MONITOR_DEFAULTTOPRIMARY), &monitor);
  EXPECT_NEAR(outer.left + outer.right, monitor.rcWork.left + monitor.rcWork.right, 2) << "centred across";
  EXPECT_NEAR(outer.top + outer.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 2) << "centred down";
}

TEST_F(Win32WindowTest, InitialValuesPagesAndFonts) {
  EXPECT_EQ(GetFocus(), Control(kList1)) << "the folder list has the first focus";
  for (ControlId id : {kCheckPath, kCheckSize, kCheckVolume, kCheckDate, kCheckByte, kCheckFree}) {
    EXPECT_EQ(SendMessageW(Control(id), BM_GETCHECK, 0, 0), BST_CHECKED) << id;
    EXPECT_EQ(GetWindowLongPtrW(Control(id), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX) << "two states: " << id;
  }
  EXPECT_EQ(SendMessageW(Control(kOptionTXT), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(Control(kOptionCSV), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(window.RowCount(), 0);
  EXPECT_EQ(Text(Control(kLabel1)), L"");
  EXPECT_EQ(Text(Control(kLabel2)), L"Listing Folders");
  EXPECT_TRUE(IsWindowVisible(Control(kFrame3)));
  EXPECT_FALSE(IsWindowVisible(Control(kFrame2)));
  EXPECT_FALSE(IsWindowVisible(Control(kCommand2)));
  EXPECT_TRUE(IsWindowVisible(Control(kLabel3)));
  EXPECT_EQ(GetWindowLongPtrW(Control(kFrame3), GWL_STYLE) & (WS_BORDER | WS_CAPTION | WS_DLGFRAME), 0);

  LOGFONTW status{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(kLabel2), WM_GETFONT, 0, 0)), sizeof status, &status);
  EXPECT_STREQ(status.lfFaceName, L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF");
  EXPECT_EQ(status.lfWeight, FW_BOLD);
  EXPECT_EQ(status.lfCharSet, SHIFTJIS_CHARSET);
  EXPECT_EQ(status.lfHeight, FontHeight(105, window.dpi()));
  EXPECT_FALSE(status.lfItalic || status.lfUnderline || status.lfStrikeOut);

  // Choosing CSV clears TXT, and the reverse.
  Click(kOptionCSV);
  EXPECT_TRUE(window.Options().OptionCSV);
  EXPECT_EQ(SendMessageW(Control(kOptionTXT), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  Click(kOptionTXT);
  EXPECT_FALSE(window.Options().OptionCSV);
  Click(kCheckByte);
  EXPECT_FALSE(window.Options().CheckByte);
}

TEST_F(Win32WindowTest, FolderListSortedIgnoringCaseWithSeveralMarksAndGreyGround) {
  const LONG_PTR style = GetWindowLongPtrW(Control(kList1), GWL_STYLE);
  EXPECT_TRUE(style & LBS_SORT);
  EXPECT_TRUE(style & LBS_MULTIPLESEL) << "a click or the space bar toggles one mark";
  for (const char* row : {"C:\\b\\", "C:\\A\\", "D:\\\xE6\x97\xA5\xE6\x9C\xAC\\", "C:\\b\\"}) window.AddRow(row);
  ASSERT_EQ(window.RowCount(), 4);
  EXPECT_EQ(window.RowText(0), "C:\\A\\");
  EXPECT_EQ(window.RowText(1), "C:\\b\\");
  EXPECT_EQ(window.RowText(2), "C:\\b\\");
  EXPECT_EQ(window.RowText(3), "D:\\\xE6\x97\xA5\xE6\x9C\xAC\\");

  // Space toggles the focused row's mark and leaves the others alone.
  SetFocus(Control(kList1));
  SendMessageW(Control(kList1), LB_SETCARETINDEX, 1, FALSE);
  SendMessageW(Control(kList1), WM_KEYDOWN, VK_SPACE, 0);
  SendMessageW(Control(kList1), LB_SETCARETINDEX, 3, FALSE);
  SendMessageW(Control(kList1), WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_FALSE(window.IsRowMarked(0));
  EXPECT_TRUE(window.IsRowMarked(1));
  EXPECT_TRUE(window.IsRowMarked(3));
  SendMessageW(Control(kList1), WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_FALSE(window.IsRowMarked(3));
  EXPECT_TRUE(window.IsRowMarked(1));

  const LRESULT wide = SendMessageW(Control(kList1), LB_GETHORIZONTALEXTENT, 0, 0);
  EXPECT_GT(wide, 0) << "the list scrolls sideways to its widest row";
  Click(kCommand5);  // Delete Selected
  ASSERT_EQ(window.RowCount(), 3);
  EXPECT_EQ(window.RowText(1), "C:\\b\\");
  window.AddRow(std::string(300, 'w'));
  EXPECT_GT(SendMessageW(Control(kList1), LB_GETHORIZONTALEXTENT, 0, 0), wide);

  HDC dc = GetDC(Control(kList1));
  const auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(Control(kFrame3), WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Control(kList1))));
  EXPECT_EQ(GetBkColor(dc), RGB(224, 224, 224));
  ReleaseDC(Control(kList1), dc);
  LOGBRUSH ground{};
  ASSERT_TRUE(brush);
  GetObjectW(brush, sizeof ground, &ground);
  EXPECT_EQ(ground.lbColor, RGB(224, 224, 224));
}

TEST_F(Win32WindowTest, TabOrderEnterAndEscape) {
  const ControlId idle[] = {kList1,    kCommand4,  kCommand5,  kCheckSize, kCommand1, kCommand3,  kCheckPath,
                            kCheckDate, kCheckByte, kOptionTXT, kCheckFree, kCheckVolume, kList1};
  HWND at = Control(kList1);
  for (std::size_t i = 1; i < std::size(idle); ++i) {
    at = GetNextDlgTabItem(window.hwnd(), at, FALSE);
    EXPECT_EQ(GetDlgCtrlID(at), idle[i]) << "after " << idle[i - 1];
  }
  // With CSV chosen, Tab enters the group there.
  Click(kOptionCSV);
  EXPECT_EQ(GetNextDlgTabItem(window.hwnd(), Control(kCheckByte), FALSE), Control(kOptionCSV));
  // No caption has an access key.
  for (const ControlLayout& row : kLayout) {
    if (row.caption) {
      EXPECT_EQ(std::wstring_view(row.caption).find(L'&'), std::wstring_view::npos) << row.id;
    }
  }

  // Escape presses nothing; Enter presses only a focused button.
  picker.answers.push_back(std::string("C:\\picked"));
  SetFocus(Control(kList1));
  EXPECT_TRUE(Key(VK_ESCAPE));
  EXPECT_TRUE(Key(VK_RETURN));
  EXPECT_TRUE(picker.prompts.empty());
  EXPECT_TRUE(journal.empty()) << journal.front();
  SetFocus(Control(kCommand4));
  EXPECT_TRUE(Key(VK_RETURN));
  ASSERT_EQ(picker.prompts.size(), 1u);
  EXPECT_EQ(picker.prompts[0], "\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\xE3\x82\x92\xE9\x81\xB8\xE6\x8A\x9E"
                               "\xE3\x81\x97\xE3\x81\xA6\xE3\x81\x8F\xE3\x81\xA0\xE3\x81\x95\xE3\x81\x84");
  ASSERT_EQ(window.RowCount(), 1);
  EXPECT_EQ(window.RowText(0), "C:\\picked\\");
}

TEST_F(Win32WindowTest, ARunShowsTheProgressPageAndHandsTheListingOver) {
  system.AddFile("C:\\data\\a.txt", 1536);
  system.AddFile("C:\\data\\sub\\b.txt", 10);
  window.AddRow("C:\\data\\");
  bool stopReachable = false;
  bool setupHidden = false;
  system.onOpen([&](std::string_view) {
    stopReachable = IsWindowVisible(Control(kCommand2)) && GetFocus() == Control(kCommand2);
    setupHidden = !IsWindowVisible(Control(kFrame3));
  });
  Click(kCommand1);
  EXPECT_TRUE(stopReachable);
  EXPECT_TRUE(setupHidden);
  EXPECT_NE(clipboard.text.find("        1536 : a.txt\r\n"), std::string::npos) << clipboard.text;
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "Vexaro");
  EXPECT_TRUE(IsWindowVisible(Control(kFrame3)));
  EXPECT_FALSE(IsWindowVisible(Control(kFrame2)));
  EXPECT_EQ(Text(Control(kLabel2)), L"Send Data to Clipboard");
  EXPECT_EQ(Narrow(Text(Control(kLabel1))), "C:\\data\\sub\\") << "the last folder listed stays shown";
}

TEST_F(Win32WindowTest, StopEndsTheStartFolderAndCloseEndsTheProgram) {
  for (const char* folder : {"C:\\one\\a", "C:\\one\\b", "C:\\one\\c", "C:\\two\\d"}) system.AddFile(std::string(folder) + "\\f.txt", 1);
  window.AddRow("C:\\one\\");
  window.AddRow("C:\\two\\");
  int opens = 0;
  system.onOpen([&](std::string_view) {
    // STOP clicked while the first start folder's second folder is read.
    if (++opens == 2) PostMessageW(Control(kCommand2), BM_CLICK, 0, 0);
  });
  Click(kCommand1);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].text, "\xE5\x87\xA6\xE7\x90\x86\xE3\x82\x92\xE4\xB8\xAD\xE6\x96\xAD\xE3\x81\x97\xE3\x81"
                                    "\xBE\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82");
  EXPECT_NE(clipboard.text.find("two\\"), std::string::npos) << "the next start folder was listed";
  EXPECT_EQ(clipboard.text.find("c\\f.txt"), std::string::npos) << "the stopped one was not finished";

  // The close box during a run: the window goes, the listing stops, nothing
  // more is shown, and the program ends once the run has unwound.
  messages.shown.clear();
  clipboard.text = "untouched";
  opens = 0;
  system.onOpen([&](std::string_view) {
    if (++opens == 2) PostMessageW(window.hwnd(), WM_CLOSE, 0, 0);
  });
  Click(kCommand1);
  EXPECT_FALSE(IsWindowVisible(window.hwnd()));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(clipboard.text, "") << "cleared at the start, nothing placed after the close";
  MSG quit{};
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the message loop is told to end";
}

TEST_F(Win32WindowTest, StatusLineFitsItsTextAboutItsCentre) {
  window.ShowPage(Page::Progress);
  const auto box = [&] { return Placed(Control(kLabel2)); };
  window.SetStatusCaption("Listing Files");
  const RECT shortText = box();
  window.SetStatusCaption("Send Data to Clipboard");
  const RECT longText = box();
  EXPECT_GT(longText.right - longText.left, shortText.right - shortText.left);
  EXPECT_NEAR((longText.left + longText.right) / 2, (shortText.left + shortText.right) / 2, 1);
  window.SetStatusCaption("Listing Files");
  const RECT again = box();
  EXPECT_TRUE(EqualRect(&shortText, &again)) << "narrows again";
  EXPECT_EQ(window.PathCaptionWidth(), Scale(7020, window.dpi()));
  window.ShowPage(Page::Setup);
}

TEST_F(Win32WindowTest, AnotherResolutionScalesEverythingIntoTheSuggestedRectangle) {
  RECT suggested{100, 50, 100 + 800, 50 + 200};
  SendMessageW(window.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(window.dpi(), 144);
  RECT outer{};
  GetWindowRect(window.hwnd(), &outer);
  EXPECT_TRUE(EqualRect(&outer, &suggested));
  for (ControlId id : {kList1, kCommand1, kCommand2, kLabel1, kFrame3}) {
    const RECT expected = Expected(FindLayout(id)->box, 144);
    const RECT actual = Placed(Control(id));
    EXPECT_TRUE(EqualRect(&actual, &expected)) << id;
  }
  LOGFONTW status{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(kLabel2), WM_GETFONT, 0, 0)), sizeof status, &status);
  EXPECT_EQ(status.lfHeight, -21) << "10.5 points at 144 dots per inch";
  LOGFONTW list{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(kList1), WM_GETFONT, 0, 0)), sizeof list, &list);
  EXPECT_EQ(list.lfHeight, -18) << "9 points at 144 dots per inch";
}

}  // namespace
}  // namespace vexaro::ui::win32

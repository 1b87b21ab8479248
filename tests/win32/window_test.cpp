// The Win32 window over the shared logic with fake facilities: where its
// controls stand at two resolutions, the keyboard, STOP and closing in a run.
#include "ui/win32/main_window.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/fake_facilities.h"
#include "tests/support/fake_system.h"

namespace vexaro::ui::win32 {
namespace {

// Every control where the layout puts it, in its container's coordinates.
// Labels that size themselves keep their centre; check and option boxes
// their left edge and middle.
void ExpectLaidOut(const MainWindow& window) {
  for (const ControlLayout& row : kLayout) {
    const int dpi = window.dpi(), left = Scale(row.box.left, dpi), top = Scale(row.box.top, dpi);
    const RECT want{left, top, left + Scale(row.box.width, dpi), top + Scale(row.box.height, dpi)};
    RECT got{};
    GetWindowRect(window.control(row.id), &got);
    MapWindowPoints(nullptr, GetParent(window.control(row.id)), reinterpret_cast<POINT*>(&got), 2);
    if (row.kind == Kind::Label && row.id != kLabel1) {
      EXPECT_NEAR(got.left + got.right, want.left + want.right, 2) << row.id;
      EXPECT_EQ(got.top, want.top) << row.id;
    } else if (row.kind == Kind::CheckBox || row.kind == Kind::OptionButton) {
      EXPECT_EQ(got.left, want.left) << row.id;
      EXPECT_NEAR(got.top + got.bottom, want.top + want.bottom, 2) << row.id;
    } else {
      EXPECT_TRUE(EqualRect(&got, &want)) << row.id << " at " << got.left << "," << got.top << " to " << got.right
                                          << "," << got.bottom;
    }
  }
}

class Win32WindowTest : public ::testing::Test {
 protected:
  // Every look at the clock is 20 ms later: each yield of a run gives the
  // message loop a turn.
  Win32WindowTest()
      : logic(window, {system, clipboard, messages, picker, fitter},
              [now = std::chrono::steady_clock::time_point{}]() mutable { return now += std::chrono::milliseconds(20); }) {
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
  void Key(WPARAM key) {
    MSG message{GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
    IsDialogMessageW(window.hwnd(), &message);
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

TEST_F(Win32WindowTest, LayoutAtTheScreensResolutionAndAfterAChange) {
  ASSERT_EQ(window.dpi(), 96);
  RECT client{};
  GetClientRect(window.hwnd(), &client);
  EXPECT_EQ(client.right, Scale(kClientArea.width, 96));
  EXPECT_EQ(client.bottom, Scale(kClientArea.height, 96));
  ExpectLaidOut(window);

  RECT suggested{100, 50, 100 + 800, 50 + 200};
  SendMessageW(window.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  ASSERT_EQ(window.dpi(), 144);
  RECT outer{};
  GetWindowRect(window.hwnd(), &outer);
  EXPECT_TRUE(EqualRect(&outer, &suggested));
  ExpectLaidOut(window);
  LOGFONTW status{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(kLabel2), WM_GETFONT, 0, 0)), sizeof status, &status);
  EXPECT_EQ(status.lfHeight, -21) << "10.5 points at 144 dots per inch";
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

TEST_F(Win32WindowTest, StopEndsOneStartFolderAndClosingEndsTheRun) {
  for (const char* folder : {"C:\\one\\a", "C:\\one\\b", "C:\\one\\c", "C:\\two\\d"}) {
    system.AddFile(std::string(folder) + "\\f.txt", 1);
  }
  window.AddRow("C:\\one\\");
  window.AddRow("C:\\two\\");
  int opens = 0;
  // STOP is clicked while the first start folder's second folder is read.
  system.onOpen([&](std::string_view) {
    if (++opens == 2) PostMessageW(Control(kCommand2), BM_CLICK, 0, 0);
  });
  Click(kCommand1);
  ASSERT_EQ(messages.shown.size(), 2u) << "the stop, then the end";
  EXPECT_EQ(messages.shown[0].text, engine::kInterrupted);
  EXPECT_EQ(clipboard.text.find("c\\f.txt"), std::string::npos) << "the stopped folder was not finished";
  EXPECT_NE(clipboard.text.find("two\\"), std::string::npos) << "the next start folder was listed";

  // The close box in a run: the window goes, nothing more is shown or
  // handed over, and the message loop is told to end.
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

}  // namespace
}  // namespace vexaro::ui::win32

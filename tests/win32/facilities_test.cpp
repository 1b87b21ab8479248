// The window facilities on the real system: clipboard, message box, folder
// dialog and path fitting. The dialogs are answered from a second thread, as
// a user would answer them.
#include "platform/windows_win32.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/convert_win32.h"
#include "platform/win32_facilities.h"

namespace vexaro::platform::win32 {
namespace {

using namespace std::chrono_literals;

// A plain top-level window that owns what the facilities show.
class OwnerWindow {
 public:
  OwnerWindow() {
    hwnd_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  }
  ~OwnerWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

std::optional<std::wstring> ClipboardText() {
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::optional<std::wstring> text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// Holds the clipboard open from another thread for `hold`.
class ClipboardHolder {
 public:
  explicit ClipboardHolder(std::chrono::milliseconds hold)
      : thread_([this, hold] {
          opened_ = OpenClipboard(nullptr) != 0;
          ready_ = true;
          std::this_thread::sleep_for(hold);
          if (opened_) CloseClipboard();
        }) {
    while (!ready_) std::this_thread::sleep_for(1ms);
  }
  ~ClipboardHolder() { thread_.join(); }
  bool opened() const { return opened_; }

 private:
  std::atomic<bool> ready_{false};
  std::atomic<bool> opened_{false};
  std::thread thread_;
};

TEST(Win32Clipboard, TextInAnyScriptRoundTripsAndClearEmpties) {
  OwnerWindow owner;
  ASSERT_TRUE(owner.hwnd());
  Win32Clipboard clipboard(owner.hwnd());
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"listing lines", "\r\nDate and Time : 2026/12/06 9:05:00\r\n        1536 : a.txt\r\n"},
      {"names in any script", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 \xF0\x9F\x98\x80"},
      {"empty", ""},
      {"large", std::string(3 << 20, 'x')},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(clipboard.SetText(c.text)) << c.name;
    EXPECT_EQ(ClipboardText(), Widen(c.text)) << c.name;
  }
  EXPECT_FALSE(clipboard.Clear());
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
}

TEST(Win32Clipboard, WaitsBrieflyForAnotherHolderThenSaysWhy) {
  OwnerWindow owner;
  {
    ClipboardHolder holder(100ms);
    ASSERT_TRUE(holder.opened());
    Win32Clipboard patient(owner.hwnd(), 2000ms);
    EXPECT_FALSE(patient.SetText("after the holder")) << "a short hold is waited out";
  }
  EXPECT_EQ(ClipboardText(), L"after the holder");
  {
    ClipboardHolder holder(600ms);
    ASSERT_TRUE(holder.opened());
    Win32Clipboard hasty(owner.hwnd(), 50ms);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(hasty.SetText("never placed")) << "a long hold is a failure, reported";
    EXPECT_TRUE(hasty.Clear());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 500ms);
  }
  EXPECT_EQ(ClipboardText(), L"after the holder") << "nothing was replaced";
}

// Runs `answer` on another thread once a window of the dialog class owned by
// `owner` has appeared; returns whether it appeared.
class DialogAnswer {
 public:
  DialogAnswer(HWND owner, std::function<void(HWND dialog)> answer)
      : thread_([this, owner, answer = std::move(answer)] {
          const auto deadline = std::chrono::steady_clock::now() + 20s;
          while (std::chrono::steady_clock::now() < deadline) {
            HWND dialog = nullptr;
            while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr)) != nullptr) {
              if (GetWindow(dialog, GW_OWNER) == owner && IsWindowVisible(dialog)) {
                ownerDisabled_ = !IsWindowEnabled(owner);
                answer(dialog);
                found_ = true;
                return;
              }
            }
            std::this_thread::sleep_for(20ms);
          }
        }) {}
  ~DialogAnswer() {
    if (thread_.joinable()) thread_.join();
  }
  bool Found() {
    thread_.join();
    return found_;
  }
  bool ownerDisabled() const { return ownerDisabled_; }

 private:
  std::atomic<bool> found_{false};
  std::atomic<bool> ownerDisabled_{false};
  std::thread thread_;
};

std::wstring Text(HWND hwnd) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return text;
}

// The texts of a dialog's static controls, in order.
std::vector<std::wstring> StaticTexts(HWND dialog) {
  std::vector<std::wstring> texts;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextLengthW(child) > 0) texts.push_back(Text(child));
  }
  return texts;
}

TEST(Win32MessageDialog, InformationBoxWithOneOkButtonModalToTheWindow) {
  OwnerWindow owner;
  std::wstring title;
  std::vector<std::wstring> texts;
  bool hasOk = false;
  bool hasCancel = true;
  DialogAnswer answer(owner.hwnd(), [&](HWND box) {
    title = Text(box);
    texts = StaticTexts(box);
    hasOk = GetDlgItem(box, IDOK) != nullptr;
    hasCancel = GetDlgItem(box, IDCANCEL) != nullptr && IsWindowVisible(GetDlgItem(box, IDCANCEL));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  Win32MessageDialog(owner.hwnd())
      .ShowInformation("\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE5\x90\x8D\r\nline two", "Vexaro");
  ASSERT_TRUE(answer.Found());
  EXPECT_TRUE(answer.ownerDisabled()) << "modal to the window";
  EXPECT_EQ(title, L"Vexaro");
  EXPECT_NE(std::find(texts.begin(), texts.end(), L"\u30D5\u30A1\u30A4\u30EB\u540D\r\nline two"), texts.end());
  EXPECT_TRUE(hasOk);
  EXPECT_FALSE(hasCancel);
}

TEST(Win32FolderPicker, PromptAboveTheTreeAndCancelGivesNothing) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  OwnerWindow owner;
  std::vector<std::wstring> texts;
  DialogAnswer cancel(owner.hwnd(), [&](HWND dialog) {
    texts = StaticTexts(dialog);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  const std::string prompt = "\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\xE3\x82\x92\xE9\x81\xB8\xE6\x8A\x9E"
                             "\xE3\x81\x97\xE3\x81\xA6\xE3\x81\x8F\xE3\x81\xA0\xE3\x81\x95\xE3\x81\x84";
  EXPECT_EQ(Win32FolderPicker(owner.hwnd()).PickFolder(prompt), std::nullopt);
  ASSERT_TRUE(cancel.Found());
  EXPECT_TRUE(cancel.ownerDisabled()) << "modal to the window";
  EXPECT_NE(std::find(texts.begin(), texts.end(), Widen(prompt)), texts.end());
  CoUninitialize();
}

TEST(Win32FolderPicker, OkGivesTheFileSystemPathOfTheChoice) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  OwnerWindow owner;
  // The tree opens at the desktop, a file-system folder.
  DialogAnswer ok(owner.hwnd(), [](HWND dialog) {
    std::this_thread::sleep_for(300ms);  // the tree fills in
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  const std::optional<std::string> chosen = Win32FolderPicker(owner.hwnd()).PickFolder("prompt");
  ASSERT_TRUE(ok.Found());
  ASSERT_TRUE(chosen);
  const DWORD attributes = GetFileAttributesW(Widen(*chosen).c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << *chosen;
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY) << *chosen;
  CoUninitialize();
}

class Win32PathFitterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    label_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 20, nullptr, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
    ASSERT_TRUE(label_);
    LOGFONTW face{};
    face.lfHeight = -12;
    wcscpy(face.lfFaceName, L"Tahoma");
    font_ = CreateFontIndirectW(&face);
    SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  void TearDown() override {
    DestroyWindow(label_);
    DeleteObject(font_);
  }
  int Width(const std::string& text) const {
    HDC dc = GetDC(label_);
    HGDIOBJ old = SelectObject(dc, font_);
    const std::wstring wide = Widen(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.data(), static_cast<int>(wide.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(label_, dc);
    return size.cx;
  }

  HWND label_ = nullptr;
  HFONT font_ = nullptr;
};

TEST_F(Win32PathFitterTest, KeepsTheStartAndTheLastComponentWithinTheWidth) {
  Win32PathFitter fitter(label_, '\\');
  const std::string longPath = "C:\\Users\\someone\\Documents\\projects\\archive\\2026\\december\\final report.txt";
  const int full = Width(longPath);
  struct Case {
    const char* name;
    std::string path;
    int width;
    bool unchanged;
  };
  const Case cases[] = {
      {"fits", longPath, full, true},
      {"empty", "", 10, true},
      {"one pixel short", longPath, full - 1, false},
      {"half", longPath, full / 2, false},
      {"an ampersand is a character", "C:\\Tom & Jerry\\with & and more & still more\\file & name.txt", 150, false},
      {"names in any script",
       "C:\\\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\\\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4\\"
       "\xE5\x86\x99\xE7\x9C\x9F\\\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\\last.txt",
       90, false},
  };
  for (const auto& c : cases) {
    const std::string fitted = fitter.FitPath(c.path, c.width);
    if (c.unchanged) {
      EXPECT_EQ(fitted, c.path) << c.name;
      continue;
    }
    EXPECT_LE(Width(fitted), c.width) << c.name << ": " << fitted;
    EXPECT_NE(fitted.find("..."), std::string::npos) << c.name << ": " << fitted;
    EXPECT_EQ(fitted.substr(0, 2), "C:") << c.name << ": the start stays: " << fitted;
    const std::string last = c.path.substr(c.path.rfind('\\'));
    EXPECT_TRUE(fitted.ends_with(last)) << c.name << ": the last component stays: " << fitted;
  }
}

TEST_F(Win32PathFitterTest, ALastComponentWiderThanTheLabelIsCutToo) {
  Win32PathFitter fitter(label_, '\\');
  const std::string path = "C:\\data\\" + std::string(80, 'w') + ".txt";
  for (int width : {60, 120, 200}) {
    const std::string fitted = fitter.FitPath(path, width);
    EXPECT_LE(Width(fitted), width) << fitted;
    EXPECT_NE(fitted.find("..."), std::string::npos) << fitted;
  }
}

}  // namespace
}  // namespace vexaro::platform::win32

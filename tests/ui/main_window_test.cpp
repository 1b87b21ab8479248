#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <set>

#include "tests/support/fake_facilities.h"
#include "tests/support/fake_system.h"
#include "tests/support/recording_host.h"
#include "ui/fit_path.h"

namespace vexaro::ui {
namespace {

using testing::CharacterFitter;
using testing::FakeClipboard;
using testing::FakeMessages;
using testing::FakePicker;
using testing::FakeSystem;
using testing::Journal;

constexpr const char* kInterruptedLine = "message: 処理を中断しました。";
constexpr const char* kSentLine = "message: ファイル名のリストを\r\nクリップ・ボードに転送しました。";

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

// A window without a toolkit: records what the logic does to it and runs a
// test's hook where a real window would handle input.
class FakeView final : public MainWindowView {
 public:
  explicit FakeView(Journal& journal) : journal_(journal) {}

  struct Row {
    std::string text;
    bool marked = false;
  };
  std::vector<Row> rows;
  engine::ListingOptions options;
  std::string pathCaption = "previous";
  int pathWidth = TwipsToPixels(7020, 96);
  int turns = 0;
  int ends = 0;
  std::function<void()> duringTurn;

  void ShowPage(Page page) override {
    journal_.push_back(page == Page::Setup ? "page: setup" : "page: progress");
  }
  void SetStatusCaption(std::string_view caption) override {
    journal_.push_back("status: " + std::string(caption));
  }
  void SetPathCaption(std::string_view caption) override { pathCaption = caption; }
  int PathCaptionWidth() const override { return pathWidth; }
  int RowCount() const override { return static_cast<int>(rows.size()); }
  std::string RowText(int row) const override { return rows.at(static_cast<std::size_t>(row)).text; }
  bool IsRowMarked(int row) const override { return rows.at(static_cast<std::size_t>(row)).marked; }
  void RemoveRow(int row) override { rows.erase(rows.begin() + row); }
  void AddRow(std::string_view text) override {
    Row row{std::string(text)};
    const auto at = std::upper_bound(rows.begin(), rows.end(), row,
                                     [](const Row& a, const Row& b) { return LessIgnoringCase(a.text, b.text); });
    rows.insert(at, std::move(row));
  }
  engine::ListingOptions Options() const override { return options; }
  void ProcessEvents() override {
    ++turns;
    if (duringTurn) duringTurn();
  }
  void EndProgram() override {
    ++ends;
    journal_.emplace_back("end");
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& row : rows) out.push_back(row.text);
    return out;
  }

 private:
  Journal& journal_;
};

// A monotonic clock under the test's control; each reading may move it on.
struct ManualClock {
  std::chrono::steady_clock::time_point now{};
  std::chrono::steady_clock::duration step = std::chrono::milliseconds(20);
  std::chrono::steady_clock::time_point Read() {
    const auto t = now;
    now += step;
    return t;
  }
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    system.SetLabel("C:\\", "DATA");
    system.SetSpace("C:", 13249974108, 106042260111);
    system.AddFile("C:\\a\\one.txt", 10);
    system.AddFile("C:\\a\\sub1\\two.txt", 20);
    system.AddFile("C:\\a\\sub2\\three.txt", 30);
    system.AddFile("C:\\a\\sub2\\deep\\four.txt", 40);
    system.AddFile("C:\\b\\five.txt", 50);
    system.AddFile("C:\\b\\more\\six.txt", 60);
  }

  // The listing of `folders` as the engine alone writes it.
  std::string Reference(const std::vector<std::string>& folders) {
    testing::RecordingHost host;
    std::string text;
    engine::StringSink sink(text);
    engine::ListingJob job(system, host, sink);
    for (const auto& folder : folders) job.DoWork(folder, engine::ListingOptions{});
    return text;
  }

  std::vector<std::string> Journaled(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const auto& line : journal) {
      if (line.starts_with(prefix)) out.push_back(line);
    }
    return out;
  }

  Journal journal;
  FakeSystem system;
  FakeView view{journal};
  FakeClipboard clipboard{journal};
  FakeMessages messages{journal};
  FakePicker picker;
  CharacterFitter fitter;
  ManualClock clock;
  MainWindowLogic logic{view, {system, clipboard, messages, picker, fitter}, [this] { return clock.Read(); }};
};

TEST_F(MainWindowTest, StartOverTwoFoldersListsBothAndHandsTheTextOver) {
  view.AddRow("C:\\b\\");
  view.AddRow("C:\\a\\");
  logic.Command1_Click();

  const std::string expected = Reference({"C:\\a\\", "C:\\b\\"});
  EXPECT_EQ(logic.strListText(), expected);
  EXPECT_EQ(clipboard.text, expected);
  const Journal order{"page: progress",
                      "clipboard: clear",
                      "status: Clipboad Cleared",
                      "status: Listing Folders",
                      "status: Listing Files",
                      "status: Listing Folders",
                      "status: Listing Files",
                      "status: Send Data to Clipboard",
                      "clipboard: set " + std::to_string(expected.size()) + " bytes",
                      kSentLine,
                      "page: setup"};
  EXPECT_EQ(journal, order);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "Vexaro");
  EXPECT_GT(view.turns, 0);
  EXPECT_FALSE(logic.running());
  EXPECT_EQ(view.ends, 0);
}

TEST_F(MainWindowTest, EmptyListStillClearsAndSendsAnEmptyText) {
  logic.Command1_Click();
  const Journal order{"page: progress",       "clipboard: clear",        "status: Clipboad Cleared",
                      "status: Send Data to Clipboard", "clipboard: set 0 bytes", kSentLine,
                      "page: setup"};
  EXPECT_EQ(journal, order);
  EXPECT_EQ(clipboard.text, "");
  EXPECT_EQ(logic.strListText(), "");
}

TEST_F(MainWindowTest, SameFolderTwiceIsListedTwice) {
  picker.answers = {"C:\\a", "C:\\a"};
  logic.Command4_Click();
  logic.Command4_Click();
  ASSERT_EQ(view.Texts(), (std::vector<std::string>{"C:\\a\\", "C:\\a\\"}));
  logic.Command1_Click();
  const std::string once = Reference({"C:\\a\\"});
  EXPECT_EQ(clipboard.text, once + once);
}

// STOP pressed at the first turn of the message loop that sees `status` as
// the last status shown, in the first start folder only.
TEST_F(MainWindowTest, StopEndsTheCurrentFolderOnlyAndTheNextIsListedInFull) {
  struct Case {
    const char* name;
    const char* stopDuring;
    std::size_t minimumPartial;  // bytes of the first folder that are kept
  };
  const Case cases[] = {
      {"during the walk", "status: Listing Folders", 0},
      {"between folders of the listing", "status: Listing Files", 1},
  };
  const std::string second = Reference({"C:\\b\\"});
  const std::string firstWhole = Reference({"C:\\a\\"});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    journal.clear();
    view.rows.clear();
    view.AddRow("C:\\a\\");
    view.AddRow("C:\\b\\");
    bool stopped = false;
    view.duringTurn = [&] {
      if (!stopped && Journaled("status: ").back() == c.stopDuring) {
        stopped = true;
        logic.Command2_Click();
      }
    };
    logic.Command1_Click();
    ASSERT_TRUE(stopped);

    EXPECT_EQ(Journaled("message: "), (Journal{kInterruptedLine, kSentLine}));
    const std::string& text = clipboard.text;
    ASSERT_GE(text.size(), second.size());
    EXPECT_EQ(text.substr(text.size() - second.size()), second) << "second folder listed in full";
    const std::string partial = text.substr(0, text.size() - second.size());
    EXPECT_GE(partial.size(), c.minimumPartial);
    EXPECT_LT(partial.size(), firstWhole.size());
    EXPECT_EQ(firstWhole.compare(0, partial.size(), partial), 0) << "a leading part of the first folder";
    EXPECT_EQ(journal.back(), "page: setup");
  }
}

TEST_F(MainWindowTest, StopTakesOneClickPerRemainingFolder) {
  view.AddRow("C:\\a\\");
  view.AddRow("C:\\b\\");
  view.duringTurn = [&] { logic.Command2_Click(); };
  logic.Command1_Click();
  EXPECT_EQ(Journaled("message: "), (Journal{kInterruptedLine, kInterruptedLine, kSentLine}));
}

TEST_F(MainWindowTest, ClipboardThatRefusesTheTextIsReportedInsteadOfTheClosingMessage) {
  struct Case {
    bool refuseClear;
    bool refuseText;
    const char* message;
  };
  const Case cases[] = {
      {false, false, kSentLine},
      {true, false, kSentLine},
      {false, true, "message: クリップ・ボードに転送できませんでした。"},
      {true, true, "message: クリップ・ボードに転送できませんでした。"},
  };
  view.AddRow("C:\\b\\");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.refuseClear) + std::to_string(c.refuseText));
    journal.clear();
    clipboard.refuseClear = c.refuseClear;
    clipboard.refuseText = c.refuseText;
    logic.Command1_Click();
    EXPECT_EQ(Journaled("message: "), Journal{c.message});
    EXPECT_EQ(journal.back(), "page: setup");
    EXPECT_EQ(logic.strListText(), Reference({"C:\\b\\"})) << "the text stays for another try";
  }
}

TEST_F(MainWindowTest, ClosingDuringARunStopsEverythingAndEndsWithoutMessages) {
  for (const char* closeDuring : {"status: Listing Folders", "status: Listing Files"}) {
    SCOPED_TRACE(closeDuring);
    MainWindowLogic run(view, {system, clipboard, messages, picker, fitter}, [this] { return clock.Read(); });
    journal.clear();
    view.rows.clear();
    view.AddRow("C:\\a\\");
    view.AddRow("C:\\b\\");
    view.ends = 0;
    bool secondOpened = false;
    system.onOpen([&](std::string_view path) { secondOpened |= path.starts_with("C:\\b"); });
    bool closed = false;
    view.duringTurn = [&] {
      if (!closed && Journaled("status: ").back() == closeDuring) {
        closed = true;
        run.WindowClosing();
        EXPECT_EQ(view.ends, 0) << "not while the run is still on the stack";
      }
    };
    run.Command1_Click();
    system.onOpen(nullptr);

    ASSERT_TRUE(closed);
    EXPECT_TRUE(Journaled("message: ").empty());
    EXPECT_TRUE(Journaled("clipboard: set").empty());
    EXPECT_EQ(view.ends, 1);
    EXPECT_EQ(journal.back(), "end");
    EXPECT_FALSE(secondOpened) << "the second folder is not touched";
  }
}

TEST_F(MainWindowTest, ClosingWhileIdleEndsAtOnce) {
  logic.WindowClosing();
  EXPECT_EQ(view.ends, 1);
  logic.Command3_Click();
  EXPECT_EQ(view.ends, 2);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MainWindowTest, ListingTextStaysAfterTheRunUntilTheNextStart) {
  view.AddRow("C:\\b\\");
  logic.Command1_Click();
  const std::string first = logic.strListText();
  ASSERT_FALSE(first.empty());
  clipboard.text = "something else";
  EXPECT_EQ(logic.strListText(), first);

  view.rows.clear();
  std::optional<std::string> atFirstTurn;
  view.AddRow("C:\\a\\");
  view.duringTurn = [&] {
    if (!atFirstTurn) atFirstTurn = logic.strListText();
  };
  logic.Command1_Click();
  EXPECT_EQ(logic.strListText(), Reference({"C:\\a\\"}));
  ASSERT_TRUE(atFirstTurn);
  EXPECT_EQ(*atFirstTurn, "") << "emptied before the first folder";
}

TEST_F(MainWindowTest, DeleteSelectedRemovesExactlyTheMarkedRows) {
  struct Case {
    const char* name;
    std::set<int> marked;
    std::vector<std::string> left;
  };
  const std::vector<std::string> four{"C:\\a\\", "C:\\b\\", "C:\\c\\", "C:\\d\\"};
  const Case cases[] = {
      {"rows 1 and 2", {1, 2}, {"C:\\a\\", "C:\\d\\"}},
      {"all rows", {0, 1, 2, 3}, {}},
      {"no row", {}, four},
      {"first and last", {0, 3}, {"C:\\b\\", "C:\\c\\"}},
      {"every other", {0, 2}, {"C:\\b\\", "C:\\d\\"}},
      {"last only", {3}, {"C:\\a\\", "C:\\b\\", "C:\\c\\"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    view.rows.clear();
    for (int i = 0; i < 4; ++i) view.rows.push_back({four[static_cast<std::size_t>(i)], c.marked.contains(i)});
    logic.Command5_Click();
    EXPECT_EQ(view.Texts(), c.left);
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MainWindowTest, AddFolderAppendsOneSeparatorAndIgnoresACancel) {
  struct Case {
    std::optional<std::string> chosen;
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {std::nullopt, {}},
      {"", {}},
      {"C:\\", {"C:\\"}},
      {"C:\\Data", {"C:\\Data\\"}},
      {"C:\\Data\\", {"C:\\Data\\"}},
      {"\\\\server\\share", {"\\\\server\\share\\"}},
      {"C:\\フォルダ", {"C:\\フォルダ\\"}},
  };
  for (const auto& c : cases) {
    view.rows.clear();
    picker.answers = {c.chosen};
    logic.Command4_Click();
    EXPECT_EQ(view.Texts(), c.rows) << c.chosen.value_or("(cancelled)");
  }
  EXPECT_EQ(picker.prompts.back(), "フォルダを選択してください");
}

TEST_F(MainWindowTest, YieldGivesTheMessageLoopATurnAtMostEveryFifteenMilliseconds) {
  using std::chrono::milliseconds;
  struct Case {
    const char* name;
    std::vector<int> gaps;  // milliseconds the clock moves before each yield
    int turns;
  };
  const Case cases[] = {
      {"no time passes", {0, 0, 0, 0, 0}, 0},
      {"just short", {14, 0, 0}, 0},
      {"exactly the interval", {15}, 1},
      {"each yield late", {15, 15, 15}, 3},
      {"counted from the last turn", {15, 10, 4, 1}, 2},
      {"small steps add up", {5, 5, 5, 5, 5, 5}, 2},
  };
  clock.step = milliseconds(0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    logic.Command1_Click();  // empty list: sets the start of the count
    view.turns = 0;
    for (int gap : c.gaps) {
      clock.now += milliseconds(gap);
      logic.Yield();
    }
    EXPECT_EQ(view.turns, c.turns);
  }
}

TEST_F(MainWindowTest, ProgressLineShowsTheFittedPathOfTheLastFolder) {
  view.AddRow("C:\\a\\");
  logic.Command1_Click();
  EXPECT_EQ(view.pathCaption, "C:\\a\\sub2\\deep\\");
  ASSERT_FALSE(fitter.widths.empty());
  EXPECT_EQ(fitter.widths.back(), 421);

  // Kept while idle; the next run shows it until its first folder.
  logic.Command5_Click();
  EXPECT_EQ(view.pathCaption, "C:\\a\\sub2\\deep\\");
}

TEST_F(MainWindowTest, ProgressLineFollowsTheLabelWidth) {
  struct Case {
    int labelWidth;
    std::string path;
    std::string shown;
  };
  const std::string longPath = "C:\\folder\\another folder\\targets\\";  // 33
  const Case cases[] = {
      {100, longPath, longPath},
      // Fits the whole label (36 pixels) but not 90% of it (32).
      {36, longPath, "C:\\folder\\another fo...\\targets\\"},
      {20, longPath, "C:\\fol...\\targets\\"},
      {100, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.labelWidth);
    view.pathWidth = c.labelWidth;
    logic.DispListFile(c.path);
    EXPECT_EQ(view.pathCaption, "previous") << "not before the display can show it";
    clock.now += std::chrono::milliseconds(100);
    logic.Yield();
    EXPECT_EQ(view.pathCaption, c.shown);
    EXPECT_LE(static_cast<int>(view.pathCaption.size()), WidthLimit(c.labelWidth));
    view.pathCaption = "previous";
  }
}

TEST_F(MainWindowTest, ProgressLineChangesAtMostEverySixtyMilliseconds) {
  struct Step {
    int gap;  // milliseconds before the yield
    const char* shown;
    const char* caption;  // after the yield
  };
  const Step steps[] = {
      {15, "C:\\1\\", "previous"},  // a turn, but too soon for the line
      {15, "C:\\2\\", "previous"},  {15, "C:\\3\\", "previous"}, {15, "C:\\4\\", "C:\\4\\"},
      {15, "C:\\5\\", "C:\\4\\"}, {60, "C:\\6\\", "C:\\6\\"}, {5, "C:\\7\\", "C:\\6\\"},
      {200, nullptr, "C:\\7\\"},  // the last one is not lost
  };
  clock.step = std::chrono::milliseconds(0);
  logic.Command1_Click();  // empty list: starts the count
  view.pathCaption = "previous";
  const int turnsBefore = view.turns;
  for (const Step& s : steps) {
    if (s.shown) logic.DispListFile(s.shown);
    clock.now += std::chrono::milliseconds(s.gap);
    logic.Yield();
    EXPECT_EQ(view.pathCaption, s.caption) << (s.shown ? s.shown : "(none)");
  }
  EXPECT_EQ(view.turns - turnsBefore, 7) << "input is still handled every 15 ms";
}

}  // namespace
}  // namespace vexaro::ui

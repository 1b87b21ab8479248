// The window logic over a fake view and the in-memory platform: runs, STOP,
// closing, the list buttons, the pace of the message loop, the progress line.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <set>

#include "engine/listing.h"
#include "tests/support/fake_facilities.h"
#include "tests/support/fake_system.h"
#include "tests/support/recording_host.h"
#include "ui/fit_path.h"
#include "ui/layout.h"

namespace vexaro::ui {
namespace {

using testing::Journal;
using Folders = std::vector<std::string>;

const std::string kSent = "message: ファイル名のリストを\r\nクリップ・ボードに転送しました。";

// A window without a toolkit; `duringTurn` runs where a real one handles input.
struct FakeView final : MainWindowView {
  explicit FakeView(Journal& journal) : journal(journal) {}
  void ShowPage(Page page) override { journal.push_back(page == Page::Setup ? "page: setup" : "page: progress"); }
  void SetStatusCaption(std::string_view caption) override {
    journal.push_back(std::string(caption).insert(0, "status: "));
  }
  void SetPathCaption(std::string_view caption) override { path = caption; }
  int PathCaptionWidth() const override { return 468; }  // 7020 twips at 96 dots per inch
  int RowCount() const override { return static_cast<int>(rows.size()); }
  std::string RowText(int row) const override { return rows.at(row); }
  bool IsRowMarked(int row) const override { return marked.contains(rows.at(row)); }
  void RemoveRow(int row) override { rows.erase(rows.begin() + row); }
  void AddRow(std::string_view text) override { rows.emplace_back(text); }
  engine::ListingOptions Options() const override { return {}; }
  void ProcessEvents() override {
    ++turns;
    if (duringTurn) duringTurn();
  }
  void EndProgram() override { journal.push_back("end"); }

  Journal& journal;
  Folders rows;
  std::set<std::string> marked;
  std::string path;
  int turns = 0;
  std::function<void()> duringTurn;
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    for (const char* file : {"C:\\a\\one.txt", "C:\\a\\x\\two.txt", "C:\\a\\x\\deep\\three.txt", "C:\\a\\y\\four.txt",
                             "C:\\b\\five.txt", "C:\\b\\more\\six.txt"}) {
      system.AddFile(file, 10);
    }
  }
  // What the engine alone writes for `folders`.
  std::string Reference(const Folders& folders) {
    testing::RecordingHost host;
    std::string text;
    engine::StringSink sink(text);
    engine::ListingJob job(system, host.Host(), sink);
    for (const auto& folder : folders) job.DoWork(folder, {});
    return text;
  }
  void Start(const Folders& folders) {
    view.rows = folders;
    journal.clear();
    logic.Command1_Click();
  }
  Journal Journaled(std::string_view prefix) const {
    Journal lines;
    std::ranges::copy_if(journal, std::back_inserter(lines),
                         [&](const auto& line) { return line.starts_with(prefix); });
    return lines;
  }

  Journal journal;
  testing::FakeSystem system;
  FakeView view{journal};
  testing::FakeClipboard clipboard{journal};
  testing::FakeMessages messages{journal};
  testing::FakePicker picker;
  testing::CharacterFitter fitter;
  // Every reading of the clock moves it on by `step`.
  std::chrono::steady_clock::time_point now{};
  std::chrono::milliseconds step{20};
  MainWindowLogic logic{view, {system, clipboard, messages, picker, fitter, 1}, [this] { return now += step; }};
};

TEST_F(MainWindowTest, StartListsEveryFolderAndHandsTheTextToTheClipboard) {
  struct Case {
    Folders folders;
    bool refuseClear, refuseText;
  };
  // A clipboard that cannot be emptied at the start may still take the text.
  const Case cases[] = {{{}, false, false},
                        {{"C:\\a\\", "C:\\b\\"}, false, false},
                        {{"C:\\a\\", "C:\\a\\"}, false, false},
                        {{"C:\\b\\"}, true, false},
                        {{"C:\\b\\"}, false, true}};
  for (const auto& [folders, refuseClear, refuseText] : cases) {
    SCOPED_TRACE(::testing::PrintToString(folders) + (refuseClear ? " clear" : "") + (refuseText ? " text" : ""));
    clipboard.refuseClear = refuseClear;
    clipboard.refuseText = refuseText;
    Start(folders);
    const std::string text = Reference(folders);
    EXPECT_EQ(logic.strListText(), text);
    EXPECT_EQ(clipboard.text, refuseText ? "" : text);
    std::erase_if(journal, [](const auto& line) { return line.starts_with("status: Listing"); });
    const Journal expected{"page: progress",
                           "clipboard: clear",
                           "status: Clipboad Cleared",
                           "status: Send Data to Clipboard",
                           std::to_string(text.size()).insert(0, "clipboard: ") + " bytes",
                           refuseText ? "message: クリップ・ボードに転送できませんでした。" : kSent,
                           "page: setup"};
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(messages.shown.back().title, "Vexaro");
  }
  // The progress line keeps the last folder listed, fitted into 90% of the label.
  EXPECT_EQ(view.path, "C:\\b\\more\\");
  EXPECT_EQ(fitter.widths.back(), 421);
}

// STOP, or closing the window, at the first turn of the message loop after
// `status` shows, in the first of two folders. STOP ends that folder, which
// keeps what was listed, and the next is listed in full; closing ends the
// run and the program, once the run has unwound, without another box.
TEST_F(MainWindowTest, StopEndsTheCurrentFolderAndClosingEndsTheRun) {
  logic.WindowClosing();
  EXPECT_EQ(journal, Journal{"end"}) << "closing while idle ends at once";
  const std::string first = Reference({"C:\\a\\"}), second = Reference({"C:\\b\\"});
  // Closing comes last: a closed window does not run again.
  const std::pair<std::string, bool> cases[] = {
      {"status: Listing Folders", false}, {"status: Listing Files", false}, {"status: Listing Files", true}};
  for (const auto& [status, close] : cases) {
    SCOPED_TRACE(status + (close ? " close" : " STOP"));
    bool acted = false, secondOpened = false;
    system.onOpen([&](std::string_view path) { secondOpened |= path.starts_with("C:\\b"); });
    view.duringTurn = [&] {
      if (acted || journal.back() != status) return;
      acted = true;
      close ? logic.WindowClosing() : logic.Command2_Click();
      EXPECT_EQ(journal.back(), status) << "nothing ends while the run is on the stack";
    };
    Start({"C:\\a\\", "C:\\b\\"});
    ASSERT_TRUE(acted);
    EXPECT_EQ(secondOpened, !close);
    if (close) {
      EXPECT_EQ(Journaled("message: "), Journal{});
      EXPECT_EQ(Journaled("clipboard: "), Journal{"clipboard: clear"});
      EXPECT_EQ(Journaled("end"), Journal{"end"});
      EXPECT_EQ(journal.back(), "end");
      continue;
    }
    EXPECT_EQ(Journaled("message: "), (Journal{"message: 処理を中断しました。", kSent}));
    const std::string& text = clipboard.text;
    ASSERT_TRUE(text.ends_with(second));
    const std::string kept = text.substr(0, text.size() - second.size());
    EXPECT_TRUE(first.starts_with(kept) && kept.size() < first.size()) << kept;
  }
}

TEST_F(MainWindowTest, DeleteSelectedRemovesTheMarkedRowsOnly) {
  const std::pair<std::set<std::string>, Folders> cases[] = {
      {{"b", "c"}, {"a", "d"}}, {{"a", "b", "c", "d"}, {}}, {{}, {"a", "b", "c", "d"}}};
  for (const auto& [marked, left] : cases) {
    view.rows = {"a", "b", "c", "d"};
    view.marked = marked;
    logic.Command5_Click();
    EXPECT_EQ(view.rows, left);
  }
}

TEST_F(MainWindowTest, AddFolderEndsThePathWithOneSeparatorAndACancelAddsNothing) {
  const std::pair<std::optional<std::string>, Folders> cases[] = {
      {std::nullopt, {}}, {"", {}}, {"C:\\", {"C:\\"}}, {"C:\\Data", {"C:\\Data\\"}}, {"C:\\Data\\", {"C:\\Data\\"}}};
  for (const auto& [chosen, rows] : cases) {
    view.rows.clear();
    picker.answers = {chosen};
    logic.Command4_Click();
    EXPECT_EQ(view.rows, rows) << chosen.value_or("(cancelled)");
  }
  EXPECT_EQ(picker.prompts.back(), "フォルダを選択してください");
}

// Folders by name (command line, drop): Add Folder's rows in the order
// given, what is not a folder left out, nothing while a run is on.
TEST_F(MainWindowTest, FoldersByNameBecomeRowsAsAddFolderMakesThem) {
  system.SetUnreadable("C:\\b\\more");
  const Folders given = {"C:\\b", "a", "C:\\a\\one.txt", "C:\\missing", "C:/a/", "\\a", "", "b\\.\\more", "D:x"};
  const std::pair<std::string, Folders> cases[] = {
      {"C:\\", {"C:\\b\\", "C:\\a\\", "C:\\a\\", "C:\\a\\", "C:\\b\\more\\"}},
      {"", {"C:\\b\\", "C:\\a\\"}},  // the current folder unknown
  };
  for (const auto& [current, rows] : cases) {
    view.rows.clear();
    logic.AddFolders(given, current);
    EXPECT_EQ(view.rows, rows) << current;
  }
  view.duringTurn = [&] { logic.AddFolders(given, "C:\\"); };
  Start({"C:\\a\\"});
  EXPECT_GT(view.turns, 0);
  EXPECT_EQ(view.rows, Folders{"C:\\a\\"});
}

TEST_F(MainWindowTest, MessageLoopGetsATurnAtMostEveryFifteenMilliseconds) {
  // Milliseconds the clock moves on before each yield, and the turns given.
  const std::pair<std::vector<int>, int> cases[] = {
      {{0, 0, 0}, 0}, {{14}, 0}, {{15}, 1}, {{15, 15, 15}, 3}, {{15, 10, 4, 1}, 2}, {{5, 5, 5, 5, 5, 5}, 2},
  };
  step = {};
  for (const auto& [gaps, turns] : cases) {
    Start({});  // the count starts with a run
    view.turns = 0;
    for (int gap : gaps) {
      now += std::chrono::milliseconds(gap);
      logic.Yield();
    }
    EXPECT_EQ(view.turns, turns) << ::testing::PrintToString(gaps);
  }
}

TEST(FitPathTest, ProgressLineIsFittedIntoNinetyPercentOfItsLabel) {
  // Label width in twips, dots per inch, pixels, limit; 526.5 goes to the even neighbour.
  const std::array<int, 4> cases[] = {
      {7020, 96, 468, 421}, {7020, 120, 585, 526}, {7020, 144, 702, 632}, {8, 96, 1, 1}};
  for (const auto& [twips, dpi, pixels, limit] : cases) {
    EXPECT_EQ(TwipsToPixels(twips, dpi), pixels) << twips << " twips at " << dpi;
    EXPECT_EQ(WidthLimit(pixels), limit) << pixels;
  }
  testing::CharacterFitter fitter;
  EXPECT_EQ(GetFitPath("C:\\folder\\another folder\\targets\\", 18, fitter), "C:\\fol...\\targets\\");
  EXPECT_EQ(GetFitPath("", 18, fitter), "");
}

}  // namespace
}  // namespace vexaro::ui

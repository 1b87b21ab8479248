#include "cli/terminal_output.h"

#include <gtest/gtest.h>

#include "cli/column_width.h"
#include "cli/progress.h"

namespace vexaro::cli {
namespace {

// Keeps every write apart, so that a test can see what each one carried.
class RecordingOutput final : public OutputStream {
 public:
  std::string bytes;
  int closes = 0;

  std::error_code Write(std::string_view data) override {
    bytes.append(data);
    return {};
  }
  std::error_code Flush() override { return {}; }
  std::error_code Close() override {
    ++closes;
    return {};
  }
  bool IsTerminal() const override { return true; }
};

struct Case {
  const char* what;
  std::string text;
  std::string shown;
};

const Case kCases[] = {
    {"plain text and line ends stay", "a.txt\nb c\r\n写真.jpg\n", "a.txt\nb c\r\n写真.jpg\n"},
    {"C0 escape sequence", "\"x\x1b[31mred\x1b]0;title\x07\"\r\n", "\"x?[31mred?]0;title?\"\r\n"},
    {"C1 CSI and NEL, encoded",
     "a\xc2\x9b"
     "31mb\xc2\x85"
     "c\n",
     "a?31mb?c\n"},
    {"C1 bounds", "\xc2\x80\xc2\x9f\xc2\xa0\xc2\x7f", "??\xc2\xa0??"},
    {"raw C1 byte, no valid UTF-8",
     "a\x9b"
     "31m\x85\n",
     "a?31m?\n"},
    {"DEL, tab, a CR that ends no line", "a\x7f\tb\rc\r\r\n", "a??b?c?\r\n"},
    {"broken sequences", "\xe5\x86 \xf0\x9f\x98 \xed\xa0\x80\n", "?? ??? ???\n"},
};

TEST(ForTerminal, ControlsAndBrokenBytesBecomeQuestionMarksLineEndsStay) {
  for (const auto& c : kCases) EXPECT_EQ(ForTerminal(c.text), c.shown) << c.what;
}

TEST(TerminalSafeOutput, TheSameWhereverTheWritesCutTheText) {
  // Every cut into two writes, and one write per byte: a character, an
  // escape sequence or a CR LF split between writes is judged whole.
  for (const auto& c : kCases) {
    for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
      RecordingOutput target;
      TerminalSafeOutput safe(target);
      EXPECT_FALSE(safe.Write(std::string_view(c.text).substr(0, cut)));
      EXPECT_FALSE(safe.Write(std::string_view(c.text).substr(cut)));
      EXPECT_FALSE(safe.Close());
      EXPECT_EQ(target.bytes, c.shown) << c.what << ", cut at " << cut;
      EXPECT_EQ(target.closes, 1);
    }
    RecordingOutput target;
    TerminalSafeOutput safe(target);
    for (const char byte : c.text) safe.Write(std::string_view(&byte, 1));
    safe.Close();
    EXPECT_EQ(target.bytes, c.shown) << c.what << ", byte by byte";
  }
}

TEST(TerminalSafeOutput, WhatIsHeldAtCloseIsShownAsBroken) {
  const std::pair<std::string, std::string> cases[] = {{"ab\r", "ab?"}, {"ab\xe5\x86", "ab??"}, {"\xc2", "?"}};
  for (const auto& [text, shown] : cases) {
    RecordingOutput target;
    TerminalSafeOutput safe(target);
    safe.Write(text);
    safe.Close();
    EXPECT_EQ(target.bytes, shown);
  }
}

TEST(ProgressTest, ColumnsATextTakesOnATerminal) {
  const std::pair<std::string_view, int> cases[] = {
      {"/home/user", 10},
      {"フォルダ/漢字", 13},            // wide
      {"e\xcc\x81t\xc3\xa9", 3},        // e + combining acute, t, precomposed é
      {"\xe2\x80\x8b\xef\xbb\xbf", 0},  // zero-width space and mark
      {"\xf0\x9f\x98\x80", 2},          // emoji
      {"a\xe3\x81\xff", 4},             // a cut-short sequence and no UTF-8: one column a byte
  };
  for (const auto& [text, columns] : cases) EXPECT_EQ(TextColumns(text), columns) << text;
}

TEST(ProgressTest, StageAndFolderFitInTheTerminalAndCannotSteerIt) {
  const std::tuple<std::string_view, int, std::string_view> cases[] = {
      {"/home/user/", 80, "Listing Files: /home/user/"},
      // Shortened in the middle; the last folder name and its separator stay.
      {"/home/user/projects/very/long/path/name/", 40, "Listing Files: /home/user/proj.../name/"},
      {"/データ/写真/旅行/二〇二六年/", 36, "Listing Files: /デー.../二〇二六年/"},
      {"/home/user/", 20, "Listing Files"},
      {"/home/user/", 10, "Listing F"},
      {"/tmp/\x1b]0;x\x07\xc2\x9bH\xff/", 80, "Listing Files: /tmp/?]0;x??H?/"},
  };
  for (const auto& [folder, columns, text] : cases) {
    EXPECT_EQ(ProgressText("Listing Files", folder, columns, '/'), text) << folder << " in " << columns;
  }
  // Clear of the last column, where the terminal would move to the next line.
  for (const std::string& folder : {std::string("/srv/共有/プロジェクト/設計書/最終版/"), std::string(300, 'x')}) {
    for (int columns = 1; columns <= 100; ++columns) {
      EXPECT_LT(TextColumns(ProgressText("Listing Folders", folder, columns, '/')), columns) << folder << columns;
    }
  }
}

}  // namespace
}  // namespace vexaro::cli

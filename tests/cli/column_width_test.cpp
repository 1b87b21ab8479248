#include "cli/column_width.h"

#include <gtest/gtest.h>

namespace vexaro::cli {
namespace {

TEST(ColumnWidthTest, CodePoints) {
  struct Case {
    char32_t c;
    int columns;
  };
  const Case cases[] = {
      {U'a', 1},       {U'~', 1},       {U'\t', 1},      {U'\x7f', 1},    {U'\u0085', 1},  // controls count 1
      {U'é', 1},       {U'Ж', 1},       {U'\u00ad', 1},                                    // soft hyphen shows
      {U'\u0301', 0},  {U'\u20dd', 0},  {U'\u200b', 0},  {U'\ufeff', 0},  {U'\u1160', 0},  // marks, format, jamo
      {U'\u3099', 0},                                                                      // kana voicing mark
      {U'あ', 2},      {U'漢', 2},      {U'한', 2},      {U'\u3000', 2},  {U'Ａ', 2},      // wide, fullwidth
      {U'\u4dbf', 2},  {U'\u9fff', 2},  {U'\U0002a6d6', 2}, {U'\U0003fffd', 2},            // CJK blocks to the end
      {U'\U0001f600', 2},                                                                  // emoji
      {U'ｱ', 1},       {U'\u2e7f', 1},  {U'\u303f', 1},  {U'\U0004ffff', 1},               // halfwidth, neighbours
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodePointColumns(c.c), c.columns) << std::hex << static_cast<unsigned>(c.c);
  }
}

TEST(ColumnWidthTest, Texts) {
  struct Case {
    std::string_view text;
    int columns;
  };
  const Case cases[] = {
      {"", 0},
      {"/home/user", 10},
      {"フォルダ/ファイル", 17},
      {"e\xcc\x81t\xc3\xa9", 3},          // e + combining acute, t, precomposed é
      {"\xff\xfe", 2},                    // no UTF-8 at all: one column a byte
      {"a\xe3\x81", 3},                   // a cut-short sequence: each byte one
      {"\xc0\xaf", 2},                    // overlong '/': not a character
      {"\xed\xa0\x80", 3},                // surrogate: not a character
      {"\xf4\x90\x80\x80", 4},            // beyond U+10FFFF
  };
  for (const Case& c : cases) EXPECT_EQ(TextColumns(c.text), c.columns) << c.text;
  EXPECT_EQ(TerminalMeasure{}.Width("漢a"), 3);
}

TEST(ColumnWidthTest, DisplayTextMasksWhatATerminalWouldObey) {
  struct Case {
    std::string_view text;
    std::string_view shown;
  };
  const Case cases[] = {
      {"/plain/path", "/plain/path"},
      {"日本語/é", "日本語/é"},
      {"a\nb\rc\td", "a?b?c?d"},
      {"\x1b]0;title\x07", "?]0;title?"},
      {"x\xc2\x9b" "2J", "x?2J"},  // C1 control sequence introducer
      {"x\x7fy", "x?y"},
      {"bad\xff\xfe", "bad??"},
  };
  for (const Case& c : cases) EXPECT_EQ(ForDisplay(c.text), c.shown) << c.text;
}

TEST(ColumnWidthTest, FittingIntoColumnsNeverSplitsACharacter) {
  struct Case {
    std::string_view text;
    int columns;
    std::string_view kept;
  };
  const Case cases[] = {
      {"abcdef", 6, "abcdef"},
      {"abcdef", 4, "abcd"},
      {"abcdef", 0, ""},
      {"漢字かな", 5, "漢字"},      // the third wide character would need column 6
      {"漢字かな", 6, "漢字か"},
      {"ae\xcc\x81x", 2, "ae\xcc\x81"},  // the mark stays with its letter
      {"a\xff", 1, "a"},
  };
  for (const Case& c : cases) EXPECT_EQ(FitColumns(c.text, c.columns), c.kept) << c.text << " " << c.columns;
}

}  // namespace
}  // namespace vexaro::cli

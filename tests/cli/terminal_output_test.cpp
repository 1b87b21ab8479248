#include "cli/terminal_output.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vexaro::cli

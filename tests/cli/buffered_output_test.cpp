#include "cli/buffered_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexaro::cli {
namespace {

// Keeps each raw write apart; closing the handle fails with `release`.
class RecordingOutput final : public BufferedOutput {
 public:
  explicit RecordingOutput(bool terminal, std::error_code release = {}) : BufferedOutput(terminal), release_(release) {}
  ~RecordingOutput() override { (void)Close(); }
  std::vector<std::string> sent;

 private:
  std::error_code WriteThrough(std::string_view bytes) override {
    sent.emplace_back(bytes);
    return {};
  }
  std::error_code ReleaseHandle() override { return release_; }
  std::error_code release_;
};

TEST(CompleteUtf8Length, StopsBeforeACharacterThatIsNotWholeYet) {
  struct Case {
    std::string bytes;
    std::size_t length;
  };
  const Case cases[] = {
      {"", 0},
      {"abc", 3},
      {"a\xc3", 1},  // é cut after its lead byte
      {"a\xc3\xa9", 3},
      {"a\xe5\x86", 1},  // 写 cut after two of three bytes
      {"a\xe5\x86\x99", 4},
      {"a\xf0\x9f\x98", 1},  // 😀 cut after three of four bytes
      {"a\xf0\x9f\x98\x80", 5},
      {"\x80\x80", 2},  // stray continuation bytes hold nothing back
      {"a\x80\x80\x80\x80", 5},
  };
  for (const auto& c : cases) EXPECT_EQ(CompleteUtf8Length(c.bytes), c.length) << ::testing::PrintToString(c.bytes);
}

TEST(BufferedOutput, ATerminalGetsEveryCharacterWholeThoughTheWritesSplitIt) {
  struct Case {
    std::vector<std::string> writes;
    std::vector<std::string> sent;
  };
  const Case cases[] = {
      {{"a\xe5", "\x86\x99z\n"}, {"a", "\xe5\x86\x99z\n"}},
      {{"\xf0\x9f", "\x98", "\x80!"}, {"\xf0\x9f\x98\x80!"}},
      {{"x\xc3", "\xa9"}, {"x", "\xc3\xa9"}},
      {{"line\n", "next\n"}, {"line\n", "next\n"}},  // at once, not a buffer at a time
  };
  for (const auto& c : cases) {
    RecordingOutput out(true);
    for (const auto& piece : c.writes) EXPECT_FALSE(out.Write(piece));
    EXPECT_FALSE(out.Close());
    EXPECT_EQ(out.sent, c.sent) << ::testing::PrintToString(c.writes);
  }
}

TEST(BufferedOutput, AFileGetsTheBytesABufferAtATimeAndAFailedCloseIsReported) {
  RecordingOutput out(false);
  EXPECT_FALSE(out.Write("a\xe5"));
  EXPECT_FALSE(out.Write("\x86\x99z\n"));
  EXPECT_TRUE(out.sent.empty());
  EXPECT_FALSE(out.Close());
  EXPECT_EQ(out.sent, std::vector<std::string>{"a\xe5\x86\x99z\n"});
  const auto lost = std::make_error_code(std::errc::io_error);  // as NFS reports a write at close
  RecordingOutput failing(false, lost);
  EXPECT_FALSE(failing.Write("x"));
  EXPECT_EQ(failing.Close(), lost);
  EXPECT_EQ(failing.Close(), lost) << "and again";
}

}  // namespace
}  // namespace vexaro::cli

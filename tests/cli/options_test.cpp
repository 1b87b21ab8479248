#include "cli/options.h"

#include <gtest/gtest.h>

namespace vexaro::cli {
namespace {

struct Parsed {
  std::optional<int> status;
  Options options;
  ParseOutput output;
};

Parsed Parse(std::vector<std::string> args) {
  Parsed p;
  p.status = ParseOptions(args, p.options, p.output);
  return p;
}

// The boxes as a string, in the order volume free size byte date path,
// then the form: "111111 txt".
std::string Boxes(const engine::ListingOptions& o) {
  std::string s;
  for (bool b : {o.CheckVolume, o.CheckFree, o.CheckSize, o.CheckByte, o.CheckDate, o.CheckPath}) s += b ? '1' : '0';
  return s + (o.OptionCSV ? " csv" : " txt");
}

TEST(OptionsTest, AcceptedCommandLines) {
  struct Case {
    std::vector<std::string> args;
    std::string boxes;
    bool crlf;
    bool quiet;
    std::optional<std::string> output;
    std::vector<std::string> folders;
  };
  const Case cases[] = {
      {{"a"}, "111111 txt", false, false, std::nullopt, {"a"}},
      {{"--csv", "a", "b"}, "111111 csv", false, false, std::nullopt, {"a", "b"}},
      {{"--csv", "--txt", "a"}, "111111 txt", false, false, std::nullopt, {"a"}},
      {{"--txt", "a", "--csv"}, "111111 csv", false, false, std::nullopt, {"a"}},
      {{"--no-volume", "a"}, "011111 txt", false, false, std::nullopt, {"a"}},
      {{"--no-free", "a"}, "101111 txt", false, false, std::nullopt, {"a"}},
      {{"--no-size", "a"}, "110111 txt", false, false, std::nullopt, {"a"}},
      {{"--no-byte", "a"}, "111011 txt", false, false, std::nullopt, {"a"}},
      {{"--no-date", "a"}, "111101 txt", false, false, std::nullopt, {"a"}},
      {{"--no-path", "a"}, "111110 txt", false, false, std::nullopt, {"a"}},
      {{"--no-volume", "--no-free", "--no-size", "--no-byte", "--no-date", "--no-path", "--no-date", "a"},
       "000000 txt", false, false, std::nullopt, {"a"}},
      {{"--crlf", "-q", "a"}, "111111 txt", true, true, std::nullopt, {"a"}},
      {{"--quiet", "a"}, "111111 txt", false, true, std::nullopt, {"a"}},
      {{"-o", "out.txt", "a"}, "111111 txt", false, false, "out.txt", {"a"}},
      {{"-oout.txt", "a"}, "111111 txt", false, false, "out.txt", {"a"}},
      {{"--output", "x", "a", "--output=y"}, "111111 txt", false, false, "y", {"a"}},
      {{"-qo", "f", "a"}, "111111 txt", false, true, "f", {"a"}},
      // The folder list keeps the order and the repeats given.
      {{"b", "a", "b"}, "111111 txt", false, false, std::nullopt, {"b", "a", "b"}},
      // After "--" everything is a folder; a lone "-" is a folder too.
      {{"--", "--csv", "-q"}, "111111 txt", false, false, std::nullopt, {"--csv", "-q"}},
      {{"-", "a"}, "111111 txt", false, false, std::nullopt, {"-", "a"}},
      // An output name that looks like an option is still the output.
      {{"-o", "--csv", "a"}, "111111 txt", false, false, "--csv", {"a"}},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    const std::string label = ::testing::PrintToString(c.args);
    EXPECT_EQ(p.status, std::nullopt) << label << p.output.err;
    EXPECT_EQ(Boxes(p.options.listing), c.boxes) << label;
    EXPECT_EQ(p.options.crlf, c.crlf) << label;
    EXPECT_EQ(p.options.quiet, c.quiet) << label;
    EXPECT_EQ(p.options.output, c.output) << label;
    EXPECT_EQ(p.options.folders, c.folders) << label;
    EXPECT_EQ(p.output.err, "") << label;
    EXPECT_EQ(p.output.out, "") << label;
  }
}

TEST(OptionsTest, UsageErrorsGiveStatusTwoAMessageAndAHint) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{}, "vexaro-list: no folder given\n"},
      {{"--csv", "-q"}, "vexaro-list: no folder given\n"},
      {{"--bogus", "a"}, "vexaro-list: unknown option '--bogus'\n"},
      {{"a", "-x"}, "vexaro-list: unknown option '-x'\n"},
      {{"-qz", "a"}, "vexaro-list: unknown option '-z'\n"},
      {{"a", "-o"}, "vexaro-list: option '-o' needs a file name\n"},
      {{"a", "--output"}, "vexaro-list: option '--output' needs a file name\n"},
      {{"--output=", "a"}, "vexaro-list: option '--output' needs a file name\n"},
      {{"-o", "", "a"}, "vexaro-list: option '-o' needs a file name\n"},
      {{"--csv=yes", "a"}, "vexaro-list: option '--csv' takes no value\n"},
      {{"", "a"}, "vexaro-list: a folder name is empty\n"},
      // Options are exact: no abbreviations.
      {{"--cs", "a"}, "vexaro-list: unknown option '--cs'\n"},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    const std::string label = ::testing::PrintToString(c.args);
    EXPECT_EQ(p.status, kExitUsage) << label;
    EXPECT_EQ(p.output.err, c.message + "Try 'vexaro-list --help' for more information.\n") << label;
    EXPECT_EQ(p.output.out, "") << label;
  }
}

TEST(OptionsTest, HelpAndVersionGoToStandardOutputAndEndWithSuccess) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const std::string usage = Usage();
  const Case cases[] = {
      {{"--help"}, usage},
      {{"-h"}, usage},
      {{"a", "-qh"}, usage},
      // Help is given as soon as it is met, even before an error.
      {{"--help", "--bogus"}, usage},
      {{"--version"}, "vexaro-list 1.0.0\n"},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    const std::string label = ::testing::PrintToString(c.args);
    EXPECT_EQ(p.status, kExitOk) << label;
    EXPECT_EQ(p.output.out, c.out) << label;
    EXPECT_EQ(p.output.err, "") << label;
  }
}

}  // namespace
}  // namespace vexaro::cli

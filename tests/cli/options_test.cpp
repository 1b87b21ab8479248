#include "cli/options.h"

#include <gtest/gtest.h>

namespace vexaro::cli {
namespace {

// The options in short (the boxes volume free size byte date path, the form,
// the rest), or the exit status and what was written.
std::string Parsed(const std::vector<std::string>& args) {
  Options o;
  ParseOutput output;
  if (const auto status = ParseOptions(args, o, output)) {
    return std::to_string(*status).append(" ").append(output.out).append(output.err);
  }
  std::string s;
  for (bool box : {o.listing.CheckVolume, o.listing.CheckFree, o.listing.CheckSize, o.listing.CheckByte,
                   o.listing.CheckDate, o.listing.CheckPath}) {
    s += box ? '1' : '0';
  }
  s += o.listing.OptionCSV ? " csv" : " txt";
  if (o.crlf) s += " crlf";
  if (o.quiet) s += " quiet";
  if (o.output) s.append(" >").append(*o.output);
  if (o.threads != 0) s.append(" j").append(std::to_string(o.threads));
  for (const auto& folder : o.folders) s.append(" [").append(folder).append("]");
  return s + output.out + output.err;
}

std::string UsageError(std::string_view message) {
  return std::string("2 vexaro-list: ").append(message).append("\nTry 'vexaro-list --help' for more information.\n");
}

TEST(OptionsTest, CommandLines) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"a"}, "111111 txt [a]"},
      {{"--csv", "--no-volume", "--no-byte", "b", "a", "b"}, "011011 csv [b] [a] [b]"},
      {{"--no-free", "--no-size", "--no-date", "--no-path", "--csv", "--txt", "a"}, "100100 txt [a]"},
      {{"--crlf", "-qo", "f", "a", "--output=g"}, "111111 txt crlf quiet >g [a]"},
      {{"-qof", "a"}, "111111 txt quiet >f [a]"},
      {{"--", "--csv", "-"}, "111111 txt [--csv] [-]"},
      {{"-j1", "--jobs", "64", "a"}, "111111 txt j64 [a]"},
      {{"-qj", "7", "--jobs=12", "a"}, "111111 txt quiet j12 [a]"},
      {{"-j0", "a"}, UsageError("option '-j' needs a number from 1 to 64")},
      {{"--jobs=65", "a"}, UsageError("option '--jobs' needs a number from 1 to 64")},
      {{"-j", "1x", "a"}, UsageError("option '-j' needs a number from 1 to 64")},
      {{"a", "--jobs"}, UsageError("option '--jobs' needs a number")},
      {{}, UsageError("no folder given")},
      {{"--cs", "a"}, UsageError("unknown option '--cs'")},
      {{"-qz", "a"}, UsageError("unknown option '-z'")},
      {{"a", "-o"}, UsageError("option '-o' needs a file name")},
      {{"--csv=yes", "a"}, UsageError("option '--csv' takes no value")},
      {{"", "a"}, UsageError("a folder name is empty")},
      {{"a", "-qh", "--bogus"}, std::string("0 ").append(Usage())},
      {{"--version"},
       "0 vexaro-list 1.0.0\nCopyright (c) 2026 The Vexaro developers\n"
       "Licensed under the MIT License, without any warranty.\n"},
  };
  for (const auto& [args, parsed] : cases) EXPECT_EQ(Parsed(args), parsed) << ::testing::PrintToString(args);
}

}  // namespace
}  // namespace vexaro::cli

#include "cli/run.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/cli/cli_fakes.h"
#include "tests/support/fake_system.h"

namespace vexaro::cli {
namespace {

using testing::FakeConsole;
using testing::FakeOutput;
using testing::FakeSystem;

// What the listing of C:\data\ and C:\other\ gives with --no-date --no-free.
std::string DataListing(std::string_view eol) {
  std::string text;
  auto line = [&](std::string_view s) { text.append(eol).append(s); };
  line("Date and Time : 2026/12/06 9:05:00");
  line("Volume Name : DATA");
  line("Starting Path : C:\\data\\");
  line("");
  line("        1536 : a.txt");
  line("         700 : c.log");
  line("    12582912 : sub\\b.txt");
  line("");
  return text;
}

std::string OtherListing(std::string_view eol) {
  std::string text;
  auto line = [&](std::string_view s) { text.append(eol).append(s); };
  line("Date and Time : 2026/12/06 9:05:00");
  line("Volume Name : DATA");
  line("Starting Path : C:\\other\\");
  line("");
  line("           0 : x.bin");
  line("");
  return text;
}

class RunTest : public ::testing::Test {
 protected:
  RunTest() {
    system.SetLabel("C:\\", "DATA");
    system.AddFile("C:\\data\\c.log", 700);
    system.AddFolder("C:\\data\\sub");
    system.AddFile("C:\\data\\sub\\b.txt", 12582912);
    system.AddFile("C:\\data\\a.txt", 1536);
    system.AddFile("C:\\other\\x.bin", 0);
    system.onOpen([this](std::string_view path) {
      opened.emplace_back(path);
      if (onOpen) onOpen(path);
    });
    options.listing.CheckDate = false;
    options.listing.CheckFree = false;
    options.folders = {"C:\\data\\", "C:\\other\\"};
  }

  int Go() { return Go(system); }
  int Go(platform::System& on) {
    return cli::Run(options, on, output, console, [this] { return now += tick; });
  }
  bool Opened(std::string_view prefix) const {
    return std::any_of(opened.begin(), opened.end(), [&](const std::string& p) { return p.starts_with(prefix); });
  }

  FakeSystem system;
  FakeConsole console;
  FakeOutput output;
  Options options;
  std::vector<std::string> opened;
  std::function<void(std::string_view)> onOpen;
  std::chrono::steady_clock::time_point now{};
  std::chrono::milliseconds tick{30};  // time that passes between two looks at the clock
};

TEST_F(RunTest, ListsTheFoldersInTheOrderGivenIntoOneText) {
  EXPECT_EQ(Go(), kExitOk);
  EXPECT_EQ(output.bytes, DataListing("\r\n") + OtherListing("\r\n"));
  EXPECT_EQ(output.closes, 1);
  EXPECT_EQ(console.err, "");

  output = {};
  options.folders = {"C:\\other\\", "C:\\data\\", "C:\\other\\"};
  EXPECT_EQ(Go(), kExitOk);
  EXPECT_EQ(output.bytes, OtherListing("\r\n") + DataListing("\r\n") + OtherListing("\r\n"));
}

TEST_F(RunTest, LineEndsFollowTheSystemUnlessCrLfIsAsked) {
  // The same tree on a system whose own line end is LF.
  LineEndOverride lfSystem(system, "\n");
  struct Case {
    bool crlf;
    std::string text;
  };
  const Case cases[] = {
      {false, DataListing("\n") + OtherListing("\n")},
      {true, DataListing("\r\n") + OtherListing("\r\n")},
  };
  for (const Case& c : cases) {
    output = {};
    options.crlf = c.crlf;
    EXPECT_EQ(Go(lfSystem), kExitOk);
    EXPECT_EQ(output.bytes, c.text) << "crlf " << c.crlf;
  }
}

TEST_F(RunTest, WhatCannotBeReadIsNamedOnceAndGivesStatusOne) {
  system.AddFolder("C:\\data\\locked");
  system.SetUnreadable("C:\\data\\locked");
  system.SetVanished("C:\\data\\c.log");
  system.setRecordsCarryStamps(false);  // sizes are asked for separately, as on Linux
  options.folders = {"C:\\missing\\", "C:\\data\\"};

  EXPECT_EQ(Go(), kExitTrouble);
  // The missing folder still has its header and no line; the rest is listed.
  const std::string missing =
      "\r\nDate and Time : 2026/12/06 9:05:00\r\nVolume Name : DATA\r\nStarting Path : C:\\missing\\\r\n\r\n";
  std::string data = DataListing("\r\n");
  const std::string vanishedLine = "         700 : c.log";
  data.replace(data.find(vanishedLine), vanishedLine.size(), "             : c.log");
  EXPECT_EQ(output.bytes, missing + data);
  EXPECT_EQ(console.err,
            "vexaro-list: cannot read folder 'C:\\missing\\': No such file or directory\n"
            "vexaro-list: cannot read folder 'C:\\data\\locked\\': Permission denied\n"
            "vexaro-list: cannot read the size and date of 'C:\\data\\c.log' (vanished or no access); "
            "its line shows them blank\n");
}

TEST_F(RunTest, FolderMetAgainIsNotedButIsNoFailure) {
  system.AddMountOf("C:\\other\\again", "C:\\other");
  options.folders = {"C:\\other\\"};
  EXPECT_EQ(Go(), kExitOk);
  EXPECT_EQ(output.bytes, OtherListing("\r\n"));
  EXPECT_EQ(console.err,
            "vexaro-list: skipped 'C:\\other\\again\\': the same folder was met before under another path\n");
}

TEST_F(RunTest, FailedWriteStopsTheListingWithStatusOne) {
  system.setRecordsCarryStamps(false);  // the listing opens each folder again
  int opensAfterFailure = 0;
  onOpen = [&](std::string_view) { opensAfterFailure += output.failed(); };
  struct Case {
    std::size_t room;
    std::error_code failure;
    const char* message;
  };
  const Case cases[] = {
      // In the header, and after the lines of the start folder's own files.
      {0, std::make_error_code(std::errc::no_space_on_device),
       "vexaro-list: cannot write the listing to standard output: No space left on device\n"},
      {100, std::make_error_code(std::errc::broken_pipe),
       "vexaro-list: cannot write the listing to standard output: Broken pipe\n"},
  };
  for (const Case& c : cases) {
    output = {};
    output.room = c.room;
    output.failure = c.failure;
    console.err.clear();
    opened.clear();
    opensAfterFailure = 0;
    EXPECT_EQ(Go(), kExitTrouble);
    EXPECT_EQ(output.bytes, DataListing("\r\n").substr(0, c.room));
    EXPECT_EQ(console.err, c.message) << "no interruption message, only the failure";
    EXPECT_EQ(output.writesAfterFailure, 0) << "nothing more is written after the failure";
    EXPECT_EQ(opensAfterFailure, 0) << "the listing stops at the next folder";
    EXPECT_FALSE(Opened("C:\\other")) << "the next start folder is not begun";
    EXPECT_EQ(output.closes, 1);
  }
}

TEST_F(RunTest, WriteFailureNamesTheOutputFile) {
  options.output = "C:\\out\\list.txt";
  output.room = 0;
  EXPECT_EQ(Go(), kExitTrouble);
  EXPECT_EQ(console.err, "vexaro-list: cannot write the listing to 'C:\\out\\list.txt': No space left on device\n");
}

TEST_F(RunTest, InterruptStopsEverythingKeepsWholeLinesAndGivesStatus130) {
  // Sizes are read with the folder opened again, so that every folder is
  // opened once by the walk and once more when its lines are made.
  system.setRecordsCarryStamps(false);
  const std::string header =
      "\r\nDate and Time : 2026/12/06 9:05:00\r\nVolume Name : DATA\r\nStarting Path : C:\\data\\\r\n";
  struct Case {
    const char* name;
    std::string_view folder;  // Ctrl-C as this folder is opened
    int time;                 // for the first or the second time
    std::string text;
  };
  const Case cases[] = {
      // The walk ends; the header is written, then the stop comes at the
      // first folder.
      {"walk", "C:\\data\\sub\\", 1, header},
      // The folder being listed is completed, the next one is not begun,
      // and no final line end follows.
      {"lines", "C:\\data\\", 2, header + "\r\n        1536 : a.txt\r\n         700 : c.log"},
      // The first start folder is complete; the second is not begun.
      {"last folder", "C:\\data\\sub\\", 2, DataListing("\r\n")},
  };
  for (const Case& c : cases) {
    output = {};
    console = {};
    opened.clear();
    onOpen = [&](std::string_view path) {
      if (path == c.folder && std::count(opened.begin(), opened.end(), path) == c.time) console.interrupted = true;
    };
    EXPECT_EQ(Go(), kExitInterrupted) << c.name;
    EXPECT_EQ(output.bytes, c.text) << c.name;
    EXPECT_EQ(console.err, "vexaro-list: 処理を中断しました。\n") << c.name;
    EXPECT_FALSE(Opened("C:\\other")) << c.name;
    EXPECT_EQ(output.closes, 1) << c.name;
  }
}

TEST_F(RunTest, ProgressOnlyOnATerminalThatDoesNotShowTheListing) {
  struct Case {
    bool errTerminal;
    bool outTerminal;
    bool quiet;
    bool shown;
  };
  const Case cases[] = {
      {true, false, false, true},
      {true, false, true, false},
      {false, false, false, false},
      {true, true, false, false},
  };
  tick = std::chrono::milliseconds(200);  // every change is drawn
  for (const Case& c : cases) {
    console = {};
    console.terminal = c.errTerminal;
    output = {};
    output.terminal = c.outTerminal;
    options.quiet = c.quiet;
    EXPECT_EQ(Go(), kExitOk);
    const std::string label = std::to_string(c.errTerminal) + std::to_string(c.outTerminal) + std::to_string(c.quiet);
    if (!c.shown) {
      EXPECT_EQ(console.err, "") << label;
      continue;
    }
    EXPECT_TRUE(console.err.starts_with("\rListing Folders\x1b[K")) << label;
    EXPECT_NE(console.err.find("\rListing Files: C:\\data\\sub\\\x1b[K"), std::string::npos) << label;
    EXPECT_NE(console.err.find("\rListing Files: C:\\other\\\x1b[K"), std::string::npos) << label;
    EXPECT_TRUE(console.err.ends_with("\r\x1b[K")) << label << ": the line is erased at the end";
    EXPECT_EQ(output.bytes, DataListing("\r\n") + OtherListing("\r\n")) << label;
  }
}

TEST_F(RunTest, MessagesTakeTheProgressLineOffFirst) {
  console.terminal = true;
  options.folders = {"C:\\missing\\"};
  EXPECT_EQ(Go(), kExitTrouble);
  const std::string message = "vexaro-list: cannot read folder 'C:\\missing\\': No such file or directory\n";
  const auto at = console.err.find(message);
  ASSERT_NE(at, std::string::npos) << console.err;
  EXPECT_TRUE(console.err.substr(0, at).ends_with("\r\x1b[K")) << console.err;
}

}  // namespace
}  // namespace vexaro::cli

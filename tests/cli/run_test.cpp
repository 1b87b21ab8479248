#include "cli/run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>

#include "tests/support/fake_system.h"

namespace vexaro::cli {
namespace {

class FakeConsole final : public Console {
 public:
  std::string err;
  bool terminal = false;
  int stopSignal = 0;

  bool IsTerminal() const override { return terminal; }
  std::optional<int> Columns() const override { return 80; }
  void Write(std::string_view utf8) override { err.append(utf8); }
  int StopSignal() const override { return stopSignal; }
};

// Takes `room` bytes, then fails with `failure` (a full disk unless told),
// for good.
class FakeOutput final : public OutputStream {
 public:
  std::string bytes;
  std::size_t room = std::string::npos;
  std::error_code failure = std::make_error_code(std::errc::no_space_on_device);
  std::error_code error;
  int writesAfterFailure = 0;
  int closes = 0;
  bool terminal = false;

  std::error_code Write(std::string_view data) override {
    if (error) {
      ++writesAfterFailure;
    } else if (bytes.append(data).size() > room) {
      bytes.resize(room);
      error = failure;
    }
    return error;
  }
  std::error_code Flush() override { return error; }
  std::error_code Close() override {
    ++closes;
    return error;
  }
  bool IsTerminal() const override { return terminal; }
};

// The listing of one start folder with --no-date --no-free.
std::string Listing(std::string_view start, const std::vector<std::string_view>& lines, std::string_view eol = "\r\n") {
  std::string text;
  text.append(eol).append("Date and Time : 2026/12/06 9:05:00").append(eol).append("Volume Name : DATA");
  text.append(eol).append("Starting Path : ").append(start).append(eol);
  for (const std::string_view line : lines) text.append(eol).append(line);
  return text.append(eol);
}
const std::vector<std::string_view> kData = {"        1536 : a.txt", "         700 : c.log",
                                             "    12582912 : sub\\b.txt"};
const std::vector<std::string_view> kOther = {"           0 : x.bin"};

class RunTest : public ::testing::Test {
 protected:
  RunTest() {
    system.SetLabel("C:\\", "DATA");
    system.AddFile("C:\\data\\a.txt", 1536);
    system.AddFile("C:\\data\\c.log", 700);
    system.AddFile("C:\\data\\sub\\b.txt", 12582912);
    system.AddFile("C:\\other\\x.bin", 0);
    // Sizes are asked for separately, as on Linux.
    system.setRecordsCarryStamps(false);
    options.threads = 1;  // the hooks below act on the listing's own thread
    options.listing.CheckDate = false;
    options.listing.CheckFree = false;
    options.folders = {"C:\\data\\", "C:\\other\\"};
  }

  int Go(platform::System& on) {
    return cli::Run(options, on, output, console, [this] { return now += std::chrono::milliseconds(30); });
  }

  testing::FakeSystem system;
  FakeConsole console;
  FakeOutput output;
  Options options;
  std::chrono::steady_clock::time_point now{};
};

TEST_F(RunTest, StartFoldersInTheOrderGivenWithTheSystemsLineEndUnlessCrLfIsAsked) {
  system.SetLineEnd("\n");
  for (const bool crlf : {false, true}) {
    output = {};
    options.crlf = crlf;
    EXPECT_EQ(Go(system), kExitOk);
    const std::string_view eol = crlf ? "\r\n" : "\n";
    EXPECT_EQ(output.bytes, Listing("C:\\data\\", kData, eol) + Listing("C:\\other\\", kOther, eol)) << crlf;
    EXPECT_EQ(output.closes, 1);
  }
  EXPECT_EQ(console.err, "");
}

TEST_F(RunTest, UnreadableStartFolderKeepsItsHeaderIsNamedAndGivesStatusOne) {
  options.folders = {"C:\\missing\\", "C:\\data\\"};
  console.terminal = true;  // with a progress line, taken off before the message
  EXPECT_EQ(Go(system), kExitTrouble);
  EXPECT_EQ(output.bytes, Listing("C:\\missing\\", {}) + Listing("C:\\data\\", kData));
  EXPECT_NE(console.err.find("\r\x1b[Kvexaro-list: cannot read folder 'C:\\missing\\': No such file or directory\n"),
            std::string::npos)
      << console.err;
}

TEST_F(RunTest, StatusOneOnlyWhenTheListingMissesSomething) {
  struct Case {
    const char* what;
    std::function<void(testing::FakeSystem&)> make;
    int status;
  };
  const Case cases[] = {
      {"a folder met again", [](testing::FakeSystem& s) { s.AddMountOf("C:\\t\\a\\again", "C:\\t"); }, kExitOk},
      {"an unreadable folder", [](testing::FakeSystem& s) { s.SetUnreadable("C:\\t\\a"); }, kExitTrouble},
      {"a vanished file", [](testing::FakeSystem& s) { s.SetVanished("C:\\t\\a\\f.txt"); }, kExitTrouble},
  };
  options.folders = {"C:\\t\\"};
  for (const auto& c : cases) {
    testing::FakeSystem fresh;
    fresh.setRecordsCarryStamps(false);
    fresh.AddFile("C:\\t\\a\\f.txt", 1);
    c.make(fresh);
    output = {};
    console = {};
    EXPECT_EQ(Go(fresh), c.status) << c.what;
    EXPECT_NE(console.err, "") << c.what;
  }
}

TEST(ConsoleHost, OneMessagePerProblemKindAndPath) {
  using Kind = engine::Problem::Kind;
  const auto denied = std::make_error_code(std::errc::permission_denied);
  struct Case {
    std::vector<engine::Problem> problems;
    std::size_t lines;
  };
  const Case cases[] = {
      {{{Kind::UnreadableFolder, "/a/", denied}, {Kind::UnreadableFolder, "/a/", denied}}, 1},
      {{{Kind::UnreadableFolder, "/a/", denied}, {Kind::UnreadableFolder, "/b/", denied}}, 2},
      {{{Kind::UnreadableFolder, "/a/", denied}, {Kind::FolderLoop, "/a/", {}}}, 2},
      {{{Kind::FolderLoop, "/m/", {}}, {Kind::FolderLoop, "/m/", {}}, {Kind::FolderLoop, "/m/", {}}}, 1},
      {{{Kind::UnreadableFile, "/f", denied}, {Kind::UnreadableFile, "/f", denied}}, 1},
  };
  for (const auto& c : cases) {
    FakeConsole console;
    FakeOutput output;
    StreamSink sink(output);
    ConsoleHost host(console, nullptr, sink);
    for (const auto& problem : c.problems) host.ReportProblem(problem);
    EXPECT_EQ(static_cast<std::size_t>(std::ranges::count(console.err, '\n')), c.lines) << console.err;
  }
}

TEST_F(RunTest, FailedWriteStopsTheRunWithStatusOneOrQuietlyWhenTheReaderLeft) {
  int opensAfterFailure = 0;
  system.onOpen([&](std::string_view) { opensAfterFailure += static_cast<bool>(output.error); });
  const auto full = std::make_error_code(std::errc::no_space_on_device);
  const auto gone = std::make_error_code(std::errc::broken_pipe);
  // In the header, and after the lines of the start folder's own files.
  const std::tuple<std::size_t, std::optional<std::string>, std::error_code, const char*, int> cases[] = {
      {0, std::nullopt, full, "vexaro-list: cannot write the listing to standard output: No space left on device\n",
       kExitTrouble},
      {100, "C:\\out\\list.txt", full,
       "vexaro-list: cannot write the listing to 'C:\\out\\list.txt': No space left on device\n", kExitTrouble},
      // The reader of standard output went away: nothing to say.
      {100, std::nullopt, gone, "", kExitBrokenPipe},
      // A pipe named as the output file stays an error.
      {100, "C:\\out\\fifo", gone, "vexaro-list: cannot write the listing to 'C:\\out\\fifo': Broken pipe\n",
       kExitTrouble},
  };
  for (const auto& [room, file, failure, message, status] : cases) {
    output = {};
    output.room = room;
    output.failure = failure;
    options.output = file;
    console.err.clear();
    EXPECT_EQ(Go(system), status) << message;
    EXPECT_EQ(output.bytes, Listing("C:\\data\\", kData).substr(0, room));
    EXPECT_EQ(console.err, message);
    EXPECT_EQ(output.writesAfterFailure, 0);
    EXPECT_EQ(opensAfterFailure, 0) << "neither the next folder nor the next start folder is begun";
    EXPECT_EQ(output.closes, 1);
  }
}

TEST_F(RunTest, StopKeepsWholeLinesAndGives128PlusTheSignal) {
  std::string header = Listing("C:\\data\\", {});
  header.resize(header.size() - 2);  // without the final line end
  std::string otherHeader = Listing("C:\\other\\", {});
  otherHeader.resize(otherHeader.size() - 2);
  const std::tuple<std::string_view, int, int, int, std::string> cases[] = {
      // Ctrl-C as a folder is opened in the walk: the header is written, and
      // the stop comes at the first folder.
      {"C:\\data\\sub", 1, SIGINT, 130, header},
      {"C:\\data", 1, SIGINT, 130, header},
      // The first start folder is complete; the second ends with its header.
      {"C:\\other", 1, SIGINT, 130, Listing("C:\\data\\", kData) + otherHeader},
      // A termination request ends the same way, with its own status.
      {"C:\\data\\sub", 1, SIGTERM, 143, header},
      {"C:\\other", 1, SIGTERM, 143, Listing("C:\\data\\", kData) + otherHeader},
  };
  for (const auto& [folder, time, signal, status, text] : cases) {
    output = {};
    console = {};
    std::vector<std::string> opened;
    system.onOpen([&](std::string_view path) {
      opened.emplace_back(path);
      if (path == folder && std::ranges::count(opened, path) == time) console.stopSignal = signal;
    });
    EXPECT_EQ(Go(system), status) << folder << time << signal;
    EXPECT_EQ(output.bytes, text) << folder << time << signal;
    EXPECT_EQ(console.err, "vexaro-list: 処理を中断しました。\n");
    EXPECT_EQ(output.closes, 1);
  }
}

}  // namespace
}  // namespace vexaro::cli

// The console and output stream of this system, against the real one.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/console.h"
#include "platform/output.h"

namespace vexaro::platform {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "vexaro-out-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

sighandler_t CurrentHandler(int signal) {
  struct sigaction now {};
  ::sigaction(signal, nullptr, &now);
  return now.sa_handler;
}

TEST(OutputFileTest, WritesEveryPieceInOrder) {
  TempFolder temp;
  // Small pieces that stay in the buffer, and pieces larger than it.
  const std::string small = "line\r\n";
  const std::string large(700 * 1024, 'x');
  struct Case {
    const char* name;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"nothing", {}},
      {"small", {small, small, small}},
      {"large", {large}},
      {"mixed", {small, large, small, large + "y", small}},
      {"fills the buffer exactly", {std::string(256 * 1024 - 3, 'a'), "bcd", "e"}},
  };
  for (const Case& c : cases) {
    const fs::path file = temp.path() / c.name;
    OutputResult created = CreateOutputFile(file.string());
    ASSERT_TRUE(created.stream) << created.error.message();
    std::string expected;
    for (const auto& piece : c.pieces) {
      EXPECT_FALSE(created.stream->Write(piece)) << c.name;
      expected += piece;
    }
    EXPECT_FALSE(created.stream->IsTerminal());
    EXPECT_FALSE(created.stream->Close()) << c.name;
    EXPECT_EQ(ReadAll(file), expected) << c.name;
  }
}

TEST(OutputFileTest, FilesThatCannotBeCreated) {
  TempFolder temp;
  struct Case {
    fs::path path;
    std::errc error;
  };
  const Case cases[] = {
      {temp.path() / "no" / "such" / "folder.txt", std::errc::no_such_file_or_directory},
      {temp.path(), std::errc::is_a_directory},
  };
  for (const Case& c : cases) {
    const OutputResult created = CreateOutputFile(c.path.string());
    EXPECT_FALSE(created.stream) << c.path;
    EXPECT_EQ(created.error, std::make_error_code(c.error)) << c.path;
  }
}

TEST(OutputFileTest, AFullDiskIsReportedAndKeptOnceHit) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  OutputResult created = CreateOutputFile("/dev/full");
  ASSERT_TRUE(created.stream) << created.error.message();
  OutputStream& out = *created.stream;
  const auto full = std::make_error_code(std::errc::no_space_on_device);
  EXPECT_FALSE(out.Write("fits in the buffer")) << "nothing is written yet";
  EXPECT_EQ(out.Flush(), full);
  EXPECT_EQ(out.Write("more"), full);
  EXPECT_EQ(out.Write(std::string(300 * 1024, 'z')), full);
  EXPECT_EQ(out.Close(), full);
  EXPECT_EQ(out.Close(), full);
}

TEST(OutputFileTest, NothingIsWrittenAfterClose) {
  TempFolder temp;
  const fs::path file = temp.path() / "closed.txt";
  OutputResult created = CreateOutputFile(file.string());
  ASSERT_TRUE(created.stream);
  created.stream->Write("kept");
  EXPECT_FALSE(created.stream->Close());
  EXPECT_TRUE(created.stream->Write("dropped"));
  EXPECT_FALSE(created.stream->Close()) << "the close itself went well";
  EXPECT_EQ(ReadAll(file), "kept");
}

TEST(ConsoleTest, StopRequestsSetTheFlagOnceThenEndTheProcessAsUsual) {
  for (const int signal : {SIGINT, SIGTERM}) {
    const sighandler_t before = CurrentHandler(signal);
    {
      const auto console = OpenConsole();
      EXPECT_FALSE(console->Interrupted());
      EXPECT_EQ(CurrentHandler(SIGPIPE), SIG_IGN);
      ASSERT_EQ(::raise(signal), 0);
      EXPECT_TRUE(console->Interrupted()) << signal;
      // A second request would end the process.
      EXPECT_EQ(CurrentHandler(signal), SIG_DFL) << signal;
      // A closed pipe does not end it.
      EXPECT_EQ(::raise(SIGPIPE), 0);
    }
    EXPECT_EQ(CurrentHandler(signal), before) << "restored when the console goes";
    const auto again = OpenConsole();
    EXPECT_FALSE(again->Interrupted()) << "a new console starts without a request";
  }
}

}  // namespace
}  // namespace vexaro::platform

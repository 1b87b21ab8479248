// The console and the output stream of the command-line tool on the real
// system: files, redirected handles, a console of the test's own.
#include "platform/windows_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/console.h"
#include "platform/convert_win32.h"
#include "platform/output.h"
#include "tests/win32/temp_tree.h"

namespace vexaro::platform {
namespace {

using testing::TempTree;
using win32::ExtendedPath;

std::string ReadFileBytes(const std::string& path) {
  HANDLE file = CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<cannot open>";
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// Points a standard handle elsewhere for the life of the object.
class StdHandleSwap {
 public:
  StdHandleSwap(DWORD which, HANDLE handle) : which_(which), old_(GetStdHandle(which)) { SetStdHandle(which, handle); }
  ~StdHandleSwap() { SetStdHandle(which_, old_); }
  StdHandleSwap(const StdHandleSwap&) = delete;
  StdHandleSwap& operator=(const StdHandleSwap&) = delete;

 private:
  DWORD which_;
  HANDLE old_;
};

HANDLE CreateForWriting(const std::string& path) {
  return CreateFileW(ExtendedPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
}

TEST(OutputFile, WritesExactlyTheBytesGivenInEveryPieceSize) {
  TempTree tree;
  struct Case {
    const char* name;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"nothing", {}},
      {"small pieces", {"\r\nDate", " and Time : x\r\n", "\xE6\x97\xA5\xE6\x9C\xAC\r\n"}},
      {"a piece larger than the buffer", {"head", std::string(700000, 'x'), "tail"}},
      {"pieces that fill the buffer exactly", {std::string(256 << 10, 'a'), std::string(256 << 10, 'b'), "c"}},
  };
  for (const auto& c : cases) {
    const std::string path = tree.Path(std::string("out-") + c.name + ".txt");
    OutputResult created = CreateOutputFile(path);
    ASSERT_TRUE(created.stream) << c.name << ": " << created.error.message();
    EXPECT_FALSE(created.stream->IsTerminal());
    std::string expected;
    for (const auto& piece : c.pieces) {
      EXPECT_FALSE(created.stream->Write(piece)) << c.name;
      expected += piece;
    }
    EXPECT_FALSE(created.stream->Close()) << c.name;
    EXPECT_EQ(ReadFileBytes(path), expected) << c.name;
    EXPECT_TRUE(created.stream->Write("late")) << c.name << ": writes after Close fail";
    EXPECT_FALSE(created.stream->Close()) << c.name << ": closing twice gives the first result";
  }
}

TEST(OutputFile, CreatesUnicodeNamesReplacesOldFilesAndSaysWhyNot) {
  TempTree tree;
  const std::string unicode = tree.Path("\xE4\xB8\x80\xE8\xA6\xA7 \xF0\x9F\x93\x83.txt");
  tree.AddFile("\xE4\xB8\x80\xE8\xA6\xA7 \xF0\x9F\x93\x83.txt", 100000);
  OutputResult created = CreateOutputFile(unicode);
  ASSERT_TRUE(created.stream) << created.error.message();
  created.stream->Write("new");
  EXPECT_FALSE(created.stream->Close());
  EXPECT_EQ(ReadFileBytes(unicode), "new") << "the longer old file is replaced";

  tree.AddFolder("a-folder");
  struct Case {
    std::string path;
    std::optional<std::errc> condition;
  };
  const Case cases[] = {
      {tree.Path("no\\such\\list.txt"), std::errc::no_such_file_or_directory},
      {tree.Path("a-folder"), std::errc::permission_denied},
  };
  for (const auto& c : cases) {
    const OutputResult failed = CreateOutputFile(c.path);
    EXPECT_FALSE(failed.stream) << c.path;
    ASSERT_TRUE(failed.error) << c.path;
    if (c.condition) {
      EXPECT_EQ(failed.error, *c.condition) << c.path << ": " << failed.error.message();
    }
  }
}

TEST(StandardStreams, RedirectedErrorGetsCrLfAndAClosedPipeIsAnError) {
  TempTree tree;
  const std::string errPath = tree.Path("stderr.txt");
  HANDLE err = CreateForWriting(errPath);
  ASSERT_NE(err, INVALID_HANDLE_VALUE);
  {
    StdHandleSwap swap(STD_ERROR_HANDLE, err);
    const auto console = OpenConsole();
    EXPECT_FALSE(console->IsTerminal());
    EXPECT_EQ(console->Columns(), std::nullopt);
    console->Write("one\ntwo\r\n");
    console->Write("\xE5\x87\xA6\xE7\x90\x86\n");
    EXPECT_FALSE(console->Interrupted());
  }
  CloseHandle(err);
  EXPECT_EQ(ReadFileBytes(errPath), "one\r\ntwo\r\n\xE5\x87\xA6\xE7\x90\x86\r\n");

  HANDLE reader = nullptr;
  HANDLE writer = nullptr;
  ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 0));
  CloseHandle(reader);  // nobody reads any more
  {
    StdHandleSwap swap(STD_OUTPUT_HANDLE, writer);
    const auto out = OpenStandardOutput();
    EXPECT_FALSE(out->IsTerminal());
    EXPECT_FALSE(out->Write("buffered")) << "nothing written yet";
    const std::error_code error = out->Flush();
    EXPECT_EQ(error, std::errc::broken_pipe) << error.message();
    EXPECT_EQ(out->Write("more"), error) << "the first error stays";
    EXPECT_EQ(out->Close(), error);
  }
  CloseHandle(writer);
}

// A console of the test's own; needs a display under Wine.
class OwnConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeConsole();
    if (!AllocConsole()) GTEST_SKIP() << "no console can be made here";
    screen_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    if (screen_ == INVALID_HANDLE_VALUE || !GetConsoleMode(screen_, &mode)) {
      GTEST_SKIP() << "the console has no screen here (Wine without a display)";
    }
  }
  void TearDown() override {
    if (screen_ != INVALID_HANDLE_VALUE) CloseHandle(screen_);
    FreeConsole();
  }

  // The characters of the cursor's line, from its start.
  std::wstring CurrentLine(int width) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(screen_, &info);
    std::wstring text(static_cast<std::size_t>(width), L'\0');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen_, text.data(), static_cast<DWORD>(width), {0, info.dwCursorPosition.Y}, &read);
    text.resize(read);
    return text;
  }

  HANDLE screen_ = INVALID_HANDLE_VALUE;
};

TEST_F(OwnConsoleTest, OutputReachesTheConsoleInWholeCharacters) {
  StdHandleSwap swap(STD_OUTPUT_HANDLE, screen_);
  const auto out = OpenStandardOutput();
  ASSERT_TRUE(out->IsTerminal());
  // One character split over two writes, one over three.
  for (const char* piece : {"\xE6\x97", "\xA5\xE6\x9C\xAC ", "\xF0\x9F", "\x98", "\x80", "ab"}) {
    EXPECT_FALSE(out->Write(piece));
  }
  EXPECT_EQ(CurrentLine(8), std::wstring(L"\u65E5\u672C ") + L"\U0001F600" + L"ab" + L" ");
  EXPECT_FALSE(out->Close());
}

TEST_F(OwnConsoleTest, ProgressLineIsRedrawnInPlaceAndCtrlCIsNoticed) {
  StdHandleSwap swap(STD_ERROR_HANDLE, screen_);
  const auto console = OpenConsole();
  ASSERT_TRUE(console->IsTerminal());
  const std::optional<int> columns = console->Columns();
  ASSERT_TRUE(columns);
  EXPECT_GT(*columns, 10);

  console->Write("\rListing Folders: C:\\a\\long\\path\x1b[K");
  console->Write("\rListing Files\x1b[K");
  EXPECT_EQ(CurrentLine(30), L"Listing Files                 ");

  EXPECT_FALSE(console->Interrupted());
  ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!console->Interrupted() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(console->Interrupted());
}

}  // namespace
}  // namespace vexaro::platform

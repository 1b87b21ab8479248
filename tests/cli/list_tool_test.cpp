// vexaro-list.exe as its own process on a tree the test makes: names outside
// any ANSI code page, a path of more than 300 characters, hidden and system
// files, a sparse file beyond 4 GiB, a folder that is not there.
#include "platform/win32/windows_win32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "cli/console.h"
#include "platform/win32/convert_win32.h"
#include "tests/platform/win32/temp_tree.h"

namespace vexaro::platform::win32 {
namespace {

using testing::TempTree;

HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(ExtendedPath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition, 0,
                     nullptr);
}

std::string Contents(const std::string& path) {
  std::ifstream in(std::filesystem::path(ExtendedPath(path)), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Runs the tool of the build tree with standard output and error sent to
// `out` and `err`; gives its exit status. No argument may end with a
// backslash, which would escape its closing quote.
DWORD RunTool(const std::vector<std::string>& args, HANDLE out, HANDLE err) {
  std::wstring tool(32768, L'\0');
  tool.resize(GetModuleFileNameW(nullptr, tool.data(), static_cast<DWORD>(tool.size())));
  tool = tool.substr(0, tool.rfind(L'\\')) + L"\\..\\..\\cli\\vexaro-list.exe";
  std::wstring commandLine = L"vexaro-list";
  for (const auto& arg : args) commandLine += L" \"" + Widen(arg) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    ADD_FAILURE() << "cannot start the tool: " << LastError().message();
    return ~DWORD{0};
  }
  DWORD status = ~DWORD{0};
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return status;
}

// A stale standard handle gives way to the null device; a stale standard
// output is told, since a listing for it would go nowhere.
TEST(StandardStreams, AHandleNoLongerOpenGivesWayToTheNullDevice) {
  for (const DWORD which : {STD_ERROR_HANDLE, STD_OUTPUT_HANDLE}) {
    const HANDLE saved = GetStdHandle(which);
    const HANDLE stale = CreateFileW(L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(stale, INVALID_HANDLE_VALUE);
    CloseHandle(stale);
    SetStdHandle(which, stale);

    EXPECT_EQ(cli::OpenMissingStandardStreams(), which == STD_OUTPUT_HANDLE);
    const HANDLE opened = GetStdHandle(which);
    EXPECT_NE(GetFileType(opened), static_cast<DWORD>(FILE_TYPE_UNKNOWN)) << "an open handle";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(opened, "x", 1, &written, nullptr));
    TempTree tree;
    const HANDLE file = Inheritable(tree.Path("out.txt"), GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_NE(file, opened) << "a file created next is no standard handle";
    CloseHandle(file);

    SetStdHandle(which, saved);
    if (opened != saved) CloseHandle(opened);
  }
}

TEST(ListTool, RealTreeRedirectedAsUtf8WithCrLf) {
  TempTree tree;
  const std::string top = "\xE8\xB5\xB7\xE7\x82\xB9\\";  // 起点
  const std::string start = tree.Path(top);
  std::string deep;
  for (char c = 'a'; c < 'f'; ++c) deep += std::string(60, c) + "\\";
  const struct {
    std::string name;
    std::uint64_t size;
    DWORD attributes;
  } files[] = {
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", 3, 0},  // Japanese and Korean side by side
      {"\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4.txt", 2, 0},
      {"\xF0\x9F\x98\x80\\e.txt", 1, 0},  // in a folder named with an emoji
      {"hidden.txt", 4, FILE_ATTRIBUTE_HIDDEN},
      {"system.sys", 5, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
      {"big.bin", (std::uint64_t{5} << 30) + 1, 0},
      {deep + "deep.txt", 42, 0},
  };
  for (const auto& file : files) tree.File(top + file.name, file.size, file.attributes);
  ASSERT_GT(start.size() + deep.size(), 300u);
  const std::string missing = tree.Path("missing");

  const std::string outPath = tree.Path("out.txt"), errPath = tree.Path("err.txt");
  HANDLE out = Inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = Inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
  const DWORD status = RunTool({"--no-date", "--no-free", start.substr(0, start.size() - 1), missing}, out, err);
  CloseHandle(out);
  CloseHandle(err);

  EXPECT_EQ(status, 1u) << "a folder could not be read";
  const auto header = [](const std::string& folder) {
    return "\r\nDate and Time : *\r\nVolume Name : *\r\nStarting Path : " + folder + "\r\n\r\n";
  };
  const std::string expected = header(start) +
                               "  5368709121 : big.bin\r\n"
                               "           4 : hidden.txt\r\n"
                               "           5 : system.sys\r\n"
                               "           3 : \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt\r\n"
                               "           2 : \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4.txt\r\n"
                               "          42 : " +
                               deep +
                               "deep.txt\r\n"
                               "           1 : \xF0\x9F\x98\x80\\e.txt\r\n" +
                               header(missing + "\\");
  static const std::regex varying("(Date and Time : |Volume Name : )[^\r\n]*");
  EXPECT_EQ(std::regex_replace(Contents(outPath), varying, "$1*"), expected);
  const std::string errors = Contents(errPath);
  EXPECT_TRUE(errors.starts_with("vexaro-list: cannot read folder '" + missing + "\\': ")) << errors;
  EXPECT_EQ(errors.find("\r\n"), errors.size() - 2) << "one line, ended by CR LF: " << errors;
}

TEST(ListTool, AReaderThatWentAwayEndsTheRunQuietlyWith141) {
  TempTree tree;
  // More than the output buffer and a pipe hold, so that a write meets the
  // closed pipe whatever the order of events.
  for (int i = 0; i < 4000; ++i) tree.File("d\\some-longer-file-name-" + std::to_string(i) + ".txt", 1);
  for (const std::string& arg : {tree.Path("d"), std::string("--help")}) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    ASSERT_TRUE(CreatePipe(&reader, &writer, &inherit, 0));
    CloseHandle(reader);
    const std::string errPath = tree.Path("err.txt");
    HANDLE err = Inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_EQ(RunTool({"-q", arg}, writer, err), 141u) << arg;
    CloseHandle(writer);
    CloseHandle(err);
    EXPECT_EQ(Contents(errPath), "") << arg;
  }
}

// A console of the test's own (Wine makes one only with a display).
TEST(ListTool, NamesReachAConsoleAsTheyAre) {
  FreeConsole();
  if (!AllocConsole()) GTEST_SKIP() << "no console can be made here";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(screen, &info)) {
    FreeConsole();
    GTEST_SKIP() << "the console has no screen here";
  }
  TempTree tree;
  tree.File("c\\\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", 3);
  tree.File("c\\\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4.txt", 2);
  EXPECT_EQ(RunTool({"--no-date", tree.Path("c")}, screen, screen), 0u);
  std::wstring text(static_cast<std::size_t>(info.dwSize.X) * info.dwSize.Y, L' ');
  DWORD read = 0;
  ReadConsoleOutputCharacterW(screen, text.data(), static_cast<DWORD>(text.size()), {0, 0}, &read);
  CloseHandle(screen);
  FreeConsole();
  EXPECT_NE(text.find(L"3 : \u65E5\u672C\u8A9E.txt"), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(L"2 : \uD55C\uAD6D\uC5B4.txt"), std::wstring::npos) << Narrow(text);
}

}  // namespace
}  // namespace vexaro::platform::win32

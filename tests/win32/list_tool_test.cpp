// vexaro-list.exe itself, started as its own process on trees made by the
// tests: Unicode arguments, redirected streams, CR LF, Ctrl-C. Output files
// and closed pipes are the output stream's tests.
#include "platform/windows_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "platform/convert_win32.h"
#include "tests/win32/temp_tree.h"

namespace vexaro::platform::win32 {
namespace {

using testing::TempTree;
using namespace std::chrono_literals;

// The tool beside this test in the build tree.
std::wstring ToolPath() {
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  return self.substr(0, self.find_last_of(L'\\')) + L"\\..\\..\\cli\\vexaro-list.exe";
}

// One argument as the C runtime reads it back: quoted, backslashes before a
// quote (and before the closing quote) doubled.
std::wstring Quoted(std::wstring_view argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(2 * backslashes, L'\\');
  out.push_back(L'"');
  return out;
}

std::string ReadAllFrom(HANDLE handle) {
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

std::string ReadFileBytes(const std::string& path) {
  HANDLE file = CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<cannot open>";
  std::string bytes = ReadAllFrom(file);
  CloseHandle(file);
  return bytes;
}

// The header lines that depend on the moment and the machine, made fixed.
std::string Normalised(const std::string& listing) {
  static const std::regex varying("(Date and Time : |Volume Name : |Free Disk Space : |Disk Space : )[^\r\n]*");
  return std::regex_replace(listing, varying, "$1*");
}

struct Outcome {
  DWORD status = 0xFFFFFFFF;
  std::string out;
  std::string err;
};

BOOL WINAPI Swallow(DWORD) { return TRUE; }

class ListToolTest : public ::testing::Test {
 protected:
  HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(ExtendedPath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       0, nullptr);
  }

  // Starts the tool; the caller owns the process handle.
  HANDLE Start(const std::vector<std::string>& args, HANDLE out, HANDLE err, DWORD flags = 0) {
    std::wstring commandLine = Quoted(ToolPath());
    for (const auto& a : args) commandLine += L" " + Quoted(Widen(a));
    const std::wstring tool = ToolPath();
    HANDLE in = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                        nullptr, &startup, &process) != 0;
    CloseHandle(in);
    EXPECT_TRUE(started) << LastError().message();
    if (!started) return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
  }

  static DWORD Wait(HANDLE process) {
    DWORD status = 0xFFFFFFFF;
    if (process == nullptr) return status;
    EXPECT_EQ(WaitForSingleObject(process, 60000), WAIT_OBJECT_0);
    GetExitCodeProcess(process, &status);
    CloseHandle(process);
    return status;
  }

  // Runs the tool with standard output and error to files.
  Outcome Tool(const std::vector<std::string>& args) {
    const std::string outPath = tree.Path("stdout"), errPath = tree.Path("stderr");
    HANDLE out = Inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = Inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE process = Start(args, out, err);
    CloseHandle(out);
    CloseHandle(err);
    Outcome outcome;
    outcome.status = Wait(process);
    outcome.out = ReadFileBytes(outPath);
    outcome.err = ReadFileBytes(errPath);
    return outcome;
  }

  static std::string Header(const std::string& start) {
    return "\r\nDate and Time : *\r\nVolume Name : *\r\nStarting Path : " + start + "\r\n";
  }

  TempTree tree;
};

TEST_F(ListToolTest, ListsATreeNamedInAnyScript) {
  const std::string start = tree.Path("\xE8\xB5\xB7\xE7\x82\xB9\\");  // 起点
  tree.AddFile("\xE8\xB5\xB7\xE7\x82\xB9\\a.txt", 1536);
  tree.AddFile("\xE8\xB5\xB7\xE7\x82\xB9\\\xE5\x86\x99\xE7\x9C\x9F.jpg", 5);                    // 写真.jpg
  tree.AddFile("\xE8\xB5\xB7\xE7\x82\xB9\\\xED\x95\x9C\xEA\xB5\xAD\\b.txt", 2);                 // 한국\b.txt
  tree.AddFile("\xE8\xB5\xB7\xE7\x82\xB9\\\xF0\x9F\x98\x80\\c.txt", 0);                         // 😀\c.txt
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{"--no-date", "--no-free"},
       {"        1536 : a.txt", "           5 : \xE5\x86\x99\xE7\x9C\x9F.jpg", "           2 : \xED\x95\x9C\xEA\xB5\xAD\\b.txt",
        "           0 : \xF0\x9F\x98\x80\\c.txt"}},
      {{"--no-date", "--no-free", "--no-size", "--csv", "--no-volume"},
       {"\"" + start + "\",\"a.txt\"", "\"" + start + "\",\"\xE5\x86\x99\xE7\x9C\x9F.jpg\"",
        "\"" + start + "\xED\x95\x9C\xEA\xB5\xAD\\\",\"b.txt\"", "\"" + start + "\xF0\x9F\x98\x80\\\",\"c.txt\""}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back(start.substr(0, start.size() - 1));  // without its separator
    const Outcome run = Tool(args);
    const std::string label = ::testing::PrintToString(c.args);
    EXPECT_EQ(run.status, 0u) << label << run.err;
    EXPECT_EQ(run.err, "") << label;
    std::string expected = Header(start);
    for (const auto& line : c.lines) expected.append("\r\n").append(line);
    expected.append("\r\n");
    EXPECT_EQ(Normalised(run.out), expected) << label;
  }
}

TEST_F(ListToolTest, MissingFolderIsNamedOnStandardErrorWithCrLf) {
  tree.AddFile("ok\\f", 3);
  const std::string missing = tree.Path("missing\\");
  const Outcome run = Tool({"--no-date", "--no-free", missing, tree.Path("ok")});
  EXPECT_EQ(run.status, 1u);
  EXPECT_EQ(Normalised(run.out), Header(missing) + "\r\n" + Header(tree.Path("ok\\")) + "\r\n           3 : f\r\n");
  const std::string prefix = "vexaro-list: cannot read folder '" + missing + "': ";
  EXPECT_EQ(run.err.substr(0, prefix.size()), prefix) << run.err;
  EXPECT_TRUE(run.err.ends_with("\r\n")) << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
}

TEST_F(ListToolTest, CtrlCKeepsWholeLinesAndGivesStatus130) {
  FreeConsole();
  if (!AllocConsole()) GTEST_SKIP() << "no console can be made here";
  // Ctrl-C goes to every process of the console: this one takes it as done.
  SetConsoleCtrlHandler(Swallow, TRUE);
  struct Release {
    ~Release() {
      SetConsoleCtrlHandler(Swallow, FALSE);
      FreeConsole();
    }
  } release;
  // Folder a holds more text than the pipe takes, and the tree is listed
  // twenty times over, so the tool is still writing when the request comes.
  const std::string longName(200, 'n');
  for (int i = 0; i < 1500; ++i) tree.AddFile("a\\" + std::to_string(10000 + i) + longName);
  tree.AddFile("b\\after");
  std::vector<std::string> args = {"--no-date", "--no-size", "--no-free"};
  for (int i = 0; i < 20; ++i) args.push_back(tree.root());

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE reader = nullptr;
  HANDLE writer = nullptr;
  ASSERT_TRUE(CreatePipe(&reader, &writer, &inherit, 4096));
  SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
  const std::string errPath = tree.Path("stderr");
  HANDLE err = Inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE process = Start(args, writer, err);
  CloseHandle(writer);
  CloseHandle(err);
  ASSERT_NE(process, nullptr);

  // From the first byte in the pipe on, the tool is writing folder a's lines.
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  DWORD pending = 0;
  while (PeekNamedPipe(reader, nullptr, 0, nullptr, &pending, nullptr) && pending == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_GT(pending, 0u);
  EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << LastError().message();
  const std::string out = ReadAllFrom(reader);
  CloseHandle(reader);
  EXPECT_EQ(Wait(process), 130u);
  EXPECT_EQ(ReadFileBytes(errPath), "vexaro-list: \xE5\x87\xA6\xE7\x90\x86\xE3\x82\x92\xE4\xB8\xAD\xE6\x96\xAD\xE3\x81\x97"
                                    "\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82\r\n");
  // The run stopped part-way and every line is whole: the listing that was
  // stopped ends after the last line of folder a, or after its header when
  // the request came during its walk, or the run ended between listings.
  const auto count = [&](std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = out.find(what); at != std::string::npos; at = out.find(what, at + 1)) ++n;
    return n;
  };
  const std::size_t listings = count("Date and Time : ");
  EXPECT_LT(listings, 20u);
  const bool inFolderA = out.ends_with("a\\11499" + longName);
  const bool afterHeader = out.ends_with("Starting Path : " + tree.root() + "\r\n");
  const bool betweenListings = out.ends_with("b\\after\r\n");
  EXPECT_TRUE(inFolderA || afterHeader || betweenListings)
      << out.substr(out.size() - std::min<std::size_t>(out.size(), 300));
  EXPECT_EQ(count("b\\after"), betweenListings ? listings : listings - 1) << "folder b of a stopped listing";
}

}  // namespace
}  // namespace vexaro::platform::win32

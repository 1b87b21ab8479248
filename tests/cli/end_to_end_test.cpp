// The vexaro-list program itself, run on trees made by the tests.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace vexaro::cli {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      return text;
    }
  }
}

// The header lines that depend on the moment and the machine, made fixed.
std::string Normalised(const std::string& listing) {
  static const std::regex varying("(Date and Time : |Volume Name : |Free Disk Space : |Disk Space : )[^\r\n]*");
  return std::regex_replace(listing, varying, "$1*");
}

struct Outcome {
  int status = -1;  // exit status, or -1 when ended by a signal
  std::string out;
  std::string err;
};

enum class Stdout { File, ClosedPipe };

class EndToEndTest : public ::testing::Test {
 protected:
  EndToEndTest() {
    std::string pattern = (fs::temp_directory_path() / "vexaro-e2e-XXXXXX").string();
    base = ::mkdtemp(pattern.data());
    root = base / "tree";
  }
  ~EndToEndTest() override {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(base, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(base, ignored);
  }

  void File(const fs::path& relative, std::uintmax_t size) {
    const fs::path path = root / relative;
    fs::create_directories(path.parent_path());
    std::ofstream{path};
    fs::resize_file(path, size);  // sparse: no time spent on large sizes
  }
  void Folder(const fs::path& relative) { fs::create_directories(root / relative); }

  // Runs the program with `args`; standard error to a file, standard output
  // to a file or to a pipe that nobody reads any more.
  Outcome Tool(const std::vector<std::string>& args, Stdout mode = Stdout::File, const fs::path& cwd = {}) {
    const fs::path outFile = base / "stdout", errFile = base / "stderr";
    int pipeFds[2] = {-1, -1};
    if (mode == Stdout::ClosedPipe) {
      EXPECT_EQ(::pipe(pipeFds), 0);
      ::close(pipeFds[0]);  // the reader is gone before the first write
    }
    const pid_t child = ::fork();
    if (child == 0) {
      const int out = mode == Stdout::File ? ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600) : pipeFds[1];
      const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int in = ::open("/dev/null", O_RDONLY);
      if (out < 0 || err < 0 || in < 0) ::_exit(125);
      ::dup2(in, 0);
      ::dup2(out, 1);
      ::dup2(err, 2);
      if (!cwd.empty() && (::chdir(cwd.c_str()) != 0 || ::setenv("PWD", cwd.c_str(), 1) != 0)) ::_exit(125);
      std::vector<char*> argv{const_cast<char*>(VEXARO_LIST)};
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(VEXARO_LIST, argv.data());
      ::_exit(126);
    }
    if (mode == Stdout::ClosedPipe) ::close(pipeFds[1]);
    int wstatus = 0;
    ::waitpid(child, &wstatus, 0);
    Outcome outcome;
    outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    if (mode == Stdout::File) outcome.out = ReadFile(outFile);
    outcome.err = ReadFile(errFile);
    return outcome;
  }

  // The example tree, sizes known.
  void MakeTree() {
    File("B.txt", 0);
    File("a.txt", 1536);
    File("c.log", 700);
    File("写真.jpg", 5);
    File("a b/y", 2);
    File("sub/b.txt", 12582912);
    File("sub/deeper/x", 1);
    Folder("empty");
  }

  std::string Header(const fs::path& start, std::string_view eol = "\n") {
    std::string text;
    text.append(eol).append("Date and Time : *");
    text.append(eol).append("Volume Name : *");
    text.append(eol).append("Starting Path : ").append(start.string()).append("/");
    text.append(eol);
    return text;
  }

  fs::path base;
  fs::path root;
};

TEST_F(EndToEndTest, ExactListingOfAKnownTree) {
  MakeTree();
  const std::string r = root.string();
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{"--no-date", "--no-free"},
       {"           0 : B.txt", "        1536 : a.txt", "         700 : c.log", "           5 : 写真.jpg",
        "           2 : a b/y", "    12582912 : sub/b.txt", "           1 : sub/deeper/x"}},
      {{"--no-date", "--no-free", "--no-byte"},
       {"   0 B : B.txt", "   1KB : a.txt", " 700 B : c.log", "   5 B : 写真.jpg", "   2 B : a b/y",
        "  12MB : sub/b.txt", "   1 B : sub/deeper/x"}},
      {{"--no-date", "--no-free", "--no-size", "--csv", "--no-volume"},
       {"\"" + r + "/\",\"B.txt\"", "\"" + r + "/\",\"a.txt\"", "\"" + r + "/\",\"c.log\"",
        "\"" + r + "/\",\"写真.jpg\"", "\"" + r + "/a b/\",\"y\"", "\"" + r + "/sub/\",\"b.txt\"",
        "\"" + r + "/sub/deeper/\",\"x\""}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back(r);
    const Outcome run = Tool(args);
    const std::string label = ::testing::PrintToString(c.args);
    EXPECT_EQ(run.status, 0) << label << run.err;
    EXPECT_EQ(run.err, "") << label;
    std::string expected = Header(root);
    for (const auto& line : c.lines) expected.append("\n").append(line);
    expected.append("\n");
    EXPECT_EQ(Normalised(run.out), expected) << label;
  }
}

TEST_F(EndToEndTest, FoldersInTheOrderGivenRelativeOnesMadeAbsolute) {
  File("one/f", 1);
  File("two/g", 2);
  const Outcome run = Tool({"--no-date", "--no-free", "-q", "tree/two", "./tree/one/../one/", root.string() + "/two"},
                           Stdout::File, base);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Normalised(run.out), Header(root / "two") + "\n           2 : g\n" + Header(root / "one") +
                                     "\n           1 : f\n" + Header(root / "two") + "\n           2 : g\n");
}

TEST_F(EndToEndTest, CrLfEndsEveryLine) {
  MakeTree();
  const Outcome run = Tool({"--crlf", root.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("\r\nDate and Time : "));
  EXPECT_TRUE(run.out.ends_with("           1 : sub/deeper/x\r\n"));
  std::size_t lines = 0;
  for (std::size_t at = run.out.find('\n'); at != std::string::npos; at = run.out.find('\n', at + 1)) {
    ++lines;
    ASSERT_TRUE(at > 0 && run.out[at - 1] == '\r') << "bare LF at " << at;
  }
  EXPECT_EQ(lines, 14u);  // 6 before and after the header lines, 7 before the files, 1 final
}

TEST_F(EndToEndTest, MissingAndUnreadableFoldersAreNamedAndGiveStatusOne) {
  File("ok/f", 3);
  Folder("ok/locked");
  File("ok/locked/secret", 1);
  fs::permissions(root / "ok/locked", fs::perms::none);
  const bool rootUser = ::geteuid() == 0;  // reads everything regardless

  const Outcome run = Tool({"--no-date", "--no-free", (root / "missing").string(), (root / "ok").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(Normalised(run.out), Header(root / "missing") + "\n" + Header(root / "ok") + "\n           3 : f" +
                                     (rootUser ? "\n           1 : locked/secret" : "") + "\n");
  std::string err = "vexaro-list: cannot read folder '" + (root / "missing").string() +
                    "/': No such file or directory\n";
  if (!rootUser) err += "vexaro-list: cannot read folder '" + (root / "ok/locked").string() + "/': Permission denied\n";
  EXPECT_EQ(run.err, err);
}

TEST_F(EndToEndTest, CommandLineErrorsHelpAndVersion) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;  // its first line
  };
  const Case cases[] = {
      {{}, 2, "", "vexaro-list: no folder given"},
      {{"--bogus", "x"}, 2, "", "vexaro-list: unknown option '--bogus'"},
      {{"x", "-o"}, 2, "", "vexaro-list: option '-o' needs a file name"},
      {{"--version"}, 0, "vexaro-list 1.0.0\n", ""},
  };
  for (const Case& c : cases) {
    const Outcome run = Tool(c.args);
    const std::string label = ::testing::PrintToString(c.args);
    EXPECT_EQ(run.status, c.status) << label;
    EXPECT_EQ(run.out, c.out) << label;
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.err) << label;
  }
  const Outcome help = Tool({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: vexaro-list [options] FOLDER...\n")) << help.out;
}

TEST_F(EndToEndTest, OutputFileHoldsTheSameBytesAsStandardOutput) {
  MakeTree();
  const fs::path file = base / "list.txt";
  std::ofstream(file) << std::string(100000, '#');  // an old, longer file is replaced
  const Outcome toStdout = Tool({root.string()});
  const Outcome toFile = Tool({"-o", file.string(), root.string()});
  EXPECT_EQ(toStdout.status, 0) << toStdout.err;
  EXPECT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_EQ(toFile.out, "");
  EXPECT_EQ(toFile.err, "");
  // The Date and Time line may change between two runs; nothing else may.
  EXPECT_EQ(Normalised(ReadFile(file)), Normalised(toStdout.out));
  EXPECT_NE(toStdout.out.find("sub/deeper/x\n"), std::string::npos);

  const Outcome cannot = Tool({"-o", (base / "no/such/list.txt").string(), root.string()});
  EXPECT_EQ(cannot.status, 1);
  EXPECT_EQ(cannot.err,
            "vexaro-list: cannot create '" + (base / "no/such/list.txt").string() + "': No such file or directory\n");
}

TEST_F(EndToEndTest, ClosedPipeEndsTheRunWithStatusOne) {
  MakeTree();
  for (const std::vector<std::string>& args : {std::vector<std::string>{root.string()},
                                               std::vector<std::string>{"--help"}}) {
    const Outcome run = Tool(args, Stdout::ClosedPipe);
    EXPECT_EQ(run.status, 1) << "ended by a signal when -1";
    EXPECT_NE(run.err.find("Broken pipe"), std::string::npos) << run.err;
  }
}

TEST_F(EndToEndTest, InterruptKeepsWholeLinesAndGivesStatus130) {
  // Folder a holds more text than the output buffer and the pipe together,
  // so the program is still writing it when the interrupt comes.
  const std::string longName(200, 'n');
  for (int i = 0; i < 1500; ++i) File("a/" + std::to_string(10000 + i) + longName, 0);
  File("b/after", 0);

  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::fcntl(fds[0], F_SETPIPE_SZ, 4096);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(fds[1], 1);
    const int err = ::open((base / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(err, 2);
    ::close(fds[0]);
    const std::string folder = root.string();
    const char* argv[] = {VEXARO_LIST, "--no-date", "--no-size", "--no-free", folder.c_str(), nullptr};
    ::execv(VEXARO_LIST, const_cast<char**>(argv));
    ::_exit(126);
  }
  ::close(fds[1]);
  // The header stays in the output buffer until folder a's lines come; from
  // the first byte in the pipe on, the program is writing those lines, and
  // it cannot finish them while nobody reads.
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  int pending = 0;
  while ((::ioctl(fds[0], FIONREAD, &pending) == 0 && pending == 0) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_GT(pending, 0);
  ::kill(child, SIGINT);
  const std::string out = ReadAll(fds[0]);
  ::close(fds[0]);
  int wstatus = 0;
  ::waitpid(child, &wstatus, 0);
  ASSERT_TRUE(WIFEXITED(wstatus)) << "ended by signal " << WTERMSIG(wstatus);
  EXPECT_EQ(WEXITSTATUS(wstatus), 130);
  EXPECT_EQ(ReadFile(base / "stderr"), "vexaro-list: 処理を中断しました。\n");
  // Every file line of folder a is there and whole; folder b is not begun.
  EXPECT_TRUE(out.ends_with("11499" + longName)) << out.substr(out.size() - std::min<std::size_t>(out.size(), 300));
  EXPECT_EQ(out.find("after"), std::string::npos);
}

}  // namespace
}  // namespace vexaro::cli

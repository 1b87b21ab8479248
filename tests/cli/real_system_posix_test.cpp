// On the real system: the output file, the console, and the vexaro-list
// program itself on trees made by the tests.

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli/console.h"
#include "cli/output.h"

namespace vexaro::cli {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// The header lines that depend on the moment and the machine, made fixed.
std::string Normalised(const std::string& listing) {
  return std::regex_replace(listing, std::regex("(Date and Time : |Volume Name : )[^\n]*"), "$1*");
}

void SetLimit(int resource, rlim_t value) {
  const rlimit limit{value, value};
  ::setrlimit(resource, &limit);
}

struct Outcome {
  int status = -1;  // -1: ended by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

class EndToEndTest : public ::testing::Test {
 protected:
  EndToEndTest() {
    std::string pattern = fs::temp_directory_path().string().append("/vexaro-e2e-XXXXXX");
    base = ::mkdtemp(pattern.data());
    root = base / "tree";
    for (const auto& [name, size] :
         {std::pair<fs::path, int>{"B.txt", 0}, {"a.txt", 1536}, {"写真.jpg", 5}, {"a b/y", 2}, {"sub/deeper/x", 1}}) {
      fs::create_directories((root / name).parent_path());
      std::ofstream(root / name) << std::string(size, '-');
    }
    std::ofstream(root / "line\nbreak") << "---";
    // Listed with the size of a.txt; neither walked nor listed; a loop, not
    // entered; listed with their own size, the length of the target.
    for (const auto& [name, target] : {std::pair<fs::path, fs::path>{"ln.txt", "a.txt"},
                                       {"lnk", "sub"},
                                       {"sub/up", ".."},
                                       {"dangling", "nowhere/at/all"},
                                       {"loop", "loop"}}) {
      fs::create_symlink(target, root / name);
    }
  }
  ~EndToEndTest() override { fs::remove_all(base); }

  // vexaro-list with `args`, standard output on `out` (-1: a file), standard
  // error to a file or closed; `inChild` last before the program starts.
  pid_t Spawn(std::vector<std::string> args, int out = -1, bool closedStderr = false,
              const std::function<void()>& inChild = {}) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(out >= 0 ? out : ::open((base / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      ::dup2(::open((base / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      if (closedStderr) ::close(2);
      if (inChild) inChild();
      std::vector<char*> argv{const_cast<char*>(VEXARO_LIST)};
      for (auto& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      ::execv(VEXARO_LIST, argv.data());
      ::_exit(126);
    }
    return child;
  }
  Outcome Wait(pid_t child, bool readOut = true) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0,
            readOut ? ReadFile(base / "stdout") : "", ReadFile(base / "stderr")};
  }
  Outcome Tool(std::vector<std::string> args, bool closedStderr = false, const std::function<void()>& inChild = {}) {
    return Wait(Spawn(std::move(args), -1, closedStderr, inChild));
  }

  fs::path base;
  fs::path root;
};

TEST_F(EndToEndTest, OutputFileGetsEveryPieceInOrderAndReportsAFullDisk) {
  const fs::path file = base / "pieces";
  OutputResult created = CreateOutputFile(file.string());
  ASSERT_TRUE(created.stream) << created.error.message();
  // Pieces smaller and larger than the buffer, and one that fills it exactly.
  std::string expected;
  for (const std::string& piece : {std::string("line\r\n"), std::string(700 * 1024, 'x'), std::string("y\r\n"),
                                   std::string(256 * 1024 - 3, 'a'), std::string("bcd"), std::string("e")}) {
    EXPECT_FALSE(created.stream->Write(piece));
    expected += piece;
  }
  EXPECT_FALSE(created.stream->Close());
  EXPECT_TRUE(ReadFile(file) == expected) << "the file differs";

  OutputResult full = CreateOutputFile("/dev/full");
  ASSERT_TRUE(full.stream) << full.error.message();
  EXPECT_FALSE(full.stream->Write("fits in the buffer"));
  EXPECT_EQ(full.stream->Close(), std::make_error_code(std::errc::no_space_on_device));
}

TEST(ConsoleTest, AStopRequestIsKeptWithItsSignalAndASecondOneEndsTheProcess) {
  for (const int signal : {SIGINT, SIGTERM}) {
    const auto console = OpenConsole();
    EXPECT_EQ(console->StopSignal(), 0);
    ASSERT_EQ(::raise(signal), 0);
    const int other = signal == SIGINT ? SIGTERM : SIGINT;
    ASSERT_EQ(::raise(other), 0);
    EXPECT_EQ(console->StopSignal(), signal) << "the first request counts";
    struct sigaction now = {};
    ::sigaction(signal, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << signal << ": a second request ends the process";
  }
}

TEST_F(EndToEndTest, ExactListingOnStandardOutputAndTheSameBytesInAFile) {
  const Outcome run = Tool({"--no-date", "--no-free", root.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Normalised(run.out), std::string("\nDate and Time : *\nVolume Name : *\nStarting Path : ")
                                     .append(root.string())
                                     .append("/\n\n"
                                             "           0 : B.txt\n"
                                             "        1536 : a.txt\n"
                                             "          14 : dangling\n"
                                             "           3 : line?break\n"
                                             "        1536 : ln.txt\n"
                                             "           4 : loop\n"
                                             "           5 : 写真.jpg\n"
                                             "           2 : a b/y\n"
                                             "           1 : sub/deeper/x\n"));

  const fs::path file = base / "list.txt";
  std::ofstream(file) << std::string(100000, '#');  // an older, longer file is replaced
  const Outcome toFile = Tool({"--no-date", "--no-free", "-o", file.string(), root.string()});
  EXPECT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_EQ(toFile.out + toFile.err, "");
  EXPECT_EQ(Normalised(ReadFile(file)), Normalised(run.out));
}

// An unreadable folder keeps its header and gives status 1 and a message,
// which never lands in the output file when standard error is closed; a
// wrong option gives status 2.
TEST_F(EndToEndTest, FailuresGiveTheirStatusAndAMessageOnStandardErrorOnly) {
  const std::string missing = (root / "missing").string();
  const Outcome run = Tool({"--no-date", "--no-free", missing, root.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find(std::string("Starting Path : ").append(missing + "/\n\n\nDate")), std::string::npos);
  EXPECT_EQ(run.err,
            std::string("vexaro-list: cannot read folder '").append(missing + "/': No such file or directory\n"));
  const fs::path file = base / "list.txt";
  const Outcome closed = Tool({"--no-date", "--no-free", "-o", file.string(), missing, root.string()}, true);
  EXPECT_EQ(closed.status, 1);
  EXPECT_EQ(Normalised(ReadFile(file)), Normalised(run.out));

  const Outcome usage = Tool({"--bogus", root.string()});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.out + usage.err,
            "vexaro-list: unknown option '--bogus'\nTry 'vexaro-list --help' for more information.\n");

  // A start folder that is something else: named for what it is, not as a
  // folder that changed.
  const fs::path fifo = base / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const fs::path& path : {root / "a.txt", fifo, fs::path("/dev/null")}) {
    const Outcome run = Tool({"-q", path.string()});
    EXPECT_EQ(run.status, 1) << path;
    EXPECT_EQ(run.err, "vexaro-list: '" + path.string() + "/' is not a folder\n");
  }

  // A closed standard output takes nothing: said, with status 1, unless the
  // listing goes to a file.
  const auto closeOutput = [] { ::close(1); };
  const Outcome listing = Tool({root.string()}, false, closeOutput);
  EXPECT_EQ(listing.status, 1);
  EXPECT_EQ(listing.err, "vexaro-list: cannot write the listing to standard output: Bad file descriptor\n");
  const Outcome help = Tool({"--help"}, false, closeOutput);
  EXPECT_EQ(help.status, 1);
  EXPECT_EQ(help.err, "vexaro-list: cannot write to standard output: Bad file descriptor\n");
  const Outcome toFile = Tool({"-o", (base / "out.txt").string(), root.string()}, false, closeOutput);
  EXPECT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_NE(ReadFile(base / "out.txt").find(" : 写真.jpg\n"), std::string::npos);
}

// Under limits of the process, more threads list exactly what one does, or
// the run says what it missed: few descriptors, and an address space too
// small for any worker's stack.
TEST_F(EndToEndTest, LimitsOfTheProcessCostNoFolder) {
  for (int i = 0; i < 300; ++i) {
    const fs::path folder = root / "sub" / std::to_string(i % 30);
    fs::create_directories(folder);
    std::ofstream(folder / std::to_string(i));
  }
  for (int i = 0; i < 30; ++i) fs::create_directories(root / "d" / std::to_string(i) / "e");
  const Outcome unlimited = Tool({"-q", "-j", "1", "--no-date", root.string()});
  ASSERT_EQ(unlimited.status, 0) << unlimited.err;
  ASSERT_NE(unlimited.out.find("sub/29/299"), std::string::npos);
  struct Limit {
    const char* name;
    std::function<void()> set;
    bool withAddressSanitizer;  // which reserves far more address space than any limit here
  };
  const std::vector<Limit> limits = {
      {"16 descriptors", [] { SetLimit(RLIMIT_NOFILE, 16); }, true},
      {"64 descriptors", [] { SetLimit(RLIMIT_NOFILE, 64); }, true},
      // Threads take their stacks at the stack limit's size.
      {"no room for a worker's stack",
       [] { SetLimit(RLIMIT_STACK, rlim_t{1} << 30), SetLimit(RLIMIT_AS, rlim_t{512} << 20); }, false},
  };
  for (const Limit& limit : limits) {
#if defined(__SANITIZE_ADDRESS__)
    if (!limit.withAddressSanitizer) continue;
#endif
    for (const char* jobs : {"1", "8"}) {
      const Outcome run = Tool({"-q", "-j", jobs, "--no-date", root.string()}, false, limit.set);
      EXPECT_EQ(run.status, 0) << limit.name << ", -j " << jobs << ": " << run.err;
      EXPECT_TRUE(Normalised(run.out) == Normalised(unlimited.out)) << limit.name << ", -j " << jobs;
    }
  }
}

TEST_F(EndToEndTest, AStopSignalEndsAfterAWholeLineWith128PlusItsNumber) {
  // Far more than the output buffer and a pipe hold, in many folders, so
  // that the stop comes in the middle of the listing.
  const fs::path big = base / "big";
  for (int folder = 0; folder < 100; ++folder) {
    const fs::path dir = big / ("folder-" + std::to_string(folder));
    fs::create_directories(dir);
    for (int file = 0; file < 100; ++file) std::ofstream(dir / ("some-longer-file-name-" + std::to_string(file)));
  }
  for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = Spawn({"-q", "--no-date", "--no-free", big.string()}, fds[1], false, [&] { ::close(fds[0]); });
    ::close(fds[1]);
    // The first bytes tell that the listing is being written; the program
    // then waits for the pipe, and gets the signal there.
    std::string out(4096, '\0');
    ssize_t got = ::read(fds[0], out.data(), out.size());
    ASSERT_GT(got, 0);
    out.resize(static_cast<std::size_t>(got));
    ::kill(child, signal);
    char chunk[65536];
    while ((got = ::read(fds[0], chunk, sizeof chunk)) > 0) out.append(chunk, static_cast<std::size_t>(got));
    ::close(fds[0]);
    const Outcome run = Wait(child, false);
    EXPECT_EQ(run.status, status) << signal << ": " << run.signal;
    EXPECT_EQ(ReadFile(base / "stderr"), "vexaro-list: 処理を中断しました。\n");
    EXPECT_LT(out.size(), 100 * 100 * 40) << "stopped before the end";
    EXPECT_TRUE(std::regex_search(out, std::regex("\n +0 : folder-[0-9]+/some-longer-file-name-[0-9]+$")))
        << signal << ": ends after a whole line";
  }
}

TEST_F(EndToEndTest, ATerminalGetsNoEscapeSequenceAFileTheFaithfulCsv) {
  // Clears the screen and recolours it: ESC [ (C0) and U+009B CSI (C1).
  const std::string name =
      "x\x1b[2Jy\xc2\x9b"
      "31mz";
  std::ofstream(root / name) << "-";

  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  // Opened here and kept open until the program has ended, so that reading
  // the other side never finds the terminal closed before it began.
  const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios raw{};
  ::tcgetattr(slave, &raw);
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);  // the bytes as written, no LF to CR LF
  ::tcsetattr(slave, TCSANOW, &raw);
  const pid_t child = Spawn({"--csv", "--no-date", "--no-free", root.string()}, slave);
  const Outcome run = Wait(child, false);  // the listing is far smaller than what a terminal buffers
  ::close(slave);
  std::string shown;
  char chunk[4096];
  ssize_t got;
  // With the terminal closed on every side, reading gives what is left, then EIO.
  while ((got = ::read(master, chunk, sizeof chunk)) > 0) shown.append(chunk, static_cast<std::size_t>(got));
  ::close(master);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(shown.find(",\"x?[2Jy?31mz\"\n"), std::string::npos) << shown;
  EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
  EXPECT_EQ(shown.find("\xc2\x9b"), std::string::npos) << shown;

  const fs::path file = base / "list.csv";
  const Outcome toFile = Tool({"--csv", "--no-date", "--no-free", "-o", file.string(), root.string()});
  EXPECT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_NE(ReadFile(file).find(",\"" + name + "\"\n"), std::string::npos) << "a file keeps the faithful name";
}

// With SIGPIPE ignored, as some parents leave it.
TEST_F(EndToEndTest, AReaderThatWentAwayEndsTheRunQuietlyBySigpipe) {
  for (const std::string& arg : {root.string(), std::string("--help")}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    const pid_t child = Spawn({arg}, fds[1], false, [] { ::signal(SIGPIPE, SIG_IGN); });
    ::close(fds[1]);
    const Outcome run = Wait(child, false);
    EXPECT_EQ(run.signal, SIGPIPE) << arg << ": exit status " << run.status;
    EXPECT_EQ(run.err, "") << arg;
  }
}

}  // namespace
}  // namespace vexaro::cli

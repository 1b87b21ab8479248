// The background process that keeps the clipboard is started this way; the
// programs here are small shell scripts that report what they see.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "platform/linux/detached_process.h"
#include "tests/platform/linux/posix_tree.h"

namespace vexaro::platform::posix {
namespace {

using namespace std::chrono_literals;

std::string Read(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// Ends a script that wrote its process id to `pidFile` and is still there.
void EndScript(const std::string& pidFile) {
  const std::string pid = Read(pidFile);
  if (!pid.empty()) ::kill(std::stoi(pid), SIGKILL);
}

TEST(DetachedProcessTest, GetsAllItsInputAndRunsOnItsOwn) {
  testing::PosixTree tree;
  // More than a pipe holds, so that writing and reading must take turns.
  std::string input(3 << 20, 'x');
  input += "end";
  // A descriptor that is not close-on-exec: the process must not get it.
  const int leaked = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 3);
  const std::string script =
      "cat > \"$0.in\"; { echo \"$PWD\"; ps -o sid= -p $$; readlink /proc/$$/fd/2; "
      "[ -e /proc/$$/fd/" +
      std::to_string(leaked) + " ] && echo leaked || echo closed; } > \"$0.out\"; printf k";
  const std::error_code error = StartDetached("/bin/sh", {"sh", "-c", script, tree.Path("seen")}, input, 10s);
  ::close(leaked);
  ASSERT_FALSE(error) << error.message();

  EXPECT_EQ(Read(tree.Path("seen.in")), input);
  std::istringstream seen(Read(tree.Path("seen.out")));
  std::string folder, sid, errors, descriptor;
  seen >> folder >> sid >> errors >> descriptor;
  EXPECT_EQ(folder, "/");                  // holds no folder busy
  EXPECT_NE(std::stoi(sid), ::getsid(0));  // a session of its own: no terminal, no hang-up from it
  EXPECT_EQ(errors, "/dev/null");
  EXPECT_EQ(descriptor, "closed");
}

TEST(DetachedProcessTest, FailsWhenTheProcessDoesNotSayItIsReady) {
  struct Case {
    const char* name;
    std::string program;
    std::string script;  // $0 is the file for the script's process id
    std::size_t inputSize;
    std::errc expected;
  };
  const Case cases[] = {
      {"ends without a word", "/bin/sh", "cat >/dev/null", 100, std::errc::no_child_process},
      {"closes its output and goes on", "/bin/sh", "echo $$ > \"$0\"; exec >&-; cat >/dev/null; exec sleep 10", 100,
       std::errc::no_child_process},
      {"never says it is ready", "/bin/sh", "echo $$ > \"$0\"; cat >/dev/null; exec sleep 10", 100,
       std::errc::timed_out},
      {"does not read its input", "/bin/sh", "echo $$ > \"$0\"; exec sleep 10", 1 << 20, std::errc::timed_out},
      {"ends without reading its input", "/bin/sh", "exit 0", 1 << 20, std::errc::no_child_process},
      {"cannot be started", "/nonexistent/program", "", 100, std::errc::no_child_process},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::PosixTree tree;
    const auto start = std::chrono::steady_clock::now();
    const std::error_code error =
        StartDetached(c.program, {"sh", "-c", c.script, tree.Path("pid")}, std::string(c.inputSize, 'x'), 500ms);
    const auto took = std::chrono::steady_clock::now() - start;
    EndScript(tree.Path("pid"));
    EXPECT_EQ(error, std::make_error_code(c.expected)) << error.message();
    // Never waits much past its limit (a bound for a hang, not a speed target).
    EXPECT_LT(took, 5s);
  }
}

}  // namespace
}  // namespace vexaro::platform::posix

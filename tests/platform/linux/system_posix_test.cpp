// What a program gets from the system: the clock and locale (set in child
// processes, so that nothing leaks into the other tests), processors and
// thread meters, and detached processes.

#include <fcntl.h>
#include <locale.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/linux/clock.h"
#include "platform/linux/detached_process.h"
#include "platform/threads.h"
#include "tests/platform/linux/posix_tree.h"
#include "tests/support/fake_system.h"

namespace vexaro::platform::posix {
namespace {

using testing::UtcSeconds;
using namespace std::chrono_literals;

TEST(PosixClockTest, OffsetIsTheOneInForceAtEachMoment) {
  const auto [status, offsets] = testing::RunInChild([](std::string& out) {
    ::setenv("TZ", "Europe/Berlin", 1);
    PosixClock clock;
    // Winter, summer, and either side of the change to summer time.
    for (const std::int64_t utc : {UtcSeconds(2024, 1, 15, 12), UtcSeconds(2024, 7, 1, 12),
                                   UtcSeconds(2024, 3, 31, 0, 59, 59), UtcSeconds(2024, 3, 31, 1)}) {
      out += std::to_string(clock.UtcOffsetAt(utc)) + " ";
    }
    return 0;
  });
  EXPECT_EQ(offsets, "3600 7200 3600 7200 ");
}

TEST(PosixRegionalTest, DateFormAndTheDecimalSeparatorOfTheLocale) {
  EXPECT_EQ(PosixRegional().DateTimeText({2026, 12, 6, 9, 5, 0}), "2026/12/06 9:05:00");

  // A locale with a decimal comma, made here: few machines have one installed.
  testing::PosixTree tree;
  std::ofstream(tree.Path("comma.src")) << "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \"\"\ngrouping -1\n"
                                           "END LC_NUMERIC\n";
  const std::string make = std::string("localedef -c -f ANSI_X3.4-1968 -i '")
                               .append(tree.Path("comma.src") + "' '" + tree.Path("comma") + "' >/dev/null 2>&1");
  [[maybe_unused]] const int made = std::system(make.c_str());
  if (!std::filesystem::exists(tree.Path("comma/LC_NUMERIC"))) GTEST_SKIP() << "cannot make a locale here";

  const auto [status, separators] = testing::RunInChild([&](std::string& out) {
    ::setenv("LOCPATH", tree.root().c_str(), 1);
    ::unsetenv("LANG");
    const std::string global = ::setlocale(LC_NUMERIC, nullptr);
    // LC_ALL, then LC_NUMERIC.
    for (const auto& [all, numeric] : {std::pair<const char*, const char*>{nullptr, "comma"},
                                       {"C", "comma"},
                                       {nullptr, nullptr},
                                       {nullptr, "no_such"}}) {
      all ? ::setenv("LC_ALL", all, 1) : ::unsetenv("LC_ALL");
      numeric ? ::setenv("LC_NUMERIC", numeric, 1) : ::unsetenv("LC_NUMERIC");
      out += PosixRegional().DecimalSeparator();
    }
    out += ::setlocale(LC_NUMERIC, nullptr) == global ? " process locale kept" : " process locale changed";
    return 0;
  });
  EXPECT_EQ(separators, ",... process locale kept");
}

TEST(ThreadsPosixTest, UsableProcessorsFollowTheAffinity) {
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  EXPECT_EQ(UsableProcessors(), static_cast<unsigned>(CPU_COUNT(&all)));
  unsigned pinned = 0;
  std::thread helper([&] {
    // The first processor the process may use, alone, as taskset -c would.
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (CPU_ISSET(cpu, &all)) {
        CPU_SET(cpu, &one);
        break;
      }
    }
    if (sched_setaffinity(0, sizeof one, &one) == 0) pinned = UsableProcessors();
  });
  helper.join();
  EXPECT_EQ(pinned, 1u);
}

// Sleeping is blocked. (Spinning on a crowded processor is not: the read
// pool's test of a busy machine tells that.)
void Spin(std::chrono::milliseconds time) {
  for (const auto until = std::chrono::steady_clock::now() + time; std::chrono::steady_clock::now() < until;) {
  }
}

TEST(ThreadsPosixTest, AMeterCountsSleepingAsBlocked) {
  std::chrono::nanoseconds slept{};
  std::thread sleeper([&] {
    Spin(100ms);  // the thread's account does not start at 0
    const auto meter = MeterCurrentThread();
    ASSERT_NE(meter, nullptr);
    std::this_thread::sleep_for(200ms);
    slept = meter->BlockedSinceLast().value_or(0ns);
  });
  sleeper.join();
  EXPECT_GE(slept, 150ms);
}

// The background process that keeps the clipboard is started this way; the
// programs here are small shell scripts that report what they see.
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

#include "platform/threads.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace vexaro::platform {
namespace {

int PriorityOf(pid_t thread) { return getpriority(PRIO_PROCESS, static_cast<id_t>(thread)); }
pid_t ThisThread() { return static_cast<pid_t>(syscall(SYS_gettid)); }

TEST(ThreadsPosixTest, ALoweredThreadLeavesTheOthersAsTheyWere) {
  const pid_t main = ThisThread();
  const int mainBefore = PriorityOf(main);
  int before = 0, after = 0;
  bool lowered = false;
  std::thread helper([&] {
    before = PriorityOf(ThisThread());
    lowered = LowerCurrentThreadPriority();
    after = PriorityOf(ThisThread());
  });
  helper.join();
  ASSERT_TRUE(lowered);
  // A nice value above 19 is held at 19.
  EXPECT_GT(after, before == 19 ? 18 : before);
  EXPECT_EQ(PriorityOf(main), mainBefore);
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

TEST(ThreadsPosixTest, ProcessorTimeCountsEveryThreadsWork) {
  const auto start = ProcessCpuTime();
  ASSERT_TRUE(start);
  auto spin = [] {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(60);
    volatile unsigned sink = 0;
    while (std::chrono::steady_clock::now() < until) sink = sink + 1;
  };
  std::thread other(spin);
  other.join();
  const auto end = ProcessCpuTime();
  ASSERT_TRUE(end);
  // The other thread's spin, less what a busy machine may take from it.
  EXPECT_GE(*end - *start, std::chrono::milliseconds(10));
  // Sleeping uses none.
  const auto beforeSleep = ProcessCpuTime();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LT(*ProcessCpuTime() - *beforeSleep, std::chrono::milliseconds(50));
}

}  // namespace
}  // namespace vexaro::platform

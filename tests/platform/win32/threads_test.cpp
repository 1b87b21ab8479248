#include "platform/threads.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>

namespace vexaro::platform {
namespace {

TEST(ThreadsWin32Test, ALoweredThreadLeavesTheOthersAsTheyWere) {
  const int mainBefore = GetThreadPriority(GetCurrentThread());
  int after = 0;
  bool lowered = false;
  std::thread helper([&] {
    lowered = LowerCurrentThreadPriority();
    after = GetThreadPriority(GetCurrentThread());
  });
  helper.join();
  ASSERT_TRUE(lowered);
  EXPECT_EQ(after, THREAD_PRIORITY_BELOW_NORMAL);
  EXPECT_EQ(GetThreadPriority(GetCurrentThread()), mainBefore);
}

TEST(ThreadsWin32Test, UsableProcessorsFollowTheAffinity) {
  DWORD_PTR process = 0, system = 0;
  ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
  unsigned count = 0;
  for (DWORD_PTR mask = process; mask != 0; mask &= mask - 1) ++count;
  EXPECT_EQ(UsableProcessors(), count);
  // The lowest processor alone, as "start /affinity 1" would give.
  ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), process & (0 - process)));
  EXPECT_EQ(UsableProcessors(), 1u);
  ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), process));
}

TEST(ThreadsWin32Test, ProcessorTimeCountsEveryThreadsWork) {
  const auto start = ProcessCpuTime();
  ASSERT_TRUE(start);
  std::thread other([] {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    volatile unsigned sink = 0;
    while (std::chrono::steady_clock::now() < until) sink = sink + 1;
  });
  other.join();
  const auto end = ProcessCpuTime();
  ASSERT_TRUE(end);
  EXPECT_GE(*end - *start, std::chrono::milliseconds(20));
}

}  // namespace
}  // namespace vexaro::platform

#include "platform/threads.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace vexaro::platform {
namespace {

using namespace std::chrono_literals;

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

// Sleeping is blocked; spinning on a crowded processor is not, however long
// the thread waits for its turn: only the first is helped by more threads.
void Spin(std::chrono::milliseconds time) {
  for (const auto until = std::chrono::steady_clock::now() + time; std::chrono::steady_clock::now() < until;) {
  }
}

TEST(ThreadsPosixTest, AMeterTellsBlockedFromWaitingForAProcessor) {
  std::chrono::nanoseconds slept{}, spun{};
  std::thread sleeper([&] {
    Spin(100ms);  // the thread's account does not start at 0
    const auto meter = MeterCurrentThread();
    ASSERT_NE(meter, nullptr);
    std::this_thread::sleep_for(200ms);
    slept = meter->BlockedSinceLast().value_or(0ns);
  });
  sleeper.join();
  EXPECT_GE(slept, 150ms);

  // Every processor crowded by three spinners: the measured one among them.
  std::atomic<bool> busy = true;
  std::vector<std::thread> crowd;
  for (unsigned i = 0; i < 3 * UsableProcessors(); ++i) {
    crowd.emplace_back([&busy] {
      while (busy) {
      }
    });
  }
  std::thread spinner([&] {
    const auto meter = MeterCurrentThread();
    ASSERT_NE(meter, nullptr);
    Spin(300ms);
    spun = meter->BlockedSinceLast().value_or(300ms);
  });
  spinner.join();
  busy = false;
  for (std::thread& t : crowd) t.join();
  EXPECT_LT(spun, 60ms);
}

}  // namespace
}  // namespace vexaro::platform

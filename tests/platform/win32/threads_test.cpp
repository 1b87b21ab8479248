#include "platform/threads.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace vexaro::platform {
namespace {

using namespace std::chrono_literals;

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

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The share of the processors' time that went idle since `idle`, `total`.
double IdleShareSince(std::uint64_t& idle, std::uint64_t& total) {
  FILETIME i{}, k{}, u{};
  EXPECT_TRUE(GetSystemTimes(&i, &k, &u));
  const std::uint64_t newIdle = Ticks(i), newTotal = Ticks(k) + Ticks(u);  // kernel time includes idle
  const double share = newTotal == total ? 0.0 : static_cast<double>(newIdle - idle) / (newTotal - total);
  idle = newIdle;
  total = newTotal;
  return share;
}

// Sleep is blocked time as far as the processors sat idle meanwhile (others may use them); spinning is not.
TEST(ThreadsWin32Test, AMeterCountsSleepAsBlockedAsFarAsProcessorsIdleAndSpinAsNot) {
  std::uint64_t idle = 0, total = 0;
  IdleShareSince(idle, total);
  const auto meter = MeterCurrentThread();
  ASSERT_NE(meter, nullptr);
  std::this_thread::sleep_for(200ms);
  const auto slept = meter->BlockedSinceLast();
  const double share = IdleShareSince(idle, total);
  ASSERT_TRUE(slept);
  const double sleptMs = std::chrono::duration<double, std::milli>(*slept).count();
  EXPECT_NEAR(sleptMs, 200 * share, 50) << "idle share " << share;
  const auto until = std::chrono::steady_clock::now() + 200ms;
  while (std::chrono::steady_clock::now() < until) {
  }
  const auto spun = meter->BlockedSinceLast();
  ASSERT_TRUE(spun);
  EXPECT_LT(*spun, 60ms);
}

}  // namespace
}  // namespace vexaro::platform

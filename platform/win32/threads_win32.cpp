// Threads on Windows: the affinity, and an estimate of how long a thread
// was blocked. Windows keeps no public account of the time a thread waits
// for a processor, so the time it did not run is split by what the
// processors did meanwhile: while they sat idle, a thread that did not run
// was blocked; while they were busy, it may have waited for one.

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "platform/threads.h"

namespace vexaro::platform {
namespace {

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

class SystemTimesMeter final : public ThreadWaitMeter {
 public:
  SystemTimesMeter() { last_ = Read(); }

  std::optional<std::chrono::nanoseconds> BlockedSinceLast() override {
    const std::optional<Sample> now = Read();
    const std::optional<Sample> last = last_;
    last_ = now;
    if (!now || !last) return std::nullopt;
    const double wall = static_cast<double>((now->at - last->at).count());
    const double running = static_cast<double>(now->thread - last->thread) * 100.0;  // FILETIME counts 100 ns
    const std::uint64_t total = now->systemTotal - last->systemTotal;
    if (total == 0 || wall <= running) return std::chrono::nanoseconds(0);
    const double idleShare = static_cast<double>(now->systemIdle - last->systemIdle) / static_cast<double>(total);
    return std::chrono::nanoseconds(static_cast<std::int64_t>((wall - running) * std::clamp(idleShare, 0.0, 1.0)));
  }

 private:
  struct Sample {
    std::chrono::steady_clock::time_point at;
    std::uint64_t thread;       // kernel and user time of the thread
    std::uint64_t systemIdle;   // idle time of all processors
    std::uint64_t systemTotal;  // all time of all processors
  };

  static std::optional<Sample> Read() {
    FILETIME created{}, ended{}, kernel{}, user{};
    FILETIME idle{}, systemKernel{}, systemUser{};
    if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return std::nullopt;
    if (!GetSystemTimes(&idle, &systemKernel, &systemUser)) return std::nullopt;
    // The system's kernel time includes its idle time.
    return Sample{std::chrono::steady_clock::now(), Ticks(kernel) + Ticks(user), Ticks(idle),
                  Ticks(systemKernel) + Ticks(systemUser)};
  }

  std::optional<Sample> last_;
};

}  // namespace

unsigned UsableProcessors() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors != 0 ? info.dwNumberOfProcessors : 1;
  }
  unsigned count = 0;
  for (; process != 0; process &= process - 1) ++count;
  return count;
}

std::unique_ptr<ThreadWaitMeter> MeterCurrentThread() { return std::make_unique<SystemTimesMeter>(); }

}  // namespace vexaro::platform

// Threads and processor time on Windows.

#include <windows.h>

#include <cstdint>

#include "platform/threads.h"

namespace vexaro::platform {

std::optional<std::chrono::nanoseconds> ProcessCpuTime() {
  FILETIME created{}, ended{}, kernel{}, user{};
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return std::nullopt;
  auto ticks = [](const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  // FILETIME counts 100-nanosecond units.
  return std::chrono::nanoseconds((ticks(kernel) + ticks(user)) * 100);
}

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

bool LowerCurrentThreadPriority() { return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL) != 0; }

}  // namespace vexaro::platform

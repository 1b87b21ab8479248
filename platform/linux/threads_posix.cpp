// Threads and processor time on Linux.

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/threads.h"

namespace vexaro::platform {

std::optional<std::chrono::nanoseconds> ProcessCpuTime() {
  timespec used{};
  if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used) != 0) return std::nullopt;
  return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

unsigned UsableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return static_cast<unsigned>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
}

bool LowerCurrentThreadPriority() {
  // On Linux a nice value belongs to a thread when set by its thread id.
  // Five steps: the others then get about three times its share.
  constexpr int kSteps = 5;
  const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int now = ::getpriority(PRIO_PROCESS, thread);
  if (now == -1 && errno != 0) return false;
  return ::setpriority(PRIO_PROCESS, thread, now + kSteps) == 0;
}

}  // namespace vexaro::platform

// Processor time on Linux.

#include <time.h>

#include "platform/cpu_time.h"

namespace vexaro::platform {

std::optional<std::chrono::nanoseconds> ProcessCpuTime() {
  timespec used{};
  if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used) != 0) return std::nullopt;
  return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

}  // namespace vexaro::platform

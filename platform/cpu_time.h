#pragma once
// The processor time the process has used, for telling work that waits on
// the disk from work that keeps the processors busy.

#include <chrono>
#include <optional>

namespace vexaro::platform {

// All threads together, since some moment before the first call; nothing
// where the platform cannot tell.
std::optional<std::chrono::nanoseconds> ProcessCpuTime();

}  // namespace vexaro::platform

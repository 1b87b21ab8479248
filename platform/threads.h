#pragma once
// What the folder read-ahead asks of the system about its threads: the
// processor time the process uses, and a lower priority for helpers.

#include <chrono>
#include <optional>

namespace vexaro::platform {

// All threads together, since some moment before the first call; nothing
// where the platform cannot tell. Work that waits on the disk uses less than
// the time that passes times the processors.
std::optional<std::chrono::nanoseconds> ProcessCpuTime();

// The processors this process may run on (its affinity, as taskset sets it),
// at least 1.
unsigned UsableProcessors();

// Gives the calling thread a lower priority than the process's others, so
// that a thread that works ahead of another, which waits on it, leaves the
// processors to that one when they are short. False where it cannot.
bool LowerCurrentThreadPriority();

}  // namespace vexaro::platform

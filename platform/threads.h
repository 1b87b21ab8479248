#pragma once
// What the folder read-ahead asks of the system about its threads: how many
// processors it may use, and whether a thread waits on the disk or on a
// processor.

#include <chrono>
#include <memory>
#include <optional>

namespace vexaro::platform {

// The processors this process may run on (its affinity, as taskset sets it),
// at least 1.
unsigned UsableProcessors();

// Tells a thread that waits on the disk from one that waits for a processor:
// a busy machine makes both slow, but only the first is helped by more
// threads.
//
// Threads: made on the thread it measures, and used on that thread only.
class ThreadWaitMeter {
 public:
  virtual ~ThreadWaitMeter() = default;
  // The time the thread spent blocked (neither running nor ready to run)
  // since the last call, or since the meter was made. Blocked is waiting on
  // the disk, a lock or a condition: the caller takes out what it knows of
  // its own waits. Nullopt when the system could not tell this time.
  virtual std::optional<std::chrono::nanoseconds> BlockedSinceLast() = 0;
};

// A meter for the calling thread; null where the system cannot tell the
// two kinds of waiting apart at all.
std::unique_ptr<ThreadWaitMeter> MeterCurrentThread();

}  // namespace vexaro::platform

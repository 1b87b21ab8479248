// Threads on Linux: the affinity, and the scheduler's own account of each
// thread (/proc/thread-self/schedstat: nanoseconds on a processor, then
// nanoseconds waiting in a run queue).

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "platform/linux/fd.h"
#include "platform/threads.h"

namespace vexaro::platform {
namespace {

struct SchedStat {
  std::uint64_t running = 0;
  std::uint64_t waiting = 0;
};

// "123 456 7\n": the first two numbers.
std::optional<SchedStat> ParseSchedStat(const char* text, std::size_t size) {
  SchedStat stat;
  const char* end = text + size;
  const auto running = std::from_chars(text, end, stat.running);
  if (running.ec != std::errc() || running.ptr == end || *running.ptr != ' ') return std::nullopt;
  if (std::from_chars(running.ptr + 1, end, stat.waiting).ec != std::errc()) return std::nullopt;
  return stat;
}

class SchedStatMeter final : public ThreadWaitMeter {
 public:
  explicit SchedStatMeter(posix::UniqueFd fd) : fd_(std::move(fd)) { last_ = Read(); }

  std::optional<std::chrono::nanoseconds> BlockedSinceLast() override {
    const std::optional<Sample> now = Read();
    if (!now || !last_) {
      last_ = now;
      return std::nullopt;
    }
    const auto wall = now->at - last_->at;
    const auto accounted =
        std::chrono::nanoseconds((now->stat.running - last_->stat.running) + (now->stat.waiting - last_->stat.waiting));
    last_ = now;
    return std::max(wall - accounted, std::chrono::nanoseconds(0));
  }

 private:
  struct Sample {
    std::chrono::steady_clock::time_point at;
    SchedStat stat;
  };

  std::optional<Sample> Read() const {
    char text[96];
    const ssize_t size = ::pread(fd_.get(), text, sizeof text, 0);
    const auto at = std::chrono::steady_clock::now();
    if (size <= 0) return std::nullopt;
    const std::optional<SchedStat> stat = ParseSchedStat(text, static_cast<std::size_t>(size));
    if (!stat) return std::nullopt;
    return Sample{at, *stat};
  }

  posix::UniqueFd fd_;
  std::optional<Sample> last_;
};

}  // namespace

unsigned UsableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return static_cast<unsigned>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
}

std::unique_ptr<ThreadWaitMeter> MeterCurrentThread() {
  // Kernels built without scheduler statistics have no such file.
  posix::UniqueFd fd(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC));
  if (!fd) return nullptr;
  return std::make_unique<SchedStatMeter>(std::move(fd));
}

}  // namespace vexaro::platform

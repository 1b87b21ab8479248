#pragma once
// Worker threads that read folders ahead of the listing. The engine hands
// out reads in its own order and takes the results back in that order, so
// what the user sees does not depend on how many workers there are, or
// whether there are any.
//
// Threads:
// - Every public member belongs to the engine's thread: the one that made
//   the pool. Only the workers run elsewhere, each on the jobs it takes off
//   the queue; the jobs must not share anything mutable with the engine
//   (folder handles may be shared: their OpenChild is safe from any thread).
// - `mutex_` guards the queue, the slots and the counts. `threads_` is not
//   guarded: only the engine's thread changes or reads it.
// - A slot whose job a worker has taken is erased only by that worker, once
//   it has finished: the engine marks it dropped instead.
// - The workers run at the engine's own priority: the engine waits on them,
//   and must never wait on a thread that everything else preempts.
// - The destructor abandons what is queued, marks what runs as dropped and
//   joins every worker; jobs check for that between a few hundred entries.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <variant>
#include <vector>

#include "engine/folder_read.h"

namespace vexaro::engine {

using ReadJob = std::variant<WalkRead, ListRead>;
// Stopped: the read was abandoned (STOP) before it ended.
struct Stopped {};
using ReadResult = std::variant<Stopped, WalkResult, ListResult>;

class ReadPool {
 public:
  using Ticket = std::uint64_t;

  // The number of threads to start with: 0 follows the cores (at least 2, at
  // most 8, so that a laptop stays usable); 1 means none: every read is done
  // by the engine's own thread when it needs it.
  static unsigned ThreadsFor(unsigned requested);
  // How many threads the pool may grow to while reads wait on the disk,
  // which more reads at once then speed up: with 0 requested, 8; a count
  // asked for is kept.
  static unsigned MostThreadsFor(unsigned requested);

  // `threads` as ThreadsFor gives them.
  ReadPool(unsigned threads, unsigned mostThreads);
  ~ReadPool();
  ReadPool(const ReadPool&) = delete;
  ReadPool& operator=(const ReadPool&) = delete;

  bool threaded() const { return !threads_.empty(); }
  std::size_t threads() const { return base_; }  // as started: the read-ahead's measure
  std::size_t threadsRunning() const { return threads_.size(); }

  // Queues a job; the workers start on it after the next Wake (or the
  // engine does, in Take), so that a batch costs one wake-up.
  Ticket Submit(ReadJob job);
  void Wake();
  // The result when it is ready, without waiting.
  std::optional<ReadResult> TakeIfDone(Ticket ticket);
  // The result, read by the calling thread if no worker has started it yet.
  // While a worker has it, runs other queued jobs or waits in short slices,
  // calling `waiting` between them; once that returns false the job is
  // abandoned and the result is Stopped.
  ReadResult Take(Ticket ticket, const KeepGoing& waiting);
  // Forgets a job: not started, it never is; running, its result is dropped.
  void Drop(Ticket ticket);
  void DropAll();

  struct Load {
    std::size_t inFlight = 0;   // queued or running
    std::size_t done = 0;       // ready and not yet taken
    std::size_t doneBytes = 0;  // what those hold
  };
  Load load() const;

 private:
  enum class State : std::uint8_t { Queued, Running, Done };
  struct Slot {
    State state = State::Queued;
    bool dropped = false;
    ReadJob job;
    ReadResult result;
    std::size_t bytes = 0;
  };
  using Slots = std::unordered_map<Ticket, Slot>;
  // How the workers' time went since the pool last decided whether to grow.
  struct WorkerTime {
    std::chrono::nanoseconds busy{};  // not waiting for a job
    std::chrono::nanoseconds disk{};  // of that, blocked: on the disk, mostly
  };

  void Work();
  // Takes the first queued job and runs it; called with `lock` held, which
  // it lets go while the job runs.
  void RunOne(std::unique_lock<std::mutex>& lock);
  ReadResult Finish(Slots::iterator it);  // takes a done slot
  // Adds a thread when the workers spend most of their time blocked with
  // jobs queued: they wait on the disk. Waiting for a processor (a busy
  // machine) does not count.
  void GrowIfWaitingOnDisk();
  // Adds a worker; false when the system will not start one.
  bool StartWorker();
  void AssertEngineThread() const;

  std::thread::id engine_;
  std::size_t base_ = 0;
  std::size_t most_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable done_;
  std::deque<Ticket> queue_;
  Slots slots_;
  Ticket next_ = 1;
  Load load_;
  int waiting_ = 0;  // engine waits in Take
  bool closing_ = false;
  WorkerTime time_;

  std::vector<std::thread> threads_;
};

}  // namespace vexaro::engine

#pragma once
// Worker threads that read folders ahead of the listing. The engine hands
// out reads in its own order and takes the results back in that order, so
// what the user sees does not depend on how many workers there are, or
// whether there are any.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/folder_read.h"

namespace vexaro::engine {

class ReadPool {
 public:
  using Ticket = std::uint64_t;

  // The number of workers to start with: 0 follows the cores (at least 2, at
  // most 8, so that a laptop stays usable); 1 means none: every read is done
  // by the engine's own thread when it needs it.
  static unsigned WorkersFor(unsigned requested);
  // How many workers the pool may grow to while the reads wait on the disk
  // rather than on the processors, which more reads at once then speed up:
  // with 0 requested, up to 8; a count asked for is kept.
  static unsigned MostWorkersFor(unsigned requested);

  // Starts `workers` workers, and more up to `mostWorkers` while processors
  // stay idle with reads queued.
  ReadPool(unsigned workers, unsigned mostWorkers);
  ~ReadPool();  // abandons what is queued and waits for the workers
  ReadPool(const ReadPool&) = delete;
  ReadPool& operator=(const ReadPool&) = delete;

  bool threaded() const { return !threads_.empty(); }
  std::size_t workers() const { return base_; }  // as started, without those added since
  std::size_t threadsStarted() const { return threads_.size(); }

  // Queues a read; the workers start on it after the next Wake (or the
  // engine does, in Take), so that a batch costs one wake-up.
  Ticket Submit(ReadRequest request);
  void Wake();
  // The result when it is ready, without waiting.
  std::optional<FolderRead> TakeIfDone(Ticket ticket);
  // The result, read by the calling thread if no worker has started it yet.
  // While a worker has it, waits in slices, calling `waiting` between them;
  // once `waiting` returns false the read is abandoned (Outcome::Stopped).
  FolderRead Take(Ticket ticket, const std::function<bool()>& waiting);
  // Forgets a read: not started, it never is; running, its result is dropped.
  void Drop(Ticket ticket);
  void DropAll();

  struct Load {
    std::size_t inFlight = 0;   // queued or being read
    std::size_t done = 0;       // read and not yet taken
    std::size_t doneBytes = 0;  // what those hold
  };
  Load load() const;

 private:
  enum class State : std::uint8_t { Queued, Running, Done };
  struct Slot {
    State state = State::Queued;
    bool dropped = false;
    ReadRequest request;
    FolderRead result;
    std::size_t bytes = 0;
  };

  void Work(unsigned worker);
  // Reads the first queued folder; `worker` as ReadFolder's.
  void RunOne(std::unique_lock<std::mutex>& lock, unsigned worker);
  FolderRead Finish(std::unordered_map<Ticket, Slot>::iterator it);  // takes a done slot
  // Adds a worker when the process has used well under the processors for a
  // while although reads are queued: they wait on the disk.
  void GrowIfIdle();

  mutable std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable done_;
  std::deque<Ticket> queue_;
  std::unordered_map<Ticket, Slot> slots_;
  Ticket next_ = 1;
  Load load_;
  int waiting_ = 0;  // threads in Take waiting for a worker
  bool closing_ = false;
  std::size_t base_ = 0;
  std::size_t most_ = 0;
  std::chrono::steady_clock::time_point sampledAt_{};
  std::chrono::nanoseconds sampledCpu_{};
  int idleSamples_ = 0;
  std::vector<std::thread> threads_;
};

}  // namespace vexaro::engine

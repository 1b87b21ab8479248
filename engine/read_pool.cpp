#include "engine/read_pool.h"

#include <algorithm>
#include <cassert>
#include <new>
#include <system_error>

#include "platform/threads.h"

namespace vexaro::engine {
namespace {

// How long the engine waits for a worker before it lets its host run: short
// enough for STOP to answer at once.
constexpr std::chrono::milliseconds kWaitSlice{10};
// Threads the pool may grow to, how often each worker asks the system how
// its time went, and how much of the workers' time is looked at before the
// pool decides to grow.
constexpr unsigned kMostThreads = 8;
constexpr std::chrono::milliseconds kSampleEvery{20};
constexpr std::chrono::milliseconds kDecideAfter{100};

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
// Spelled out: clang before 17 deduces no arguments for an aggregate.
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

ReadResult Perform(const ReadJob& job, const KeepGoing& keepGoing) {
  return std::visit(Overloaded{
                        [&](const WalkRead& read) -> ReadResult {
                          std::optional<WalkResult> result = ReadForWalk(read, keepGoing);
                          if (!result) return Stopped{};
                          return std::move(*result);
                        },
                        [&](const ListRead& read) -> ReadResult {
                          std::optional<ListResult> result = ReadForListing(read, keepGoing);
                          if (!result) return Stopped{};
                          return std::move(*result);
                        },
                    },
                    job);
}

std::size_t BytesOf(const ReadResult& result) {
  return std::visit(Overloaded{
                        [](const Stopped&) { return std::size_t{0}; },
                        [](const WalkResult& read) { return read.bytes(); },
                        [](const ListResult& read) { return read.bytes(); },
                    },
                    result);
}

}  // namespace

unsigned ReadPool::ThreadsFor(unsigned requested) {
  if (requested != 0) return requested;
  // What the process may run on: under taskset or a job's affinity, fewer
  // than the machine has.
  return std::clamp(platform::UsableProcessors(), 2u, kMostThreads);
}

unsigned ReadPool::MostThreadsFor(unsigned requested) {
  return requested != 0 ? requested : std::max(ThreadsFor(0), kMostThreads);
}

ReadPool::ReadPool(unsigned threads, unsigned mostThreads) : engine_(std::this_thread::get_id()) {
  if (threads <= 1) return;
  most_ = std::max(threads, mostThreads);
  threads_.reserve(most_);
  while (threads_.size() < threads && StartWorker()) {
  }
  // Fewer workers than asked for (a small address space, a thread limit)
  // read ahead less; none at all leave every read to the engine's thread.
  base_ = threads_.size();
}

bool ReadPool::StartWorker() {
  try {
    threads_.emplace_back([this] { Work(); });
    return true;
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  most_ = threads_.size();  // no point in trying again
  return false;
}

ReadPool::~ReadPool() {
  AssertEngineThread();
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    queue_.clear();
    for (auto& [ticket, slot] : slots_) slot.dropped = true;
  }
  queued_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void ReadPool::AssertEngineThread() const { assert(std::this_thread::get_id() == engine_); }

ReadPool::Ticket ReadPool::Submit(ReadJob job) {
  AssertEngineThread();
  std::lock_guard lock(mutex_);
  const Ticket ticket = next_++;
  Slot& slot = slots_[ticket];
  slot.job = std::move(job);
  ++load_.inFlight;
  if (threaded()) queue_.push_back(ticket);
  return ticket;
}

void ReadPool::Wake() {
  AssertEngineThread();
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return;
  }
  queued_.notify_all();
}

std::optional<ReadResult> ReadPool::TakeIfDone(Ticket ticket) {
  AssertEngineThread();
  std::lock_guard lock(mutex_);
  const auto it = slots_.find(ticket);
  if (it == slots_.end() || it->second.state != State::Done) return std::nullopt;
  return Finish(it);
}

ReadResult ReadPool::Take(Ticket ticket, const KeepGoing& waiting) {
  AssertEngineThread();
  std::unique_lock lock(mutex_);
  GrowIfWaitingOnDisk();
  auto it = slots_.find(ticket);
  assert(it != slots_.end());
  if (it == slots_.end()) return Stopped{};
  if (it->second.state == State::Queued) {
    // Not started: cheaper to read it here than to wait for a worker.
    ReadJob job = std::move(it->second.job);
    slots_.erase(it);
    --load_.inFlight;
    if (const auto at = std::find(queue_.begin(), queue_.end(), ticket); at != queue_.end()) queue_.erase(at);
    lock.unlock();
    return Perform(job, waiting);
  }
  // The slot stays while the engine waits: only a dropped slot is erased by
  // its worker, and only the engine drops.
  while (it->second.state != State::Done) {
    // Rather than sleep, run what the workers have not started yet: the
    // engine will want it soon, and a thread that sleeps costs a switch.
    if (!queue_.empty()) {
      RunOne(lock);
      it = slots_.find(ticket);
      continue;
    }
    ++waiting_;
    done_.wait_for(lock, kWaitSlice);
    --waiting_;
    if (it->second.state == State::Done) break;
    lock.unlock();
    const bool keepGoing = !waiting || waiting();
    lock.lock();
    if (!keepGoing) {
      if (it->second.state == State::Done) {
        Finish(it);
      } else {
        it->second.dropped = true;
      }
      return Stopped{};
    }
  }
  return Finish(it);
}

void ReadPool::Drop(Ticket ticket) {
  AssertEngineThread();
  std::lock_guard lock(mutex_);
  const auto it = slots_.find(ticket);
  if (it == slots_.end()) return;
  switch (it->second.state) {
    case State::Running:
      it->second.dropped = true;
      return;
    case State::Queued:
      if (const auto at = std::find(queue_.begin(), queue_.end(), ticket); at != queue_.end()) queue_.erase(at);
      --load_.inFlight;
      slots_.erase(it);
      return;
    case State::Done:
      Finish(it);
      return;
  }
}

void ReadPool::DropAll() {
  AssertEngineThread();
  std::lock_guard lock(mutex_);
  queue_.clear();
  load_ = {};
  for (auto it = slots_.begin(); it != slots_.end();) {
    if (it->second.state == State::Running) {
      it->second.dropped = true;
      ++load_.inFlight;
      ++it;
    } else {
      it = slots_.erase(it);
    }
  }
}

ReadPool::Load ReadPool::load() const {
  AssertEngineThread();
  std::lock_guard lock(mutex_);
  return load_;
}

ReadResult ReadPool::Finish(Slots::iterator it) {
  assert(it->second.state == State::Done);
  ReadResult result = std::move(it->second.result);
  --load_.done;
  load_.doneBytes -= it->second.bytes;
  slots_.erase(it);
  return result;
}

void ReadPool::GrowIfWaitingOnDisk() {
  if (threads_.size() >= most_ || queue_.empty() || time_.busy < kDecideAfter) return;
  const bool onDisk = 2 * time_.disk >= time_.busy;
  time_ = {};
  if (onDisk) StartWorker();
}

void ReadPool::Work() {
  using Clock = std::chrono::steady_clock;
  const std::unique_ptr<platform::ThreadWaitMeter> meter = platform::MeterCurrentThread();
  auto sampledAt = Clock::now();
  std::chrono::nanoseconds idle{};  // waiting for a job since the last sample
  std::unique_lock lock(mutex_);
  while (true) {
    if (queue_.empty() && !closing_) {
      const auto from = Clock::now();
      queued_.wait(lock, [this] { return closing_ || !queue_.empty(); });
      idle += Clock::now() - from;
    }
    if (closing_) return;
    RunOne(lock);
    if (!meter || Clock::now() - sampledAt < kSampleEvery) continue;
    lock.unlock();
    const auto at = Clock::now();
    const std::optional<std::chrono::nanoseconds> blocked = meter->BlockedSinceLast();
    lock.lock();
    if (blocked) {
      // Waiting for a job is the pool's own doing, not the disk's.
      time_.busy += std::max(at - sampledAt - idle, std::chrono::nanoseconds(0));
      time_.disk += std::max(*blocked - idle, std::chrono::nanoseconds(0));
    }
    sampledAt = at;
    idle = {};
  }
}

void ReadPool::RunOne(std::unique_lock<std::mutex>& lock) {
  const Ticket ticket = queue_.front();
  queue_.pop_front();
  Slot& slot = slots_.find(ticket)->second;
  assert(slot.state == State::Queued && !slot.dropped);
  slot.state = State::Running;
  ReadJob job = std::move(slot.job);
  lock.unlock();
  // A dropped job stops at its next check instead of running to the end.
  ReadResult result = Perform(job, [this, ticket] {
    std::lock_guard check(mutex_);
    return !closing_ && !slots_.find(ticket)->second.dropped;
  });
  job = {};
  lock.lock();
  const auto it = slots_.find(ticket);
  assert(it != slots_.end() && it->second.state == State::Running);
  --load_.inFlight;
  if (it->second.dropped) {
    slots_.erase(it);
  } else {
    it->second.bytes = BytesOf(result);
    it->second.result = std::move(result);
    it->second.state = State::Done;
    ++load_.done;
    load_.doneBytes += it->second.bytes;
  }
  // Waking the engine costs a context switch: only when it waits.
  if (waiting_ != 0) done_.notify_all();
}

}  // namespace vexaro::engine

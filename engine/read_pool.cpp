#include "engine/read_pool.h"

#include <algorithm>
#include <chrono>

#include "platform/threads.h"

namespace vexaro::engine {
namespace {

// How long the engine waits for a worker before it lets its host run: short
// enough for STOP to answer at once.
constexpr std::chrono::milliseconds kWaitSlice{10};
// Workers the pool may grow to, and how it decides: the processor time used
// is sampled this often, and this many samples in a row below all but half a
// processor's worth add a worker.
constexpr unsigned kMostWorkers = 8;
constexpr std::chrono::milliseconds kSampleEvery{50};
constexpr int kIdleSamplesToGrow = 2;

// What the process may run on: under taskset or a job's affinity, fewer than
// the machine has.
unsigned Cores() { return platform::UsableProcessors(); }

FolderRead Stopped() {
  FolderRead read;
  read.outcome = FolderRead::Outcome::Stopped;
  return read;
}

}  // namespace

unsigned ReadPool::WorkersFor(unsigned requested) {
  if (requested != 0) return requested;
  return std::clamp(Cores(), 2u, kMostWorkers);
}

unsigned ReadPool::MostWorkersFor(unsigned requested) {
  return requested != 0 ? requested : std::max(WorkersFor(0), kMostWorkers);
}

ReadPool::ReadPool(unsigned workers, unsigned mostWorkers) {
  if (workers <= 1) return;
  base_ = workers;
  most_ = std::max(workers, mostWorkers);
  threads_.reserve(most_);
  for (unsigned i = 1; i <= workers; ++i) threads_.emplace_back([this, i] { Work(i); });
}

void ReadPool::GrowIfIdle() {
  if (threads_.size() >= most_ || queue_.empty()) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - sampledAt_ < kSampleEvery) return;
  const auto cpu = platform::ProcessCpuTime();
  if (!cpu) return;
  const bool first = sampledAt_ == std::chrono::steady_clock::time_point{};
  const double busy =
      static_cast<double>((*cpu - sampledCpu_).count()) / static_cast<double>((now - sampledAt_).count());
  sampledAt_ = now;
  sampledCpu_ = *cpu;
  if (first) return;
  idleSamples_ = busy < Cores() - 0.5 ? idleSamples_ + 1 : 0;
  if (idleSamples_ < kIdleSamplesToGrow) return;
  idleSamples_ = 0;
  const auto index = static_cast<unsigned>(threads_.size() + 1);
  threads_.emplace_back([this, index] { Work(index); });
}

ReadPool::~ReadPool() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    queue_.clear();
    for (auto& [ticket, slot] : slots_) slot.dropped = true;
  }
  queued_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

ReadPool::Ticket ReadPool::Submit(ReadRequest request) {
  Ticket ticket;
  {
    std::lock_guard lock(mutex_);
    ticket = next_++;
    Slot& slot = slots_[ticket];
    slot.request = std::move(request);
    ++load_.inFlight;
    if (!threads_.empty()) queue_.push_back(ticket);
  }
  return ticket;
}

void ReadPool::Wake() {
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return;
  }
  queued_.notify_all();
}

std::optional<FolderRead> ReadPool::TakeIfDone(Ticket ticket) {
  std::lock_guard lock(mutex_);
  const auto it = slots_.find(ticket);
  if (it == slots_.end() || it->second.state != State::Done) return std::nullopt;
  return Finish(it);
}

FolderRead ReadPool::Take(Ticket ticket, const std::function<bool()>& waiting) {
  std::unique_lock lock(mutex_);
  GrowIfIdle();
  auto it = slots_.find(ticket);
  if (it == slots_.end()) return Stopped();
  if (it->second.state == State::Queued) {
    // Not started: cheaper to read it here than to wait for a worker.
    ReadRequest request = std::move(it->second.request);
    slots_.erase(it);
    --load_.inFlight;
    if (const auto at = std::find(queue_.begin(), queue_.end(), ticket); at != queue_.end()) queue_.erase(at);
    lock.unlock();
    return ReadFolder(request, waiting);
  }
  while (it->second.state != State::Done) {
    // Rather than sleep, read what the workers have not started yet: the
    // engine will want it soon, and a thread that sleeps costs a switch.
    if (!queue_.empty()) {
      RunOne(lock, 0);
      it = slots_.find(ticket);
      continue;
    }
    ++waiting_;
    done_.wait_for(lock, kWaitSlice);
    --waiting_;
    it = slots_.find(ticket);
    if (it->second.state == State::Done) break;
    lock.unlock();
    const bool keepGoing = !waiting || waiting();
    lock.lock();
    it = slots_.find(ticket);
    if (!keepGoing) {
      if (it->second.state == State::Done) {
        Finish(it);
      } else {
        it->second.dropped = true;
      }
      return Stopped();
    }
  }
  return Finish(it);
}

void ReadPool::Drop(Ticket ticket) {
  std::lock_guard lock(mutex_);
  const auto it = slots_.find(ticket);
  if (it == slots_.end()) return;
  if (it->second.state == State::Running) {
    it->second.dropped = true;
    return;
  }
  if (it->second.state == State::Queued) {
    if (const auto at = std::find(queue_.begin(), queue_.end(), ticket); at != queue_.end()) queue_.erase(at);
    --load_.inFlight;
    slots_.erase(it);
    return;
  }
  Finish(it);
}

void ReadPool::DropAll() {
  std::lock_guard lock(mutex_);
  queue_.clear();
  for (auto it = slots_.begin(); it != slots_.end();) {
    if (it->second.state == State::Running) {
      it->second.dropped = true;
      ++it;
    } else {
      it = slots_.erase(it);
    }
  }
  load_.done = 0;
  load_.doneBytes = 0;
  load_.inFlight = 0;
  for (const auto& [ticket, slot] : slots_) load_.inFlight += slot.state == State::Running ? 1 : 0;
}

ReadPool::Load ReadPool::load() const {
  std::lock_guard lock(mutex_);
  return load_;
}

FolderRead ReadPool::Finish(std::unordered_map<Ticket, Slot>::iterator it) {
  FolderRead result = std::move(it->second.result);
  --load_.done;
  load_.doneBytes -= it->second.bytes;
  slots_.erase(it);
  return result;
}

void ReadPool::Work(unsigned worker) {
  // The engine's thread takes the reads in order and waits on the one it
  // needs: when the processors are short, it goes first. A system that
  // refuses changes nothing but the speed.
  (void)platform::LowerCurrentThreadPriority();
  std::unique_lock lock(mutex_);
  while (true) {
    queued_.wait(lock, [this] { return closing_ || !queue_.empty(); });
    if (closing_) return;
    RunOne(lock, worker);
  }
}

void ReadPool::RunOne(std::unique_lock<std::mutex>& lock, unsigned worker) {
  const Ticket ticket = queue_.front();
  queue_.pop_front();
  Slot& slot = slots_.at(ticket);
  slot.state = State::Running;
  ReadRequest request = std::move(slot.request);
  lock.unlock();
  // A dropped read stops at its next check instead of running to the end.
  FolderRead result = ReadFolder(
      request,
      [this, ticket] {
        std::lock_guard check(mutex_);
        return !closing_ && !slots_.at(ticket).dropped;
      },
      worker);
  request = {};
  lock.lock();
  const auto it = slots_.find(ticket);
  --load_.inFlight;
  if (it->second.dropped) {
    slots_.erase(it);
  } else {
    it->second.bytes = result.bytes();
    it->second.result = std::move(result);
    it->second.state = State::Done;
    ++load_.done;
    load_.doneBytes += it->second.bytes;
  }
  // Waking the engine costs a context switch: only when it waits.
  if (waiting_ != 0) done_.notify_all();
}

}  // namespace vexaro::engine

#include "engine/read_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/threads.h"

namespace vexaro::engine {
namespace {

using namespace std::chrono_literals;

// A folder of one file, named after the folder, whose reading takes its
// time: asleep, as a read from a slow disk waits, or spinning, as a read of
// cached folders keeps a processor busy, or until it is let go.
class TimedFolder final : public platform::Folder {
 public:
  enum class Wait { Sleep, Spin, Held };
  TimedFolder(std::string name, Wait wait, const std::atomic<bool>* release = nullptr,
              std::atomic<int>* started = nullptr)
      : name_(std::move(name)), wait_(wait), release_(release), started_(started) {}

  bool Next(platform::DirEntry& entry) override {
    if (done_) return false;
    done_ = true;
    switch (wait_) {
      case Wait::Sleep:
        std::this_thread::sleep_for(15ms);
        break;
      case Wait::Spin:
        for (const auto until = std::chrono::steady_clock::now() + 15ms; std::chrono::steady_clock::now() < until;) {
        }
        break;
      case Wait::Held:
        ++*started_;
        while (!*release_) std::this_thread::sleep_for(1ms);
        break;
    }
    entry = {name_, platform::EntryKind::File, platform::FileStamp{}};
    return true;
  }
  std::error_code error() const override { return {}; }
  std::optional<platform::FolderId> id() const override { return std::nullopt; }
  std::optional<platform::FileStamp> Stat(std::string_view, platform::StampFields) override { return {}; }
  platform::OpenResult OpenChild(std::string_view) override { return {}; }
  platform::OpenResult OpenParent() override { return {}; }

 private:
  std::string name_;
  Wait wait_;
  bool done_ = false;
  const std::atomic<bool>* release_;
  std::atomic<int>* started_;
};

ReadJob Job(std::shared_ptr<platform::Folder> folder) { return ListRead{{std::move(folder), nullptr, {}, {}}, {}}; }

std::string NameIn(const ReadResult& result) {
  std::string name;
  if (const auto* read = std::get_if<ListResult>(&result)) {
    read->files.ForEach([&](const FileRef& file) { name = file.name; });
  }
  return name;
}

// Submits `count` reads, takes them back in order, and checks each result.
void TakeInOrder(ReadPool& pool, TimedFolder::Wait wait, int count) {
  std::vector<ReadPool::Ticket> tickets;
  for (int i = 0; i < count; ++i) {
    tickets.push_back(pool.Submit(Job(std::make_shared<TimedFolder>(std::to_string(i), wait))));
  }
  pool.Wake();
  for (int i = 0; i < count; ++i) EXPECT_EQ(NameIn(pool.Take(tickets[i], [] { return true; })), std::to_string(i));
}

// Whether the system tells a sleeping thread from a running one now:
// Windows can only while processors idle, which a busy machine denies.
bool SleepCountsAsBlocked() {
  const auto meter = platform::MeterCurrentThread();
  if (!meter) return false;
  std::this_thread::sleep_for(50ms);
  const auto blocked = meter->BlockedSinceLast();
  return blocked && *blocked >= 25ms;
}

TEST(ReadPoolTest, GrowsWhileReadsWaitOnTheDisk) {
  if (!SleepCountsAsBlocked()) GTEST_SKIP() << "the system cannot tell waiting on the disk now";
  ReadPool pool(2, 6);
  TakeInOrder(pool, TimedFolder::Wait::Sleep, 160);
  EXPECT_GT(pool.threadsRunning(), 2u) << "reads that sleep wait on the disk";
  EXPECT_LE(pool.threadsRunning(), 6u);
  EXPECT_EQ(pool.threads(), 2u);  // the read-ahead's measure stays the one started with
}

// A busy machine: more spinning threads than processors, so that the
// workers wait for one most of the time. More workers would only take
// processors from the rest of the machine.
TEST(ReadPoolTest, DoesNotGrowWhileReadsWaitForAProcessor) {
  std::atomic<bool> busy = true;
  std::vector<std::thread> others;
  for (unsigned i = 0; i < 2 * std::thread::hardware_concurrency() + 2; ++i) {
    others.emplace_back([&busy] {
      while (busy) {
      }
    });
  }
  {
    ReadPool pool(2, 6);
    TakeInOrder(pool, TimedFolder::Wait::Spin, 60);
    EXPECT_EQ(pool.threadsRunning(), 2u);
  }
  busy = false;
  for (std::thread& other : others) other.join();
}

TEST(ReadPoolTest, ACountAskedForIsKeptAndOneMeansNone) {
  for (const unsigned asked : {2u, 3u}) {
    ReadPool pool(ReadPool::ThreadsFor(asked), ReadPool::MostThreadsFor(asked));
    TakeInOrder(pool, TimedFolder::Wait::Sleep, 60);
    EXPECT_EQ(pool.threadsRunning(), asked);
    EXPECT_EQ(pool.load().doneBytes, 0u) << "what was taken holds nothing back from the read-ahead";
  }
  EXPECT_GE(ReadPool::MostThreadsFor(0), ReadPool::ThreadsFor(0));
  EXPECT_GE(ReadPool::ThreadsFor(0), 2u);
  ReadPool none(1, 8);
  EXPECT_FALSE(none.threaded());
  TakeInOrder(none, TimedFolder::Wait::Sleep, 3);  // read by the engine's own thread, in Take
}

// STOP while the engine waits on a worker: the wait ends at the next slice,
// the worker's result is dropped when it comes, and the pool goes on.
TEST(ReadPoolTest, AnAbandonedWaitEndsStoppedAndLeavesThePoolUsable) {
  std::atomic<int> started = 0;
  std::atomic<bool> release = false;
  ReadPool pool(2, 2);
  const ReadPool::Ticket held =
      pool.Submit(Job(std::make_shared<TimedFolder>("held", TimedFolder::Wait::Held, &release, &started)));
  pool.Wake();
  while (started == 0) std::this_thread::sleep_for(1ms);
  int asked = 0;
  EXPECT_TRUE(std::holds_alternative<Stopped>(pool.Take(held, [&] { return ++asked > 1; })));
  EXPECT_EQ(asked, 1);
  release = true;
  TakeInOrder(pool, TimedFolder::Wait::Sleep, 4);
  for (int i = 0; i < 5000 && pool.load().inFlight != 0; ++i) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(pool.load().inFlight, 0u);
  EXPECT_EQ(pool.load().done, 0u) << "a dropped result is not kept";

  // Reads done and not taken go at once when all are dropped.
  for (int i = 0; i < 3; ++i) pool.Submit(Job(std::make_shared<TimedFolder>("x", TimedFolder::Wait::Sleep)));
  pool.Wake();
  for (int i = 0; i < 5000 && pool.load().done != 3; ++i) std::this_thread::sleep_for(1ms);
  pool.DropAll();
  EXPECT_EQ(pool.load().inFlight + pool.load().done, 0u);
  TakeInOrder(pool, TimedFolder::Wait::Sleep, 2);
}

}  // namespace
}  // namespace vexaro::engine

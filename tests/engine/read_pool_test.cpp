#include "engine/read_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace vexaro::engine {
namespace {

using namespace std::chrono_literals;

// Jobs that make lines of a kept folder, each waiting as a read from a slow
// disk would, without using the processor.
struct WaitingJobs {
  FileRecords files;
  LineMaker lines = [](std::string_view path, std::size_t, const FileRecords&, unsigned, std::string& out) {
    std::this_thread::sleep_for(15ms);
    out.assign(path);
    return std::size_t{0};
  };

  WaitingJobs() { files.Add("a", platform::FileStamp{}); }

  // Submits `count` jobs, takes them back in order, and checks each result.
  void Run(ReadPool& pool, int count) {
    std::vector<ReadPool::Ticket> tickets;
    for (int i = 0; i < count; ++i) {
      ReadRequest request;
      request.kept = &files;
      request.lines = &lines;
      request.path = std::to_string(i);
      tickets.push_back(pool.Submit(std::move(request)));
    }
    pool.Wake();
    for (int i = 0; i < count; ++i) {
      const FolderRead made = pool.Take(tickets[i], [] { return true; });
      ASSERT_TRUE(made.formatted);
      EXPECT_EQ(made.text, std::to_string(i));
    }
  }
};

TEST(ReadPoolTest, ReadsThatWaitOnTheDiskGetMoreWorkersUpToTheMost) {
  ReadPool pool(2, 6);
  WaitingJobs jobs;
  jobs.Run(pool, 120);
  EXPECT_GT(pool.threadsStarted(), 2u);
  EXPECT_LE(pool.threadsStarted(), 6u);
  EXPECT_EQ(pool.workers(), 2u);  // the read-ahead bound stays the one started with
}

TEST(ReadPoolTest, ACountAskedForIsKept) {
  for (const unsigned asked : {2u, 3u}) {
    ReadPool pool(ReadPool::WorkersFor(asked), ReadPool::MostWorkersFor(asked));
    WaitingJobs jobs;
    jobs.Run(pool, 60);
    EXPECT_EQ(pool.threadsStarted(), asked);
  }
  EXPECT_GE(ReadPool::MostWorkersFor(0), ReadPool::WorkersFor(0));
  EXPECT_FALSE(ReadPool(1, 8).threaded());  // one means none, whatever the most
}

}  // namespace
}  // namespace vexaro::engine

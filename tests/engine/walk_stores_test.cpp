#include "engine/walk_stores.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>

namespace vexaro::engine {
namespace {

TEST(FolderIdsTest, EachIdOnceThroughGrowthAndTheAllOnesId) {
  FolderIds ids;
  std::set<std::pair<std::uint64_t, std::uint64_t>> model;
  std::mt19937_64 random(7);
  // Runs of inodes on a few devices, as file systems hand them out, random
  // ones, and the ids that hash alike or sit at the ends of the range.
  std::vector<platform::FolderId> wanted;
  for (std::uint64_t inode = 2; inode < 5000; ++inode) wanted.push_back({66306, inode});
  for (std::uint64_t inode = 2; inode < 3000; ++inode) wanted.push_back({2049, inode * 4096});
  for (int i = 0; i < 3000; ++i) wanted.push_back({random() % 4, random()});
  for (const platform::FolderId id : {platform::FolderId{UINT64_MAX, UINT64_MAX}, platform::FolderId{0, 0},
                                      platform::FolderId{UINT64_MAX, 0}, platform::FolderId{0, UINT64_MAX}}) {
    wanted.push_back(id);
  }
  for (int round = 0; round < 2; ++round) {
    for (const platform::FolderId& id : wanted) {
      const bool fresh = model.insert({id.device, id.inode}).second;
      ASSERT_EQ(ids.Contains(id), !fresh) << id.device << " " << id.inode;
      ASSERT_EQ(ids.Insert(id), fresh) << id.device << " " << id.inode;
      ASSERT_TRUE(ids.Contains(id));
    }
  }
  EXPECT_FALSE(ids.Contains({66306, 5000}));
  EXPECT_FALSE(ids.Contains({66307, 2}));
}

}  // namespace
}  // namespace vexaro::engine

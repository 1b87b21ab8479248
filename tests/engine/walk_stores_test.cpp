#include "engine/walk_stores.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <utility>

namespace vexaro::engine {
namespace {

// Each id is kept once with the mount it was first met under.
TEST(FolderIdsTest, EachIdOnceWithItsFirstMountThroughGrowthAndTheAllOnesId) {
  FolderIds ids;
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::uint32_t> model;
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
  for (std::uint64_t round = 0; round < 2; ++round) {
    for (const platform::FolderId& id : wanted) {
      const auto mount = static_cast<std::uint32_t>(id.inode * 3 + round);
      const auto [at, fresh] = model.insert({{id.device, id.inode}, mount});
      ASSERT_EQ(ids.Contains(id), !fresh) << id.device << " " << id.inode;
      const std::optional<std::uint32_t> before = ids.Insert(id, mount);
      ASSERT_EQ(before, fresh ? std::nullopt : std::optional(at->second)) << id.device << " " << id.inode;
      ASSERT_TRUE(ids.Contains(id));
    }
  }
  EXPECT_FALSE(ids.Contains({66306, 5000}));
  EXPECT_FALSE(ids.Contains({66307, 2}));
}

// The least recently remembered or found handle gives way; finding one
// makes it recent again.
TEST(HeldFoldersTest, TheLeastRecentlyUsedGivesWay) {
  struct Case {
    const char* steps;  // r<n>: remember n, f<n>: find n
    const char* held;   // which of 1..4 are held at the end
  };
  const Case cases[] = {
      {"r1 r2 r3", "23"},           // two at most: the first goes
      {"r1 r2 f1 r3", "13"},        // found again, 1 outlasts 2
      {"r1 r2 r1 r3", "13"},        // remembered again likewise
      {"r1 r2 f3 r3", "23"},        // a miss changes nothing
      {"r1 r2 f2 f1 r3 r4", "34"},  // each step counts
  };
  for (const Case& c : cases) {
    HeldFolders held(2);
    for (const char* at = c.steps; *at != '\0'; at += at[2] == ' ' ? 3 : 2) {
      const auto node = static_cast<std::uint32_t>(at[1] - '0');
      if (at[0] == 'r') held.Remember(node, nullptr);
      if (at[0] == 'f') (void)held.Find(node);
    }
    std::string left;
    for (std::uint32_t node = 1; node <= 4; ++node) {
      if (held.Contains(node)) left += static_cast<char>('0' + node);
    }
    EXPECT_EQ(left, c.held) << c.steps;
  }
}

}  // namespace
}  // namespace vexaro::engine

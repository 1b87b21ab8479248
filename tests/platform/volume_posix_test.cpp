#include <sys/mount.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/posix/volume.h"
#include "tests/platform/posix_tree.h"

namespace vexaro::platform::posix {
namespace {

using testing::PosixTree;

TEST(PosixVolumeTest, LabelLinkNamesAreDecoded) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"DATA", "DATA"},       {"My\\x20Disk", "My Disk"}, {"a\\x2fb\\x2F", "a/b/"}, {"日本\\x20語", "日本 語"},
      {"x\\xZZ", "x\\xZZ"},  {"cut\\x2", "cut\\x2"},     {"end\\", "end\\"},      {"", ""},
  };
  for (const auto& [name, label] : cases) EXPECT_EQ(DecodeLabelLinkName(name), label) << name;
}

// Mounts, in the child's own mount namespace, an ext4 image labelled by mkfs
// with half its blocks reserved for root, and a tmpfs (which has no label of
// its own) with a label link made for it.
TEST(PosixVolumeTest, LabelAndSpaceOfMountedFileSystems) {
  PosixTree tree;
  tree.Folder("ext4");
  tree.Folder("tmpfs");
  tree.Folder("by-label");
  const auto result = testing::RunInChild([&](std::string& out) {
    struct stat st{};
    if (!testing::EnterOwnMountNamespace() ||
        !testing::MountNewImage("mkfs.ext4 -q -F -m 50 -L 'データ disk'", tree.Path("image"), tree.Path("ext4")) ||
        ::mount("tmpfs", tree.Path("tmpfs").c_str(), "tmpfs", 0, "size=1m") != 0 ||
        ::stat(tree.Path("tmpfs").c_str(), &st) != 0 ||
        ::mknod(tree.Path("node").c_str(), S_IFBLK | 0600, st.st_dev) != 0) {
      return testing::kCannotRun;
    }
    tree.Link("by-label/Other", "/dev/null");
    tree.Link("by-label/Scratch\\x20Space", "../node");
    const std::string deep = tree.Deep("ext4/deep", std::string(200, 'e'), 25, "f");
    PosixVolumeInfo volumes(tree.Path("by-label"));
    for (const std::string& path : {tree.Path("ext4/"), deep, tree.Path("tmpfs/"), tree.Path("tmpfs/gone/")}) {
      out += "[" + volumes.Label(path) + "]";
    }
    const auto space = PosixDiskSpaceInfo().Space(tree.Path("ext4/"));
    out += space && space->available < space->total / 2 ? " reserved blocks not available" : " wrong space";
    return 0;
  });
  if (result.status == testing::kCannotRun) GTEST_SKIP() << "cannot make and mount file systems here";
  EXPECT_EQ(result.output, "[データ disk][データ disk][Scratch Space][] reserved blocks not available");
}

TEST(PosixVolumeTest, SpaceOfAnyFolderOfTheFileSystemOrNothing) {
  PosixTree tree;
  const std::string deep = tree.Deep("deep", std::string(200, 'v'), 25, "f");
  PosixDiskSpaceInfo disks;
  const auto top = disks.Space(tree.root());
  ASSERT_TRUE(top);
  EXPECT_GT(top->total, 0u);
  EXPECT_LE(top->available, top->total);
  const auto below = disks.Space(deep);
  ASSERT_TRUE(below);
  EXPECT_EQ(below->total, top->total);
  for (const std::string& path : {tree.Path("missing/"), std::string()}) {
    EXPECT_FALSE(disks.Space(path)) << path;
    EXPECT_EQ(PosixVolumeInfo().Label(path), "") << path;
  }
}

}  // namespace
}  // namespace vexaro::platform::posix

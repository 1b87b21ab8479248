#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include "platform/posix/volume.h"
#include "tests/platform/posix_tree.h"

namespace vexaro::platform::posix {
namespace {

using testing::PosixTree;

TEST(LabelLinkNameTest, EscapesAreDecoded) {
  struct Case {
    std::string_view name;
    std::string_view label;
  };
  const Case cases[] = {
      {"DATA", "DATA"},
      {"My\\x20Disk", "My Disk"},
      {"a\\x2fb", "a/b"},
      {"\\x5c\\x5C", "\\\\"},
      {"\\x20\\x20", "  "},
      {"日本語\\x20ラベル", "日本語 ラベル"},
      {"bad\\xZZ", "bad\\xZZ"},   // not an escape
      {"cut\\x2", "cut\\x2"},     // too short to be one
      {"end\\", "end\\"},
      {"\\y20", "\\y20"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeLabelLinkName(c.name), c.label) << c.name;
}

TEST(LabelLinkNameTest, TheLinkLeadingToTheFoldersDeviceGivesTheLabel) {
  PosixTree tree;
  struct stat folder{};
  ASSERT_EQ(::stat(tree.root().c_str(), &folder), 0);
  tree.Folder("dev");
  tree.Folder("by-label");
  // Stand-ins for the device nodes: block devices numbered like the folder's
  // device and like another one.
  const dev_t other = ::makedev(::major(folder.st_dev) + 1, ::minor(folder.st_dev));
  if (::mknod(tree.Path("dev/this").c_str(), S_IFBLK | 0600, folder.st_dev) != 0 ||
      ::mknod(tree.Path("dev/other").c_str(), S_IFBLK | 0600, other) != 0) {
    GTEST_SKIP() << "cannot make device nodes here";
  }
  ASSERT_EQ(::mknod(tree.Path("dev/char").c_str(), S_IFCHR | 0600, folder.st_dev), 0);
  tree.Link("by-label/Other\\x20Disk", "../dev/other");
  tree.Link("by-label/Not\\x20A\\x20Block\\x20Device", "../dev/char");
  tree.Link("by-label/Gone", "../dev/missing");
  tree.Link("by-label/Mine\\x20\\x2f\\x20Data", "../dev/this");

  const std::string links = tree.Path("by-label");
  EXPECT_EQ(LabelFromLinks(links, folder.st_dev), "Mine / Data");
  EXPECT_EQ(LabelFromLinks(links, other), "Other Disk");
  EXPECT_EQ(LabelFromLinks(links, ::makedev(250, 250)), "");
  EXPECT_EQ(LabelFromLinks(tree.Path("no-such-folder"), folder.st_dev), "");
}

TEST(PosixVolumeTest, LabelAndSpaceOfFoldersThatCannotBeHad) {
  PosixTree tree;
  PosixVolumeInfo volumes(tree.Path("no-links"));
  PosixDiskSpaceInfo disks;
  for (const std::string& path : {tree.Path("missing/"), std::string(), tree.root() + "/" + std::string(300, 'x')}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(volumes.Label(path), "");
    EXPECT_FALSE(disks.Space(path));
  }
  // procfs has neither a label nor a device that udev names.
  EXPECT_EQ(volumes.Label("/proc/self/"), "");
}

TEST(PosixVolumeTest, DeepFoldersHaveTheSpaceOfTheirFileSystem) {
  PosixTree tree;
  const std::string deep = tree.Deep("deep", std::string(200, 'v'), 25, "f");
  ASSERT_GT(deep.size(), static_cast<std::size_t>(PATH_MAX));
  PosixDiskSpaceInfo disks;
  const auto top = disks.Space(tree.root() + "/");
  ASSERT_TRUE(top);
  EXPECT_GT(top->total, 0u);
  EXPECT_LE(top->available, top->total);
  const auto below = disks.Space(deep);
  ASSERT_TRUE(below);
  EXPECT_EQ(below->total, top->total);
}

// Mounts, in a mount namespace of the child's own, an ext4 image labelled by
// mkfs and a tmpfs (which has no label of its own), and reads their labels.
TEST(PosixVolumeTest, LabelsComeFromTheFileSystemElseFromTheLabelLinks) {
  PosixTree tree;
  tree.Folder("ext4");
  tree.Folder("tmpfs");
  tree.Folder("by-label");
  const auto result = testing::RunInChild([&](std::string& out) {
    if (!testing::EnterOwnMountNamespace() ||
        !testing::MountNewImage("mkfs.ext4 -q -F -L 'データ disk'", tree.Path("image"), tree.Path("ext4")) ||
        ::mount("tmpfs", tree.Path("tmpfs").c_str(), "tmpfs", 0, "size=1m") != 0) {
      return testing::kChildCannotRun;
    }
    struct stat st{};
    if (::stat(tree.Path("tmpfs").c_str(), &st) != 0 ||
        ::mknod(tree.Path("node").c_str(), S_IFBLK | 0600, st.st_dev) != 0) {
      return testing::kChildCannotRun;
    }
    tree.Link("by-label/Scratch\\x20Space", "../node");
    const std::string deep = tree.Deep("ext4/deep", std::string(200, 'e'), 25, "f");

    PosixVolumeInfo volumes(tree.Path("by-label"));
    for (const std::string& path : {tree.Path("ext4/"), deep, tree.Path("tmpfs/"), tree.Path("tmpfs/gone/")}) {
      out += "[" + volumes.Label(path) + "]\n";
    }
    return 0;
  });
  if (result.status == testing::kChildCannotRun) GTEST_SKIP() << "cannot make and mount file systems here";
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(result.output,
            "[データ disk]\n"
            "[データ disk]\n"
            "[Scratch Space]\n"
            "[]\n");
}

}  // namespace
}  // namespace vexaro::platform::posix

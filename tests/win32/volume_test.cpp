#include "platform/windows_win32.h"

#include <gtest/gtest.h>

#include "platform/host_win32.h"
#include "tests/win32/temp_tree.h"

namespace vexaro::platform::win32 {
namespace {

TEST(Win32Volumes, LabelsAndSpace) {
  testing::TempTree tree;
  Win32Volumes volumes;
  const auto space = volumes.Space(tree.root());
  ASSERT_TRUE(space) << "the temporary folder's drive has figures";
  EXPECT_GT(space->total, 0u);
  EXPECT_LE(space->available, space->total);

  // No drive part, or a drive letter no volume has: nothing, quietly.
  DWORD drives = GetLogicalDrives();
  std::string unused;
  for (int letter = 25; letter >= 2 && unused.empty(); --letter) {
    if ((drives & (1u << letter)) == 0) unused = std::string(1, static_cast<char>('A' + letter)) + ":\\Data";
  }
  ASSERT_FALSE(unused.empty());
  struct Case {
    std::string path;
  };
  const Case none[] = {{"relative\\dir"}, {""}, {unused}};
  for (const auto& c : none) {
    EXPECT_EQ(volumes.Space(c.path), std::nullopt) << c.path;
    EXPECT_EQ(volumes.Label(c.path), "") << c.path;
  }
  // A share has a drive name but gives no label.
  EXPECT_EQ(volumes.Label("\\\\server\\share\\dir"), "");
}

}  // namespace
}  // namespace vexaro::platform::win32

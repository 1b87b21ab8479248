#include "engine/walk.h"

#include <gtest/gtest.h>

#include "tests/support/fake_system.h"
#include "tests/support/recording_host.h"

namespace vexaro::engine {
namespace {

using testing::FakeSystem;
using testing::RecordingHost;

std::vector<std::string> Paths(const std::vector<FolderItem>& folders) {
  std::vector<std::string> out;
  for (const auto& f : folders) out.push_back(f.path);
  return out;
}

class WalkTest : public ::testing::Test {
 protected:
  WalkTest() {
    system.AddFolder("C:\\Data\\A\\A1");
    system.AddFile("C:\\Data\\A\\f.txt", 1);
    system.AddFolder("C:\\Data\\B");
    system.AddFile("C:\\Data\\top.txt", 1);
    host.blnContinue = true;
  }
  std::vector<FolderItem> Walk(const std::string& path) {
    WalkContext context{system.directories(), host, '\\'};
    std::vector<FolderItem> folders = {{"stale"}};
    GetSubFolders(context, path, folders);
    return folders;
  }
  FakeSystem system;
  RecordingHost host;
};

TEST_F(WalkTest, BreadthFirstWithAndWithoutTrailingSeparator) {
  const std::vector<std::string> expected = {"", "C:\\Data\\A", "C:\\Data\\B", "C:\\Data\\A\\A1"};
  EXPECT_EQ(Paths(Walk("C:\\Data")), expected);
  EXPECT_EQ(Paths(Walk("C:\\Data\\")), expected);
  EXPECT_EQ(system.openFolders(), 0);
}

TEST_F(WalkTest, ShowsEachFinishedFolderButTheLast) {
  host.recordYields = false;
  Walk("C:\\Data\\");
  const std::vector<std::string> shown = {"show: C:\\Data\\", "show: C:\\Data\\A\\", "show: C:\\Data\\B\\"};
  EXPECT_EQ(host.events, shown);

  host.events.clear();
  system.AddFolder("C:\\Leaf");
  EXPECT_EQ(Paths(Walk("C:\\Leaf\\")), std::vector<std::string>{""});
  EXPECT_TRUE(host.events.empty()) << "a folder without subfolders shows nothing";
}

TEST_F(WalkTest, DriveRootAndUnreadableSubfolder) {
  system.AddFolder("C:\\Other");
  system.SetUnreadable("C:\\Data\\B");
  system.AddFolder("C:\\Data\\B\\Below");
  const auto folders = Paths(Walk("C:\\"));
  const std::vector<std::string> expected = {"", "C:\\Data", "C:\\Other", "C:\\Data\\A", "C:\\Data\\B",
                                             "C:\\Data\\A\\A1"};
  EXPECT_EQ(folders, expected);
}

TEST_F(WalkTest, StopReturnsAfterAtMostTheEntryAtHand) {
  // STOP inside the yield before the start folder's second entry.
  int yields = 0;
  host.duringYield = [&](RecordingHost& h) {
    if (++yields == 3) h.Stop();
  };
  const auto folders = Paths(Walk("C:\\Data\\"));
  EXPECT_EQ(folders, (std::vector<std::string>{"", "C:\\Data\\A", "C:\\Data\\B"}));
  for (const auto& e : host.events) EXPECT_NE(e.rfind("show:", 0), 0u) << "queued folders are not shown";
  EXPECT_EQ(system.openFolders(), 0);
}

TEST_F(WalkTest, FolderFilesAreTheNonFolderEntries) {
  system.AddFile("C:\\Data\\README", 1);
  system.AddFolder("C:\\Data\\dir.with.dot");
  system.AddLinkedFolder("C:\\Data\\link");
  WalkContext context{system.directories(), host, '\\'};
  FolderFiles files;
  files.entries = {{"stale"}};
  GetFolderFiles(context, "C:\\Data", files);
  ASSERT_EQ(files.entries.size(), 3u);
  EXPECT_EQ(files.entries[0].name, "");
  EXPECT_EQ(files.entries[1].name, "top.txt");
  EXPECT_EQ(files.entries[2].name, "README");
  EXPECT_EQ(files.StampOf(files.entries[2])->size, 1u) << "the search record's size is kept";

  system.SetUnreadable("C:\\Data\\B");
  GetFolderFiles(context, "C:\\Data\\B\\", files);
  EXPECT_EQ(files.entries.size(), 1u);
  EXPECT_EQ(system.openFolders(), 0);
}

}  // namespace
}  // namespace vexaro::engine

// The listing engine over a real folder tree with the real Linux platform.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "engine/listing.h"
#include "engine/walk.h"
#include "platform/linux/directory_search.h"
#include "tests/platform/linux/posix_tree.h"
#include "tests/support/recording_host.h"

namespace vexaro::engine {
namespace {

TEST(HostListingTest, ListsARealTreeLineForLineWithAndWithoutWorkers) {
  testing::PosixTree tree;
  tree.File("a.txt", 1536);
  tree.File("line\nbreak", 3);
  tree.File("sub/b.txt", 12582912);
  tree.File("日本語/データ.txt", 5);
  tree.Link("ln.txt", "a.txt");      // listed with the size of a.txt
  tree.Link("lnk", "sub");           // neither walked nor listed
  tree.Link("sub/up", "..");         // a loop, not entered
  tree.Link("dangling", "nowhere");  // listed with its own size
  const std::string& root = tree.root();

  const std::unique_ptr<platform::System> system = platform::MakeHostSystem();
  const int descriptorsBefore = testing::OpenDescriptorCount();
  testing::RecordingHost host;
  std::string text;
  StringSink sink(text);
  ListingOptions options;
  options.CheckFree = false;
  for (unsigned workers : {1u, 3u}) {
    text.clear();
    ListingJob job(*system, host.Host(), sink);
    job.setThreads(workers);
    job.DoWork(root, options);
    EXPECT_EQ(testing::OpenDescriptorCount(), descriptorsBefore) << "a listing leaves nothing open";
  }
  for (const auto& event : host.events) EXPECT_FALSE(event.starts_with("problem")) << event;

  // The dates of the files and of the listing as "D" and "T".
  text = std::regex_replace(text, std::regex(R"(\n\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)"), "\nD");
  text = std::regex_replace(text, std::regex("Time : [^\n]*"), "Time : T");
  EXPECT_EQ(text, std::string("\nDate and Time : T\nVolume Name : ")
                      .append(system->volumes().Label(root) + "\nStarting Path : " + root + "\n\n")
                      .append("D        1536 : a.txt\n"
                              "D           7 : dangling\n"
                              "D           3 : line?break\n"
                              "D        1536 : ln.txt\n"
                              "D    12582912 : sub/b.txt\n"
                              "D           5 : 日本語/データ.txt\n"));
}

// A folder swapped for a link to a folder outside the tree between the walk
// and the listing: the listing, which reads it again, reports it and lists
// nothing from outside, with worker threads or without.
TEST(HostListingTest, AFolderSwappedForALinkIsNeverFollowed) {
  for (unsigned workers : {1u, 3u}) {
    testing::PosixTree tree;
    tree.File("r/A/a", 1);
    tree.File("r/Z/passwd", 3);
    tree.File("secret/passwd", 20);
    tree.File("secret/only-outside", 1);
    platform::posix::PosixDirectorySearch search;
    testing::RecordingHost host;
    host.blnContinue = true;
    FolderWalk walk({search, host.Host(), '/', {{true, true}, 0, workers}});
    walk.GetSubFolders(tree.Path("r"));
    std::filesystem::rename(tree.Path("r/Z"), tree.Path("Z-moved"));
    std::filesystem::create_directory_symlink(tree.Path("secret"), tree.Path("r/Z"));
    std::string listed;
    walk.ListFolders([&](const FolderWalk::Listed& folder) {
      folder.files.ForEach([&](const FileRef& file) {
        listed.append(folder.path.substr(folder.relativeStart)).append(file.name).append(" ");
      });
    });
    EXPECT_EQ(listed, "/A/a ") << workers;  // the start folder was given without its separator
    EXPECT_EQ(host.events.back(), "problem: changed " + tree.Path("r/Z/")) << workers;
  }
}

}  // namespace
}  // namespace vexaro::engine

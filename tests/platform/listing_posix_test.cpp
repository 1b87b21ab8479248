// The listing engine over a real folder tree with the real Linux platform.

#include <gtest/gtest.h>

#include <regex>

#include "engine/listing.h"
#include "tests/platform/posix_tree.h"
#include "tests/support/recording_host.h"

namespace vexaro::engine {
namespace {

TEST(HostListingTest, ListsARealTreeLineForLine) {
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
  ListingJob(*system, host, sink).DoWork(root, options);
  EXPECT_EQ(testing::OpenDescriptorCount(), descriptorsBefore) << "a listing leaves nothing open";
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

}  // namespace
}  // namespace vexaro::engine

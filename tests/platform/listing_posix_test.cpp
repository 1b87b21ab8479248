// The listing engine over a real folder tree with the real Linux platform.

#include <gtest/gtest.h>

#include <ctime>
#include <regex>

#include "engine/listing.h"
#include "tests/platform/posix_tree.h"
#include "tests/support/recording_host.h"

namespace vexaro::engine {
namespace {

using testing::PosixTree;

// yyyy/mm/dd hh:mm:ss in local time; in this form text order is time order.
std::string LocalText(std::time_t moment) {
  std::tm local{};
  ::localtime_r(&moment, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
  return text;
}

TEST(HostListingTest, ListsARealTreeLineForLine) {
  const std::string made = LocalText(std::time(nullptr));
  PosixTree tree;
  tree.File("a.txt", 1536);
  tree.File("line\nbreak", 3);
  tree.File("sub/b.txt", 12582912);
  tree.File("sub dir/x", 1);
  tree.File("日本語/データ.txt", 5);
  tree.Folder("empty");
  tree.Link("ln.txt", "a.txt");      // listed with the size of a.txt
  tree.Link("lnk", "sub");           // neither walked nor listed
  tree.Link("sub/up", "..");         // a loop, not entered
  tree.Link("dangling", "nowhere");  // listed with its own size
  const std::string& root = tree.root();

  ListingOptions txt;
  txt.CheckFree = false;
  ListingOptions csv = txt;
  csv.OptionCSV = true;
  csv.CheckByte = false;
  csv.CheckVolume = false;
  csv.CheckDate = false;
  const std::pair<ListingOptions, std::string> cases[] = {
      {txt,
       "D        1536 : a.txt\n"
       "D           7 : dangling\n"
       "D           3 : line?break\n"
       "D        1536 : ln.txt\n"
       "D    12582912 : sub/b.txt\n"
       "D           1 : sub dir/x\n"
       "D           5 : 日本語/データ.txt\n"},
      {csv,
       "\"   1KB\",\"" + root + "\",\"a.txt\"\n" +
       "\"   7 B\",\"" + root + "\",\"dangling\"\n" +
       "\"   3 B\",\"" + root + "\",\"line\nbreak\"\n" +
       "\"   1KB\",\"" + root + "\",\"ln.txt\"\n" +
       "\"  12MB\",\"" + root + "sub/\",\"b.txt\"\n" +
       "\"   1 B\",\"" + root + "sub dir/\",\"x\"\n" +
       "\"   5 B\",\"" + root + "日本語/\",\"データ.txt\"\n"},
  };
  std::unique_ptr<platform::System> system = platform::MakeHostSystem();
  const int descriptorsBefore = testing::OpenDescriptorCount();
  for (const auto& [options, files] : cases) {
    testing::RecordingHost host;
    std::string text;
    StringSink sink(text);
    ListingJob(*system, host, sink).DoWork(root, options);
    EXPECT_EQ(testing::OpenDescriptorCount(), descriptorsBefore) << "a listing leaves nothing open";
    const std::string latest = LocalText(std::time(nullptr));

    // The header's clock becomes "T", the creation dates "D": this test made
    // the files, so they lie between its start and now.
    const std::regex stamp(R"((^|\n)(Date and Time : )?(\d{4}/\d\d/\d\d \d{1,2}:\d\d:\d\d))");
    std::string masked;
    auto last = text.cbegin();
    for (std::sregex_iterator it(text.begin(), text.end(), stamp), end; it != end; ++it) {
      if (!(*it)[2].matched) {
        EXPECT_GE((*it)[3].str(), made);
        EXPECT_LE((*it)[3].str(), latest);
      }
      masked.append(last, (*it)[3].first).append((*it)[2].matched ? "T" : "D");
      last = (*it)[3].second;
    }
    masked.append(last, text.cend());
    EXPECT_EQ(masked, "\nDate and Time : T\nVolume Name : " + system->volumes().Label(root) +
                          "\nStarting Path : " + root + "\n\n" + files);
    for (const auto& event : host.events) EXPECT_FALSE(event.starts_with("problem")) << event;
  }
}

}  // namespace
}  // namespace vexaro::engine

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
using testing::RecordingHost;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

class HostListingTest : public ::testing::Test {
 protected:
  HostListingTest() {
    made = ::time(nullptr);
    tree.File("a.txt", 1536);
    tree.File("c.log", 700);
    tree.File("line\nbreak.txt", 3);
    tree.File("sub/b.txt", 12582912);
    tree.File("sub dir/x", 1);
    tree.File("日本語/データ.txt", 5);
    tree.Folder("empty");
    tree.Link("ln.txt", "a.txt");      // listed with the size of a.txt
    tree.Link("lnk", "sub");           // neither walked nor listed
    tree.Link("sub/up", "..");         // a loop, not entered
    tree.Link("dangling", "nowhere");  // listed with its own size
  }

  std::string List(const ListingOptions& options) {
    std::string text;
    StringSink sink(text);
    ListingJob job(*system, host, sink);
    job.DoWork(tree.root() + "/", options);
    return text;
  }

  std::time_t made = 0;
  PosixTree tree;
  std::unique_ptr<platform::System> system = platform::MakeHostSystem();
  RecordingHost host;
};

TEST_F(HostListingTest, ListsARealTreeLineForLine) {
  ListingOptions txt;
  txt.CheckDate = false;
  txt.CheckFree = false;
  ListingOptions csv = txt;
  csv.OptionCSV = true;
  csv.CheckByte = false;
  csv.CheckVolume = false;
  const std::string root = tree.root() + "/";

  struct Case {
    const char* name;
    ListingOptions options;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {"txt, exact sizes", txt,
       {
           "        1536 : a.txt",
           "         700 : c.log",
           "           7 : dangling",
           "           3 : line?break.txt",
           "        1536 : ln.txt",
           "    12582912 : sub/b.txt",
           "           1 : sub dir/x",
           "           5 : 日本語/データ.txt",
       }},
      {"csv, sizes with units", csv,
       {
           "\"   1KB\",\"" + root + "\",\"a.txt\"",
           "\" 700 B\",\"" + root + "\",\"c.log\"",
           "\"   7 B\",\"" + root + "\",\"dangling\"",
           "\"   3 B\",\"" + root + "\",\"line\nbreak.txt\"",
           "\"   1KB\",\"" + root + "\",\"ln.txt\"",
           "\"  12MB\",\"" + root + "sub/\",\"b.txt\"",
           "\"   1 B\",\"" + root + "sub dir/\",\"x\"",
           "\"   5 B\",\"" + root + "日本語/\",\"データ.txt\"",
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.events.clear();
    const std::string text = List(c.options);
    std::vector<std::string> expected = {
        "",
        "Date and Time : ",
        "Volume Name : " + system->volumes().Label(root),
        "Starting Path : " + root,
        "",
    };
    // A name with a line break spans two lines in CSV, where it is quoted.
    for (const auto& line : c.files) {
      for (const auto& part : Lines(line)) expected.push_back(part);
    }
    expected.push_back("");
    std::vector<std::string> lines = Lines(text);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("Date and Time : \\d{4}/\\d\\d/\\d\\d \\d{1,2}:\\d\\d:\\d\\d")))
        << lines[1];
    lines[1] = "Date and Time : ";
    EXPECT_EQ(lines, expected);

    for (const auto& event : host.events) EXPECT_FALSE(event.starts_with("problem")) << event;
    EXPECT_NE(std::find(host.events.begin(), host.events.end(), "show: " + root + "日本語/"), host.events.end());
  }
}

// yyyy/mm/dd hh:mm:ss of a moment in local time; in this form text order is
// time order.
std::string LocalText(std::time_t moment) {
  std::tm local{};
  ::localtime_r(&moment, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
  return text;
}

TEST_F(HostListingTest, DatesAreTheLocalCreationTimes) {
  const std::string earliest = LocalText(made);
  ListingOptions dates;
  dates.CheckSize = false;
  dates.CheckFree = false;
  dates.CheckPath = false;
  const std::string text = List(dates);
  const std::string latest = LocalText(::time(nullptr));
  const std::regex line(R"((\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)(.*))");
  std::vector<std::string> names;
  for (const auto& l : Lines(text)) {
    std::smatch match;
    if (!std::regex_match(l, match, line)) continue;
    names.push_back(match[2]);
    // Made by this test: created between its start and now.
    EXPECT_GE(match[1].str(), earliest) << l;
    EXPECT_LE(match[1].str(), latest) << l;
  }
  const std::vector<std::string> expected = {"a.txt",  "c.log",     "dangling", "line?break.txt",
                                             "ln.txt", "sub/b.txt", "sub dir/x", "日本語/データ.txt"};
  EXPECT_EQ(names, expected) << text;
}

}  // namespace
}  // namespace vexaro::engine

// The listing engine over a real folder tree through the host platform.
#include "engine/listing.h"

#include "platform/windows_win32.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/system.h"
#include "tests/support/recording_host.h"
#include "tests/win32/temp_tree.h"

namespace vexaro::engine {
namespace {

using testing::RecordingHost;
using testing::TempTree;

// The file lines of a listing: what follows the header's closing empty line.
std::vector<std::string> FileLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  const auto blank = std::find(lines.begin() + 1, lines.end(), "");
  return {blank == lines.end() ? lines.end() : blank + 1, lines.end()};
}

class Win32ListingTest : public ::testing::Test {
 protected:
  Win32ListingTest() {
    tree.AddFile("README", 10);
    tree.AddFile("a.txt", 1536);
    tree.AddFile("\xF0\x9F\x98\x80.txt", 1);  // emoji
    tree.AddFile("\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4.txt", 2);  // Korean
    tree.AddFile("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", 3);  // Japanese
    tree.AddFile("hidden.txt", 4, FILE_ATTRIBUTE_HIDDEN);
    tree.AddFile("sub\\big.bin", std::uint64_t{6442450944});
    tree.AddFile("sub\\Zed.txt", 0);
    tree.AddFolder("empty");
    tree.AddFile("b\\in-b.txt", 5);
    tree.AddFile("c\\in-c.txt", 6);
    host.recordYields = false;
  }

  std::string List(const std::string& path, const ListingOptions& options) {
    std::string text;
    StringSink sink(text);
    ListingJob job(*system, host, sink);
    job.DoWork(path, options);
    return text;
  }

  TempTree tree;
  std::unique_ptr<platform::System> system = platform::MakeHostSystem();
  RecordingHost host;
};

TEST_F(Win32ListingTest, RealTreeInCodeUnitOrderWithSizesFromTheSearchRecord) {
  ListingOptions options;
  options.CheckDate = false;
  options.CheckPath = false;
  const std::string text = List(tree.root(), options);
  const std::vector<std::string> expected = {
      "          10 : README",
      "        1536 : a.txt",
      "           4 : hidden.txt",
      "           3 : \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt",
      "           2 : \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4.txt",
      "           1 : \xF0\x9F\x98\x80.txt",
      "           5 : b\\in-b.txt",
      "           6 : c\\in-c.txt",
      "           0 : sub\\Zed.txt",
      "  6442450944 : sub\\big.bin",
      "",
  };
  EXPECT_EQ(FileLines(text), expected);
  EXPECT_EQ(text.rfind("\r\nDate and Time : ", 0), 0u);
  EXPECT_NE(text.find("\r\nVolume Name : "), std::string::npos);
  EXPECT_NE(text.find("\r\nFree Disk Space : "), std::string::npos);
  EXPECT_NE(text.find(" GB\r\nDisk Space : "), std::string::npos) << "the drive's figures could be read";
}

TEST_F(Win32ListingTest, CsvLinesNameTheFullFolder) {
  ListingOptions options;
  options.OptionCSV = true;
  options.CheckDate = false;
  options.CheckVolume = false;
  options.CheckSize = false;
  const std::string sub = tree.Path("sub\\");
  const auto lines = FileLines(List(tree.Path("sub"), options));
  const std::vector<std::string> expected = {"\"" + sub + "\",\"Zed.txt\"", "\"" + sub + "\",\"big.bin\"", ""};
  EXPECT_EQ(lines, expected);
}

// The host platform, except that one folder is removed just before it is
// first opened: found by the walk, gone when read.
class VanishingSystem final : public platform::System {
 public:
  VanishingSystem(platform::System& real, std::string victim) : real_(real), search_(real, std::move(victim)) {}
  platform::DirectorySearch& directories() override { return search_; }
  platform::VolumeInfo& volumes() override { return real_.volumes(); }
  platform::DiskSpaceInfo& disks() override { return real_.disks(); }
  platform::Clock& clock() override { return real_.clock(); }
  platform::Regional& regional() override { return real_.regional(); }
  platform::Conventions conventions() const override { return real_.conventions(); }
  bool removed() const { return search_.removed; }

 private:
  struct Search final : platform::DirectorySearch {
    Search(platform::System& real, std::string victim) : real(real), victim(std::move(victim)) {}
    platform::OpenResult OpenFolder(std::string_view path) override {
      if (!removed && path == victim) removed = TempTree::Remove(victim);
      return real.directories().OpenFolder(path);
    }
    platform::System& real;
    std::string victim;
    bool removed = false;
  };
  platform::System& real_;
  Search search_;
};

TEST_F(Win32ListingTest, FolderThatVanishesAfterTheWalkFoundItGivesNoLines) {
  const std::string b = tree.Path("b\\");
  VanishingSystem vanishing(*system, b);
  ListingOptions options;
  options.CheckDate = false;
  options.CheckSize = false;
  std::string text;
  StringSink sink(text);
  ListingJob(vanishing, host, sink).DoWork(tree.root(), options);

  ASSERT_TRUE(vanishing.removed());
  const auto lines = FileLines(text);
  for (const auto& line : lines) EXPECT_EQ(line.find("in-b"), std::string::npos) << line;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "c\\in-c.txt"), lines.end()) << "the walk went on";
  EXPECT_NE(std::find(host.events.begin(), host.events.end(), "problem: unreadable-folder " + b), host.events.end());
  EXPECT_EQ(lines.back(), "") << "the listing ran to its end";
}

TEST_F(Win32ListingTest, StartFolderThatDoesNotExist) {
  ListingOptions options;
  const std::string text = List(tree.Path("nowhere\\"), options);
  EXPECT_EQ(FileLines(text), std::vector<std::string>{""});
  EXPECT_NE(text.find("\r\nStarting Path : " + tree.Path("nowhere\\")), std::string::npos);
}

}  // namespace
}  // namespace vexaro::engine

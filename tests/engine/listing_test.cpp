#include "engine/listing.h"

#include <gtest/gtest.h>

#include "tests/support/fake_system.h"
#include "tests/support/recording_host.h"

namespace vexaro::engine {
namespace {

using testing::FakeSystem;
using testing::RecordingHost;
using testing::UtcSeconds;

platform::UtcTime Jst(int year, int month, int day, int hour, int minute, int second) {
  return {UtcSeconds(year, month, day, hour, minute, second) - 9 * 3600, 0};
}

constexpr const char* kHeader =
    "\r\n"
    "Date and Time : 2026/12/06 9:05:00\r\n"
    "Volume Name : DATA\r\n"
    "Starting Path : C:\\data\\\r\n"
    "Free Disk Space : 12.34 GB\r\n"
    "Disk Space : 98.76 GB\r\n";

class ListingTest : public ::testing::Test {
 protected:
  ListingTest() {
    system.SetLabel("C:\\", "DATA");
    system.SetSpace("C:", 13249974108, 106042260111);
    system.AddFile("C:\\data\\c.log", 700, Jst(2026, 12, 3, 18, 40, 5));
    system.AddFolder("C:\\data\\sub");
    system.AddFile("C:\\data\\sub\\b.txt", 12582912, Jst(2026, 12, 2, 10, 0, 0));
    system.AddFile("C:\\data\\a.txt", 1536, Jst(2026, 12, 1, 9, 15, 0));
  }

  std::string List(const ListingOptions& options, std::vector<std::string> paths = {"C:\\data\\"}) {
    std::string text;
    StringSink sink(text);
    ListingJob job(system, host.Host(), sink);
    job.setCacheBudget(cacheBudget);
    job.setThreads(workers);
    outcomes.clear();
    for (const auto& path : paths) {
      host.blnContinue = true;  // as a front end does for each start folder
      outcomes.push_back(job.DoWork(path, options));
    }
    return text;
  }

  static ListingOptions Options(bool csv, bool volume, bool free, bool size, bool byte, bool date, bool path) {
    return {volume, free, size, byte, date, path, csv, {}};
  }

  FakeSystem system;
  RecordingHost host;
  std::vector<FolderOutcome> outcomes;  // of the last List
  std::size_t cacheBudget = kDefaultCacheBudget;
  unsigned workers = 1;
};

TEST_F(ListingTest, FileLinesInEveryFormOfTheExample) {
  struct Case {
    const char* name;
    ListingOptions options;
    const char* lines;
  };
  const Case cases[] = {
      {"csv, all but byte", Options(true, true, true, true, false, true, true),
       "\"2026/12/01 09:15:00\",\"DATA\",\"   1KB\",\"C:\\data\\\",\"a.txt\"\r\n"
       "\"2026/12/03 18:40:05\",\"DATA\",\" 700 B\",\"C:\\data\\\",\"c.log\"\r\n"
       "\"2026/12/02 10:00:00\",\"DATA\",\"  12MB\",\"C:\\data\\sub\\\",\"b.txt\"\r\n"},
      {"txt, initial settings", ListingOptions{},
       "2026/12/01 09:15:00        1536 : a.txt\r\n"
       "2026/12/03 18:40:05         700 : c.log\r\n"
       "2026/12/02 10:00:00    12582912 : sub\\b.txt\r\n"},
      {"txt, date and size", Options(false, true, true, true, false, true, true),
       "2026/12/01 09:15:00   1KB : a.txt\r\n"
       "2026/12/03 18:40:05 700 B : c.log\r\n"
       "2026/12/02 10:00:00  12MB : sub\\b.txt\r\n"},
      {"txt, size and byte", Options(false, true, true, true, true, false, true),
       "        1536 : a.txt\r\n"
       "         700 : c.log\r\n"
       "    12582912 : sub\\b.txt\r\n"},
      {"csv, nothing ticked", Options(true, false, true, false, false, false, true),
       "\"C:\\data\\\",\"a.txt\"\r\n"
       "\"C:\\data\\\",\"c.log\"\r\n"
       "\"C:\\data\\sub\\\",\"b.txt\"\r\n"},
      {"csv, volume without date", Options(true, true, true, false, false, false, true),
       "\"DATA\",\"C:\\data\\\",\"a.txt\"\r\n"
       "\"DATA\",\"C:\\data\\\",\"c.log\"\r\n"
       "\"DATA\",\"C:\\data\\sub\\\",\"b.txt\"\r\n"},
      {"txt, nothing ticked but volume", Options(false, true, true, false, true, false, true),
       "a.txt\r\nc.log\r\nsub\\b.txt\r\n"},
      {"txt, date only", Options(false, false, true, false, false, true, true),
       "2026/12/01 09:15:00a.txt\r\n2026/12/03 18:40:05c.log\r\n2026/12/02 10:00:00sub\\b.txt\r\n"},
  };
  for (const auto& c : cases) {
    host = RecordingHost();
    EXPECT_EQ(List(c.options), std::string(kHeader) + "\r\n" + c.lines) << c.name;
  }
}

// Whole texts: which header lines stand, empty and several start folders,
// the line end, a start folder given without its separator, a share.
TEST_F(ListingTest, WholeTexts) {
  system.AddFolder("C:\\empty");
  system.AddFile("\\\\srv\\share\\dir\\f.txt", 5);
  system.SetSpace("\\\\srv\\share", 536870912, 1610612736);
  const ListingOptions names = Options(false, false, false, false, false, false, false);
  ListingOptions lf = names;
  lf.lineEnd = "\n";
  struct Case {
    const char* name;
    ListingOptions options;
    std::vector<std::string> paths;
    const char* text;
  };
  const Case cases[] = {
      {"no free space, no path",
       Options(false, true, false, false, false, false, false),
       {"C:\\data\\"},
       "\r\nDate and Time : 2026/12/06 9:05:00\r\nVolume Name : DATA\r\n\r\na.txt\r\nc.log\r\nsub\\b.txt\r\n"},
      {"empty start folder",
       Options(false, true, false, true, true, true, false),
       {"C:\\empty\\"},
       "\r\nDate and Time : 2026/12/06 9:05:00\r\nVolume Name : DATA\r\n\r\n"},
      {"two start folders",
       names,
       {"C:\\data\\", "C:\\empty\\"},
       "\r\nDate and Time : 2026/12/06 9:05:00\r\nVolume Name : DATA\r\n\r\na.txt\r\nc.log\r\nsub\\b.txt\r\n"
       "\r\nDate and Time : 2026/12/06 9:05:00\r\nVolume Name : DATA\r\n\r\n"},
      {"LF",
       lf,
       {"C:\\data\\"},
       "\nDate and Time : 2026/12/06 9:05:00\nVolume Name : DATA\n\na.txt\nc.log\nsub\\b.txt\n"},
      {"no trailing separator",
       names,
       {"C:\\data"},
       "\r\nDate and Time : 2026/12/06 9:05:00\r\nVolume Name : DATA\r\n\r\n\\a.txt\r\n\\c.log\r\n\\sub\\b.txt\r\n"},
      {"share",
       Options(true, true, true, false, false, false, true),
       {"\\\\srv\\share\\dir\\"},
       "\r\nDate and Time : 2026/12/06 9:05:00\r\nVolume Name : \r\n"
       "Starting Path : \\\\srv\\share\\dir\\\r\nFree Disk Space : .5 GB\r\nDisk Space : 1.5 GB\r\n\r\n"
       "\"\",\"\\\\srv\\share\\dir\\\",\"f.txt\"\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(List(c.options, c.paths), c.text) << c.name;
    for (const FolderOutcome& outcome : outcomes) {
      EXPECT_FALSE(outcome.stopped() || outcome.Incomplete()) << c.name;
    }
  }
}

TEST_F(ListingTest, ReadsStampsOnlyWhenAColumnNeedsThem) {
  system.setRecordsCarryStamps(false);
  List(Options(true, true, true, false, true, false, true));
  EXPECT_EQ(system.stats(), 0);
  const int opensWithout = system.opens();
  List(ListingOptions{});
  EXPECT_EQ(system.stats(), 3);
  EXPECT_EQ(system.opens() - opensWithout, 2) << "one open per folder: the walk reads the stamps";
}

TEST_F(ListingTest, StopBeforeTheFilesAreListedKeepsTheHeaderOnly) {
  // Folders met in reverse order, so that sorting them takes many moves.
  for (char c = 'z'; c >= 'a'; --c) system.AddFile(std::string("C:\\rev\\") + c + "\\f.txt", 1);
  List(ListingOptions{}, {"C:\\rev\\"});
  const auto listingFiles = std::find(host.events.begin(), host.events.end(), "status: Listing Files");
  const auto before = std::count(host.events.begin(), listingFiles, "yield");
  ASSERT_GT(before, 26) << "the walk yields once per folder at least";

  // STOP at each yield of the walk, with and without reader threads: the
  // next yield at the latest ends the folder, with its whole header and no
  // file line, and no folder left open.
  for (const unsigned threads : {1u, 3u}) {
    workers = threads;
    for (int at = 1; at <= before; ++at) {
      host = RecordingHost();
      int yields = 0;
      host.duringYield = [&](RecordingHost& h) {
        if (++yields == at) h.Stop();
      };
      const std::string text = List(ListingOptions{}, {"C:\\rev\\"});
      EXPECT_LE(yields - at, 2) << at;
      EXPECT_TRUE(text.ends_with("Disk Space : 98.76 GB\r\n")) << at;
      EXPECT_EQ(text.find("f.txt"), std::string::npos) << at;
      EXPECT_EQ(host.Shown().back(), "status: Listing Files") << at;
      ASSERT_EQ(outcomes.size(), 1u);
      EXPECT_TRUE(outcomes[0].stopped()) << at;
      EXPECT_EQ(system.openFolders(), 0);
    }
  }
}

TEST_F(ListingTest, StopBetweenFoldersKeepsWholeLinesWithoutFinalLineEnd) {
  // STOP while the start folder's own lines are shown: its lines are
  // completed, the next folder is not listed.
  bool listing = false;
  host.duringYield = [&](RecordingHost& h) {
    const std::string& before = h.events[h.events.size() - 2];
    if (before == "status: Listing Files") listing = true;
    if (listing && before == "show: C:\\data\\") {
      h.Stop();
      listing = false;
    }
  };
  const std::string first =
      List(Options(false, false, false, false, false, false, false), {"C:\\data\\", "C:\\data\\"});
  EXPECT_EQ(first,
            "\r\nDate and Time : 2026/12/06 9:05:00\r\nVolume Name : DATA\r\n\r\n"
            "a.txt\r\nc.log"
            "\r\nDate and Time : 2026/12/06 9:05:00\r\nVolume Name : DATA\r\n\r\n"
            "a.txt\r\nc.log");
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_TRUE(outcomes[0].stopped());
  EXPECT_TRUE(outcomes[1].stopped()) << "each start folder sets the flag again and is stopped on its own";
}

// A folder met again on the same mount was moved (or swapped) during the
// walk: whatever stood under its second name is not listed, and the run
// says so instead of passing it off as a loop.
TEST_F(ListingTest, AFolderMetAgainOnItsOwnMountIsAChangeNotALoop) {
  system.AddFile("C:\\t\\a\\x.txt", 1);
  system.AddSecondNameOf("C:\\t\\b", "C:\\t\\a");
  const auto text = List(Options(false, false, false, false, false, false, false), {"C:\\t\\"});
  EXPECT_EQ(text.substr(text.find("\r\n\r\n") + 4), "a\\x.txt\r\n");
  EXPECT_NE(host.events.end(), std::find(host.events.begin(), host.events.end(), "problem: changed C:\\t\\b\\"));
  EXPECT_EQ(outcomes.at(0).Count(Problem::Kind::ChangedFolder), 1u);
  EXPECT_TRUE(outcomes[0].Incomplete());
}

TEST_F(ListingTest, StatusAndProgressSequence) {
  host.recordYields = false;
  List(ListingOptions{});
  const std::vector<std::string> expected = {
      "status: Listing Folders", "show: C:\\data\\",  // the walk moves on to sub
      "status: Listing Files",   "show: C:\\data\\", "show: C:\\data\\sub\\",
  };
  EXPECT_EQ(host.events, expected);
}

}  // namespace
}  // namespace vexaro::engine

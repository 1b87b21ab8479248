#include "cli/progress.h"

#include <gtest/gtest.h>

#include "cli/column_width.h"
#include "tests/cli/cli_fakes.h"

namespace vexaro::cli {
namespace {

using namespace std::chrono_literals;

TEST(ProgressTextTest, StageAndFolderFitInTheTerminal) {
  struct Case {
    std::string_view folder;
    int columns;
    char separator;
    std::string_view text;
  };
  const Case cases[] = {
      {"/home/user/", 80, '/', "Listing Files: /home/user/"},
      // Shortened in the middle; the last folder name and its separator stay.
      {"/home/user/projects/very/long/path/name/", 40, '/', "Listing Files: /home/user/proj.../name/"},
      {"C:\\Users\\me\\Documents\\archive\\2026\\", 36, '\\', "Listing Files: C:\\Users\\me...\\2026\\"},
      // Wide characters take two columns each.
      {"/データ/写真/旅行/二〇二六年/", 36, '/', "Listing Files: /デー.../二〇二六年/"},
      // Too narrow for any folder: the stage alone.
      {"/home/user/", 20, '/', "Listing Files"},
      {"/home/user/", 10, '/', "Listing F"},
      {"/home/user/", 1, '/', ""},
      // A name cannot steer the terminal.
      {"/tmp/\x1b[2Jx/", 80, '/', "Listing Files: /tmp/?[2Jx/"},
      {"", 80, '/', "Listing Files"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressText("Listing Files", c.folder, c.columns, c.separator), c.text)
        << c.folder << " in " << c.columns;
  }
}

TEST(ProgressTextTest, NeverReachesTheLastColumn) {
  const std::string folders[] = {
      "/srv/共有/プロジェクト/設計書/最終版/",
      "/a/" + std::string(300, 'x') + "/",
      "/" + std::string(50, 'y') + "/漢字漢字漢字漢字漢字漢字漢字漢字/",
      "/e\xcc\x81" "e\xcc\x81" "e\xcc\x81/\xff\xfe/",
  };
  for (const std::string& folder : folders) {
    for (int columns = 1; columns <= 120; ++columns) {
      const std::string text = ProgressText("Listing Folders", folder, columns, '/');
      EXPECT_LE(TextColumns(text), columns - 1) << folder << " in " << columns << ": " << text;
      EXPECT_EQ(ForDisplay(text), text) << folder;
    }
  }
}

class ProgressLineTest : public ::testing::Test {
 protected:
  // Takes what was written since the last call.
  std::string Drawn() {
    std::string drawn = console.err.substr(seen);
    seen = console.err.size();
    return drawn;
  }

  testing::FakeConsole console;
  std::chrono::steady_clock::time_point now{};
  ProgressLine line{console, '/', [this] { return now; }};
  std::size_t seen = 0;
};

TEST_F(ProgressLineTest, RedrawsAtMostTenTimesASecondAndErasesOnce) {
  line.SetStage("Listing Folders");
  EXPECT_EQ(Drawn(), "\rListing Folders\x1b[K");

  line.SetFolder("/data/a/");
  line.Tick();
  now += 60ms;
  line.Tick();
  EXPECT_EQ(Drawn(), "") << "within the interval";

  line.SetFolder("/data/b/");
  now += 40ms;
  line.Tick();
  EXPECT_EQ(Drawn(), "\rListing Folders: /data/b/\x1b[K") << "the newest folder, once the interval is over";

  now += 1s;
  line.Tick();
  EXPECT_EQ(Drawn(), "") << "nothing changed";

  line.SetStage("Listing Files");
  EXPECT_EQ(Drawn(), "\rListing Files\x1b[K") << "a new stage starts without the old folder";

  line.Erase();
  EXPECT_EQ(Drawn(), "\r\x1b[K");
  line.Erase();
  EXPECT_EQ(Drawn(), "") << "erased already";

  // After a message the line comes back at the next tick.
  now += 1s;
  line.Tick();
  EXPECT_EQ(Drawn(), "\rListing Files\x1b[K");
}

TEST_F(ProgressLineTest, FollowsTheTerminalWidth) {
  const std::string folder = "/" + std::string(100, 'x') + "/end/";
  console.columns = 30;
  line.SetStage("Listing Files");
  EXPECT_EQ(Drawn(), "\rListing Files\x1b[K");
  line.SetFolder(folder);
  now += 1s;
  line.Tick();
  EXPECT_EQ(Drawn(), "\r" + ProgressText("Listing Files", folder, 30, '/') + "\x1b[K");

  console.columns = std::nullopt;  // width unknown: 80 columns
  line.SetFolder(folder + "x/");
  now += 1s;
  line.Tick();
  EXPECT_EQ(Drawn(), "\r" + ProgressText("Listing Files", folder + "x/", 80, '/') + "\x1b[K");
}

}  // namespace
}  // namespace vexaro::cli

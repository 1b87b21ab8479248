#include "cli/progress.h"

#include <gtest/gtest.h>

#include "cli/column_width.h"

namespace vexaro::cli {
namespace {

TEST(ProgressTest, ColumnsATextTakesOnATerminal) {
  const std::pair<std::string_view, int> cases[] = {
      {"/home/user", 10},
      {"フォルダ/漢字", 13},            // wide
      {"e\xcc\x81t\xc3\xa9", 3},        // e + combining acute, t, precomposed é
      {"\xe2\x80\x8b\xef\xbb\xbf", 0},  // zero-width space and mark
      {"\xf0\x9f\x98\x80", 2},          // emoji
      {"a\xe3\x81\xff", 4},             // a cut-short sequence and no UTF-8: one column a byte
  };
  for (const auto& [text, columns] : cases) EXPECT_EQ(TextColumns(text), columns) << text;
}

TEST(ProgressTest, StageAndFolderFitInTheTerminalAndCannotSteerIt) {
  const std::tuple<std::string_view, int, std::string_view> cases[] = {
      {"/home/user/", 80, "Listing Files: /home/user/"},
      // Shortened in the middle; the last folder name and its separator stay.
      {"/home/user/projects/very/long/path/name/", 40, "Listing Files: /home/user/proj.../name/"},
      {"/データ/写真/旅行/二〇二六年/", 36, "Listing Files: /デー.../二〇二六年/"},
      {"/home/user/", 20, "Listing Files"},
      {"/home/user/", 10, "Listing F"},
      {"/tmp/\x1b]0;x\x07\xc2\x9bH\xff/", 80, "Listing Files: /tmp/?]0;x??H?/"},
  };
  for (const auto& [folder, columns, text] : cases) {
    EXPECT_EQ(ProgressText("Listing Files", folder, columns, '/'), text) << folder << " in " << columns;
  }
  // Clear of the last column, where the terminal would move to the next line.
  for (const std::string& folder : {std::string("/srv/共有/プロジェクト/設計書/最終版/"), std::string(300, 'x')}) {
    for (int columns = 1; columns <= 100; ++columns) {
      EXPECT_LT(TextColumns(ProgressText("Listing Folders", folder, columns, '/')), columns) << folder << columns;
    }
  }
}

}  // namespace
}  // namespace vexaro::cli

#include "platform/absolute_path.h"

#include <gtest/gtest.h>

#include <set>

namespace vexaro::platform {
namespace {

TEST(FoldersTest, MadeAbsoluteWithoutResolvingLinks) {
  // Plain folders of an imaginary disk: "link" is a link, "gone" is missing,
  // and as on a real disk a path ending in ".." names a folder.
  const std::set<std::string, std::less<>> plain = {"/home", "/home/u", "/home/u/src", "C:\\data", "C:\\data\\sub"};
  const IsPlainFolder isPlain = [&](std::string_view p) { return plain.contains(p) || p.ends_with("/.."); };
  const std::tuple<std::string_view, std::string_view, std::string_view> cases[] = {
      {"src", "/home/u", "/home/u/src/"},
      {"./src//lib/./", "/home/u/", "/home/u/src/lib/"},
      {"../../../..", "/home/u", "/"},
      {"src/../../u", "/home/u", "/home/u/"},
      // After a link ".." is the parent of its target, and after something
      // missing it is an error to report: both left for the system.
      {"link", "/home/u", "/home/u/link/"},
      {"link/../x/..", "/home/u", "/home/u/link/../x/../"},
      {"gone/..", "/home/u", "/home/u/gone/../"},
      {"データ", "/home/u", "/home/u/データ/"},
      {"sub/..\\deeper", "C:\\data", "C:\\data\\deeper\\"},
      {"D:/x/./y", "C:\\data", "D:\\x\\y\\"},
      {"\\tmp", "C:\\data", "C:\\tmp\\"},
      {"C:\\", "C:\\data", "C:\\"},
      {"d:sub", "C:\\data", "d:\\sub\\"},
      {"x", "\\\\srv\\share", "\\\\srv\\share\\x\\"},
  };
  for (const auto& [folder, current, absolute] : cases) {
    EXPECT_EQ(MakeAbsolute(folder, current, current[0] == '/' ? '/' : '\\', isPlain), absolute) << folder;
  }
  // What needs no current folder, and what still does (drive-relative forms).
  const std::pair<std::string_view, char> rooted[] = {
      {"/", '/'}, {"C:\\x", '\\'}, {"c:/", '\\'}, {"z:\\", '\\'}, {"//srv/x", '\\'}};
  // The last: "C:" cut from a longer name ends where it ends.
  const std::pair<std::string_view, char> relative[] = {{"x/", '/'},
                                                        {"", '/'},
                                                        {"\\x", '\\'},
                                                        {"C:x", '\\'},
                                                        {"C:", '\\'},
                                                        {"x:\\", '/'},
                                                        {std::string_view("C:\\").substr(0, 2), '\\'}};
  for (const auto& [path, separator] : rooted) EXPECT_TRUE(IsAbsolutePath(path, separator)) << path;
  for (const auto& [path, separator] : relative) EXPECT_FALSE(IsAbsolutePath(path, separator)) << path;
}

}  // namespace
}  // namespace vexaro::platform

#include "cli/folders.h"

#include <gtest/gtest.h>

#include <set>

namespace vexaro::cli {
namespace {

TEST(FoldersTest, MadeAbsoluteWithATrailingSeparator) {
  // Plain folders on this imaginary disk; /home/u/link is a link, /home/u/gone
  // does not exist. As on a real disk, a path ending in ".." names a folder.
  const std::set<std::string, std::less<>> plain = {"/home", "/home/u", "/home/u/src", "/srv", "/srv/a"};
  const IsPlainFolder isPlain = [&](std::string_view p) { return plain.contains(p) || p.ends_with("/.."); };
  struct Case {
    std::string_view folder;
    std::string_view current;
    std::string_view absolute;
  };
  const Case cases[] = {
      {"src", "/home/u", "/home/u/src/"},
      {"src/", "/home/u/", "/home/u/src/"},
      {".", "/home/u", "/home/u/"},
      {"./src/./", "/home/u", "/home/u/src/"},
      {"src//lib", "/home/u", "/home/u/src/lib/"},
      {"/srv/a", "/home/u", "/srv/a/"},
      {"/", "/home/u", "/"},
      {"//srv", "/home/u", "/srv/"},
      {"..", "/home/u", "/home/"},
      {"../..", "/home/u", "/"},
      {"../../../..", "/home/u", "/"},
      {"src/../../u", "/home/u", "/home/u/"},
      // After a link ".." is the link target's parent: left for the system.
      {"link/..", "/home/u", "/home/u/link/../"},
      {"link/../x/..", "/home/u", "/home/u/link/../x/../"},
      {"link/../..", "/home/u", "/home/u/link/../../"},
      // After something missing: the listing will report it, not skip it.
      {"gone/..", "/home/u", "/home/u/gone/../"},
      // Links are kept as written, not resolved.
      {"link", "/home/u", "/home/u/link/"},
      {"-", "/srv", "/srv/-/"},
      {"データ", "/srv", "/srv/データ/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeAbsolute(c.folder, c.current, '/', isPlain), c.absolute) << c.folder << " in " << c.current;
  }
}

TEST(FoldersTest, WindowsForms) {
  const std::set<std::string, std::less<>> plain = {"C:\\data", "C:\\data\\sub", "\\\\srv\\share\\x"};
  const IsPlainFolder isPlain = [&](std::string_view p) { return plain.contains(p); };
  struct Case {
    std::string_view folder;
    std::string_view current;
    std::string_view absolute;
  };
  const Case cases[] = {
      {"sub", "C:\\data", "C:\\data\\sub\\"},
      {"sub/deeper", "C:\\data\\", "C:\\data\\sub\\deeper\\"},
      {"D:\\x", "C:\\data", "D:\\x\\"},
      {"D:/x/./y", "C:\\data", "D:\\x\\y\\"},
      {"C:\\", "C:\\data", "C:\\"},
      {"\\tmp", "C:\\data", "C:\\tmp\\"},
      {"..", "C:\\data\\sub", "C:\\data\\"},
      {"..\\..\\..", "C:\\data\\sub", "C:\\"},
      {"\\\\srv\\share\\x\\..", "C:\\data", "\\\\srv\\share\\"},
      {"\\\\srv\\share", "C:\\data", "\\\\srv\\share\\"},
      {"x", "\\\\srv\\share", "\\\\srv\\share\\x\\"},
      {"C:sub", "C:\\data", "C:\\data\\sub\\"},
      {"d:sub", "C:\\data", "d:\\sub\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeAbsolute(c.folder, c.current, '\\', isPlain), c.absolute) << c.folder << " in " << c.current;
  }
}

}  // namespace
}  // namespace vexaro::cli

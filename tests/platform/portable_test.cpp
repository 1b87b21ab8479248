// The parts of the platform layer that every system shares.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/absolute_path.h"
#include "platform/clock.h"
#include "platform/drive.h"
#include "platform/text_fit.h"
#include "platform/utf8.h"
#include "tests/support/fake_facilities.h"

namespace vexaro::platform {
namespace {

// The one reading of a Windows drive, for the CLI, the Win32 side and the
// in-memory test system alike.
TEST(DriveName, DriveLettersSharesAndTheLongForms) {
  struct Case {
    const char* path;
    const char* part;  // DrivePart
    const char* name;  // DriveName
  };
  const Case cases[] = {
      {"C:\\Data\\x", "C:", "C:"},
      {"c:", "c:", "c:"},
      {"C:relative", "C:", "C:"},
      {"\\\\srv\\share\\dir\\", "\\\\srv\\share", "\\\\srv\\share"},
      {"\\\\srv\\share", "\\\\srv\\share", "\\\\srv\\share"},
      {"//srv/share/dir", "//srv/share", "\\\\srv\\share"},
      {"\\\\srv", "", ""},  // no share
      {"\\\\srv\\", "", ""},
      {"\\\\\\share\\x", "", ""},  // no server
      {"\\\\srv\\\\x", "", ""},    // empty share
      {"\\\\?\\C:\\Data", "\\\\?\\C:", "C:"},
      {"\\\\?\\UNC\\srv\\share\\x", "\\\\?\\UNC", "\\\\srv\\share"},
      {"\\\\?\\unc\\srv\\share", "\\\\?\\unc", "\\\\srv\\share"},
      {"\\Data", "", ""},
      {"relative\\x", "", ""},
      {"1:\\x", "", ""},
      {"z:\\x", "z:", "z:"},  // the letters' ends, and the characters beside them
      {"Z:", "Z:", "Z:"},
      {"a:", "a:", "a:"},
      {"A:", "A:", "A:"},
      {"@:", "", ""},
      {"[:", "", ""},
      {"`:", "", ""},
      {"{:", "", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DrivePart(c.path), c.part) << c.path;
    EXPECT_EQ(DriveName(c.path), c.name) << c.path;
  }
}

// The header's date when the system's own form cannot be had.
TEST(FixedDateTimeText, YearOfAtLeastFourDigitsHourUnpadded) {
  struct Case {
    LocalDateTime when;
    const char* text;
  };
  const Case cases[] = {
      {{2026, 12, 6, 9, 5, 0}, "2026/12/06 9:05:00"},
      {{12, 3, 4, 15, 6, 7}, "0012/03/04 15:06:07"},
      {{0, 1, 1, 0, 0, 0}, "0000/01/01 0:00:00"},
      {{292277026596, 12, 5, 0, 30, 7}, "292277026596/12/05 0:30:07"},
      {{-1, 12, 31, 23, 59, 59}, "-0001/12/31 23:59:59"},
      {{INT64_MIN, 1, 1, 0, 0, 0}, "-9223372036854775808/01/01 0:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(FixedDateTimeText(c.when), c.text) << c.when.year;
}

TEST(FitPathEllipsis, KeepsTheStartAndTheLastComponentOrBothEnds) {
  struct Case {
    const char* text;
    int width;
    const char* fitted;
  };
  const Case cases[] = {
      {"C:\\a\\b", 6, "C:\\a\\b"},  // fits as it is
      {"C:\\abcdef\\tail", 12, "C:\\a...\\tail"},
      {"C:\\abcdef\\b\\", 10, "C:\\a...\\b\\"},  // a folder's own separator is not its last
      {"C:\\abc\\tail", 8, "...\\tail"},         // nothing of the start is left
      {"C:\\abc\\longtail", 8, "...\\long"},     // nor all of the last component
      {"\\abcdefgh", 6, "...\\ab"},
      {"C:\\abc\\tail", 2, "..."},
      {"\\\\\\\\\\", 4, "..."},  // only separators: no last component
      // No separator: as many characters of each end.
      {"abcdefghij", 8, "ab...ij"},
      {"abcdefghij", 9, "abc...hij"},
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE5\x90\x8D\xE5\x89\x8D", 5, "\xE6\x97\xA5...\xE5\x89\x8D"},
      {"abcdefghij", 4, "..."},
      {"abcdefghij", -1, "..."},
      {"", 0, ""},
  };
  const testing::CharacterFitter measure;  // one unit per character
  for (const auto& c : cases)
    EXPECT_EQ(FitPathEllipsis(c.text, c.width, measure, '\\'), c.fitted) << c.text << " " << c.width;
}

// Every reader of names (sort, column widths, Win32 conversion) goes through
// Decode, so its edge cases decide what they all do.
TEST(Decode, OneScalarAtTheStart) {
  struct Case {
    const char* what;
    std::string bytes;
    bool valid;
    bool surrogate;
    char32_t value;  // checked when valid or surrogate
    std::size_t length;
    int units;  // checked when valid or surrogate
  };
  const Case cases[] = {
      {"ASCII", "a", true, false, U'a', 1, 1},
      {"NUL", std::string(1, '\0'), true, false, 0, 1, 1},
      {"two bytes, lowest", "\xC2\x80", true, false, 0x80, 2, 1},
      {"two bytes, highest", "\xDF\xBF", true, false, 0x7FF, 2, 1},
      {"three bytes, lowest", "\xE0\xA0\x80", true, false, 0x800, 3, 1},
      {"three bytes, last before surrogates", "\xED\x9F\xBF", true, false, 0xD7FF, 3, 1},
      {"three bytes, first after surrogates", "\xEE\x80\x80", true, false, 0xE000, 3, 1},
      {"three bytes, highest", "\xEF\xBF\xBF", true, false, 0xFFFF, 3, 1},
      {"four bytes, lowest", "\xF0\x90\x80\x80", true, false, 0x10000, 4, 2},
      {"four bytes, emoji", "\xF0\x9F\x98\x80", true, false, 0x1F600, 4, 2},
      {"four bytes, highest", "\xF4\x8F\xBF\xBF", true, false, 0x10FFFF, 4, 2},
      {"only the first character is read", "\xC3\xA9z", true, false, 0xE9, 2, 1},
      // Overlong forms: the lead or the second byte is out of range.
      {"overlong slash, two bytes", "\xC0\xAF", false, false, 0, 1, 0},
      {"overlong, C1 lead", "\xC1\xBF", false, false, 0, 1, 0},
      {"overlong, three bytes", "\xE0\x9F\xBF", false, false, 0, 1, 0},
      {"overlong, four bytes", "\xF0\x8F\xBF\xBF", false, false, 0, 1, 0},
      // Surrogates: never valid, but recognised as such.
      {"high surrogate", "\xED\xA0\x80", false, true, 0xD800, 3, 1},
      {"low surrogate", "\xED\xBF\xBF", false, true, 0xDFFF, 3, 1},
      // Beyond U+10FFFF.
      {"above U+10FFFF", "\xF4\x90\x80\x80", false, false, 0, 1, 0},
      {"F5 lead", "\xF5\x80\x80\x80", false, false, 0, 1, 0},
      {"FF", "\xFF", false, false, 0, 1, 0},
      // Truncated sequences: the bytes that could still have become valid.
      {"stray continuation", "\x80", false, false, 0, 1, 0},
      {"two-byte lead at the end", "\xC3", false, false, 0, 1, 0},
      {"three bytes cut after two", "\xE6\x97", false, false, 0, 2, 0},
      {"three bytes broken by ASCII", "\xE6\x97z", false, false, 0, 2, 0},
      {"four bytes cut after three", "\xF0\x9F\x98", false, false, 0, 3, 0},
      {"four bytes broken by a new lead", "\xF0\x9F\xC3\xA9", false, false, 0, 2, 0},
      {"surrogate cut after two", "\xED\xA0", false, false, 0, 2, 0},
  };
  for (const auto& c : cases) {
    const utf8::Scalar s = utf8::Decode(c.bytes, 0);
    EXPECT_EQ(s.valid, c.valid) << c.what;
    EXPECT_EQ(s.surrogate, c.surrogate) << c.what;
    EXPECT_EQ(s.length, c.length) << c.what;
    if (c.valid || c.surrogate) {
      EXPECT_EQ(s.value, c.value) << c.what;
      EXPECT_EQ(s.Utf16Units(), c.units) << c.what;
    }
  }
}

TEST(Decode, ReadsAtAnOffset) {
  const std::string text = "a\xE2\x82\xAC\xF0\x9F\x98\x80";
  EXPECT_EQ(utf8::Decode(text, 1).value, U'\u20AC');
  EXPECT_EQ(utf8::Decode(text, 4).value, U'\U0001F600');
  EXPECT_FALSE(utf8::Decode(text, 2).valid);  // inside a sequence
}

// Append writes what Decode reads back, at each length's edges; a surrogate
// gets the three-byte form Decode marks.
TEST(Append, RoundTripsThroughDecode) {
  const char32_t codes[] = {0, 0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xD800, 0xDFFF, 0xE000, 0xFFFF, 0x10000, 0x10FFFF};
  for (char32_t code : codes) {
    std::string bytes;
    utf8::Append(bytes, code);
    const utf8::Scalar s = utf8::Decode(bytes, 0);
    EXPECT_EQ(s.value, code) << std::hex << static_cast<unsigned>(code);
    EXPECT_EQ(s.length, bytes.size()) << std::hex << static_cast<unsigned>(code);
    EXPECT_EQ(s.valid, code < 0xD800 || code > 0xDFFF) << std::hex << static_cast<unsigned>(code);
  }
}

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

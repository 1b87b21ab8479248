#include "engine/sort.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vexaro::engine {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(CompareNames, OrdersByUtf16CodeUnits) {
  struct Case {
    std::string a, b;
    int expected;
  };
  const Case cases[] = {
      {"", "a", -1},
      {"a", "ab", -1},
      {"B.txt", "a.txt", -1},                   // capitals before small letters
      {"9", "A", -1},                           // digits before capitals
      {"C:\\data\\a b", "C:\\data\\a\\x", -1},  // blank before backslash
      {"C:\\data\\a\\x", "C:\\data\\ab", -1},   // backslash before small letters
      {"\xE3\x81\x82", "\xC3\xA9", 1},          // U+3042 after U+00E9
      // U+1F600 (a surrogate pair) before U+E000 and U+FFFD, after U+D7FF.
      {"\xF0\x9F\x98\x80", "\xEE\x80\x80", -1},
      {"\xF0\x9F\x98\x80", "\xEF\xBF\xBD", -1},
      {"\xF0\x9F\x98\x80", "\xED\x9F\xBF", 1},
      // Bytes that are not UTF-8 sort after every character, by byte value;
      // a cut sequence is such a byte.
      {"\xFF", "\xF4\x8F\xBF\xBF", 1},
      {"\x80", "\xFF", -1},
      {"a\xC3", "a\xC3\xA9", 1},
      {"x\xC3(", "x\xC3\xA9", 1},
      // Long shared beginnings, the difference on either side of a word.
      {"/var/tmp/listing/Old", "/var/tmp/listing/new", -1},
      {"/var/tmp/listing/\xF0\x9F\x98\x80x", "/var/tmp/listing/\xEE\x80\x80x", -1},
      {"/var/tmp/list\xC3", "/var/tmp/list\xC3\xA9", 1},
      {"same", "same", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sign(CompareNames(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(CompareNames(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
  }
  // A name is read no further than its end, whatever follows it in memory:
  // U+3042 before U+3042 and a stray continuation byte.
  const std::string buffer = "\xE3\x81\x82\xFF";
  EXPECT_LT(CompareNames(std::string_view(buffer).substr(0, 3), "\xE3\x81\x82\x80"), 0);
}

TEST(SortArray, SortsInPlaceAndYieldsOncePerMove) {
  struct Case {
    std::vector<std::string> input, expected;
    int yields;
  };
  const Case cases[] = {
      {{""}, {""}, 0},
      {{"", "a", "b"}, {"", "a", "b"}, 0},
      {{"", "b.txt", "B.txt", "a.txt"}, {"", "B.txt", "a.txt", "b.txt"}, 2},
      {{"C:\\data\\", "C:\\data\\ab", "C:\\data\\a\\x", "C:\\data\\a b", "C:\\data\\a"},
       {"C:\\data\\", "C:\\data\\a", "C:\\data\\a b", "C:\\data\\a\\x", "C:\\data\\ab"},
       -1},
      {{"b", "a", "b", "a"}, {"a", "a", "b", "b"}, -1},
  };
  for (const auto& c : cases) {
    auto items = c.input;
    int yields = 0;
    SortArray(items, [&] { ++yields; });
    EXPECT_EQ(items, c.expected);
    if (c.yields >= 0) {
      EXPECT_EQ(yields, c.yields);
    }
  }
}

TEST(SortArray, YieldThatSaysStopEndsTheSortWithAPermutation) {
  const std::vector<std::string> input{"", "f", "e", "d", "c", "b", "a"};
  auto full = input;
  int moves = 0;
  SortArray(full, [&] { ++moves; });
  for (int allowed : {1, moves - 1, moves + 5}) {
    auto items = input;
    int yields = 0;
    SortArray(items, [&] { return ++yields < allowed; });
    EXPECT_EQ(yields, std::min(allowed, moves)) << allowed;
    EXPECT_TRUE(std::is_permutation(items.begin(), items.end(), input.begin())) << allowed;
    EXPECT_EQ(items == full, allowed > moves) << allowed;
  }
}

}  // namespace
}  // namespace vexaro::engine

#include "engine/sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

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
      {"B.txt", "a.txt", -1},        // capitals before small letters
      {"9", "A", -1},                // digits before capitals
      {"C:\\data\\Sub", "C:\\data\\a", -1},
      {"C:\\data\\a b", "C:\\data\\a\\x", -1},  // blank before backslash
      {"C:\\data\\a\\x", "C:\\data\\ab", -1},   // backslash before small letters
      {"\xC3\xA9", "z", 1},                     // U+00E9 after ASCII
      {"\xE3\x81\x82", "\xC3\xA9", 1},          // U+3042 after U+00E9
      // U+1F600 (a surrogate pair, D83D DE00) before U+E000 and U+FFFD,
      // although its code point is larger.
      {"\xF0\x9F\x98\x80", "\xEE\x80\x80", -1},
      {"\xF0\x9F\x98\x80", "\xEF\xBF\xBD", -1},
      {"\xF0\x9F\x98\x80", "\xED\x9F\xBF", 1},  // but after U+D7FF
      {"a\xF0\x9F\x98\x80", "a\xEE\x80\x80", -1},
      // Invalid bytes: after every character, by byte value.
      {"\xFF", "\xF4\x8F\xBF\xBF", 1},
      {"\x80", "\xFF", -1},
      {"a\xC3", "a\xC3\xA9", 1},      // a cut sequence is a stray byte
      {"x\xC3(", "x\xC3\xA9", 1},     // stray C3 against U+00E9
      {"same", "same", 0},
      // Long shared beginnings, the difference on either side of a word.
      {"/var/tmp/listing/Old", "/var/tmp/listing/new", -1},
      {"/var/tmp/listing/\xF0\x9F\x98\x80x", "/var/tmp/listing/\xEE\x80\x80x", -1},
      {"/var/tmp/list\xC3", "/var/tmp/list\xC3\xA9", 1},
      {"0123456789abcdef0123456789abcdeF", "0123456789abcdef0123456789abcdef", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sign(CompareNames(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(CompareNames(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
  }
}

TEST(CompareNames, IsATotalOrderOnMixedNames) {
  // Transitivity over names that mix ASCII, both BMP ranges, supplementary
  // characters and stray bytes: sorting with it must agree with sorting by
  // explicit UTF-16 keys (stray bytes mapped after everything).
  const std::vector<std::string> pieces = {"a", "B", "\xC3\xA9", "\xEE\x80\x80", "\xF0\x9F\x98\x80",
                                           "\xFF", "\xC3", "\x80", "\\", " "};
  std::mt19937 rng(7);
  std::vector<std::string> names;
  for (int i = 0; i < 400; ++i) {
    std::string s;
    for (int k = rng() % 4; k >= 0; --k) s += pieces[rng() % pieces.size()];
    names.push_back(s);
  }
  auto sorted = names;
  std::sort(sorted.begin(), sorted.end(), [](const auto& x, const auto& y) { return CompareNames(x, y) < 0; });
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    for (std::size_t j = i; j < std::min(sorted.size(), i + 20); ++j) {
      EXPECT_LE(CompareNames(sorted[i - 1], sorted[j]), 0);
    }
  }
}

struct SortCase {
  std::vector<std::string> input;
  std::vector<std::string> expected;
  int yields;
};

TEST(SortArray, SortsInPlaceAndYieldsOncePerMove) {
  const SortCase cases[] = {
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

TEST(SortArray, LargeArrayMatchesReferenceOrder) {
  std::mt19937 rng(1);
  std::vector<std::string> items(5000);
  for (auto& s : items) s = std::to_string(rng() % 100000) + (rng() % 2 ? "\xE3\x81\x82" : "x");
  auto expected = items;
  std::sort(expected.begin(), expected.end(), [](const auto& x, const auto& y) { return CompareNames(x, y) < 0; });
  int yields = 0;
  SortArray(items, [&] { ++yields; });
  EXPECT_EQ(items, expected);
  EXPECT_GT(yields, 0);
}

TEST(SortArray, YieldThatSaysStopEndsTheSortWithAPermutation) {
  std::vector<std::string> input{"", "f", "e", "d", "c", "b", "a"};
  auto full = input;
  int moves = 0;
  SortArray(full, [&] { ++moves; });
  ASSERT_GT(moves, 3);
  for (int allowed : {1, 2, moves - 1, moves, moves + 5}) {
    auto items = input;
    int yields = 0;
    SortArray(items, [&] { return ++yields < allowed; });
    EXPECT_EQ(yields, std::min(allowed, moves)) << allowed;
    auto sorted = items;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"", "a", "b", "c", "d", "e", "f"})) << allowed;
    if (allowed > moves) {
      EXPECT_EQ(items, full);
    } else if (allowed < moves) {
      EXPECT_NE(items, full);
    }
  }
}

}  // namespace
}  // namespace vexaro::engine

#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace vexaro::platform::utf8 {
namespace {

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
    const Scalar s = Decode(c.bytes, 0);
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
  EXPECT_EQ(Decode(text, 1).value, U'\u20AC');
  EXPECT_EQ(Decode(text, 4).value, U'\U0001F600');
  EXPECT_FALSE(Decode(text, 2).valid);  // inside a sequence
}

// Append writes what Decode reads back, at each length's edges; a surrogate
// gets the three-byte form Decode marks.
TEST(Append, RoundTripsThroughDecode) {
  const char32_t codes[] = {0, 0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xD800, 0xDFFF, 0xE000, 0xFFFF, 0x10000, 0x10FFFF};
  for (char32_t code : codes) {
    std::string bytes;
    Append(bytes, code);
    const Scalar s = Decode(bytes, 0);
    EXPECT_EQ(s.value, code) << std::hex << static_cast<unsigned>(code);
    EXPECT_EQ(s.length, bytes.size()) << std::hex << static_cast<unsigned>(code);
    EXPECT_EQ(s.valid, code < 0xD800 || code > 0xDFFF) << std::hex << static_cast<unsigned>(code);
  }
}

}  // namespace
}  // namespace vexaro::platform::utf8

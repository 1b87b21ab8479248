#include "platform/win32/convert_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "platform/utf8.h"

namespace vexaro::platform::win32 {
namespace {

// Names reach the listing through these two: nothing may be lost or turned into another name.
// Each broken sequence is one U+FFFD (which bytes make one: the decoder's own test, portable_test.cpp).
TEST(Conversion, OddInputBothWays) {
  const wchar_t hi = 0xD83D, lo = 0xDE00;
  // What, UTF-8, UTF-16, and whether Narrow(utf16) gives the UTF-8 back.
  const std::tuple<const char*, std::string, std::wstring, bool> cases[] = {
      {"Japanese", "\xE6\x97\xA5\xE6\x9C\xAC", L"\u65E5\u672C", true},
      {"emoji, a surrogate pair", "\xF0\x9F\x98\x80", std::wstring{hi, lo}, true},
      {"lone high surrogate", "\xED\xA0\xBDz", std::wstring{hi, L'z'}, true},
      {"lone low surrogate at the end", "a\xED\xB8\x80", std::wstring{L'a', lo}, true},
      {"pair in the wrong order", "\xED\xB8\x80\xED\xA0\xBD", std::wstring{lo, hi}, true},
      {"embedded nul", std::string("a\0b", 3), std::wstring(L"a\0b", 3), true},
      {"stray continuation byte", "a\x80z", L"a\uFFFDz", false},
      {"cut before the end", "x\xE6\x97", L"x\uFFFD", false},
      {"four bytes broken by a new lead", "\xF0\x9F\xC3\xA9", L"\uFFFD\u00E9", false},
  };
  for (const auto& [what, utf8, utf16, roundTrip] : cases) {
    EXPECT_EQ(Widen(utf8), utf16) << what;
    if (roundTrip) {
      EXPECT_EQ(Narrow(utf16), utf8) << what;
    }
  }
}

// Every scalar value, its UTF-16 form written out here.
TEST(Conversion, EveryScalarValueRoundTrips) {
  std::string utf8;
  std::wstring utf16;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    utf8::Append(utf8, c);
    if (c < 0x10000) {
      utf16 += static_cast<wchar_t>(c);
    } else {
      utf16 += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      utf16 += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  const std::wstring widened = Widen(utf8);
  // Whole texts of a million units: only where they first differ is shown.
  EXPECT_TRUE(widened == utf16) << "at unit " << std::ranges::mismatch(widened, utf16).in1 - widened.begin();
  EXPECT_TRUE(Narrow(utf16) == utf8);
}

// Any UTF-16, lone surrogates too, comes back: a name read is found again by its UTF-8 form.
TEST(Conversion, EveryUtf16StringRoundTrips) {
  for (wchar_t s = 0xD800; s <= 0xDFFF; ++s) {
    for (const std::wstring& w : {std::wstring{s}, std::wstring{L'a', s, L'b'}, std::wstring{s, s}}) {
      ASSERT_EQ(Widen(Narrow(w)), w) << std::hex << static_cast<unsigned>(s);
    }
  }
  std::mt19937 random(13);
  for (int n = 0; n < 20000; ++n) {
    std::wstring w(random() % 8, L'\0');
    for (wchar_t& u : w) {
      const unsigned kind = random() % 3;
      u = static_cast<wchar_t>(kind == 0   ? random() % 0x80
                               : kind == 1 ? 0xD800 + random() % 0x800
                                           : random() % 0x10000);
    }
    ASSERT_EQ(Widen(Narrow(w)), w) << n;
  }
}

}  // namespace
}  // namespace vexaro::platform::win32

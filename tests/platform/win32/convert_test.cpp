#include "platform/win32/convert_win32.h"

#include <gtest/gtest.h>

namespace vexaro::platform::win32 {
namespace {

// Names reach the listing through these two: nothing may be lost or turned
// into another name.
TEST(Conversion, OddInputBothWays) {
  const wchar_t hi = 0xD83D, lo = 0xDE00;
  struct Case {
    const char* what;
    std::string utf8;
    std::wstring utf16;
    bool roundTrip;  // Narrow(utf16) gives utf8 back
  };
  const Case cases[] = {
      {"Japanese", "\xE6\x97\xA5\xE6\x9C\xAC", L"\u65E5\u672C", true},
      {"emoji, a surrogate pair", "\xF0\x9F\x98\x80", std::wstring{hi, lo}, true},
      {"lone high surrogate",
       "\xED\xA0\xBD"
       "a",
       std::wstring{hi, L'a'}, true},
      {"lone low surrogate at the end", "a\xED\xB8\x80", std::wstring{L'a', lo}, true},
      {"pair in the wrong order", "\xED\xB8\x80\xED\xA0\xBD", std::wstring{lo, hi}, true},
      {"embedded nul", std::string("a\0b", 3), std::wstring(L"a\0b", 3), true},
      {"stray continuation byte",
       "a\x80"
       "b",
       L"a\uFFFD"
       L"b",
       false},
      {"invalid lead byte", "\xFF", L"\uFFFD", false},
      {"overlong slash", "\xC0\xAF", L"\uFFFD\uFFFD", false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD", false},
      {"cut before the end", "x\xE6\x97", L"x\uFFFD", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Widen(c.utf8), c.utf16) << c.what;
    if (c.roundTrip) {
      EXPECT_EQ(Narrow(c.utf16), c.utf8) << c.what;
    }
  }
}

}  // namespace
}  // namespace vexaro::platform::win32

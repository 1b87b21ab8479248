// The two conversions over their whole domains: every scalar value, every
// UTF-16 string, and random bytes against a reference decoder written as a
// state machine (the way web browsers decode), which replaces each broken
// sequence, the longest beginning that could still have become valid, by
// one U+FFFD.

#include <gtest/gtest.h>

#include <random>

#include "platform/win32/convert_win32.h"

namespace vexaro::platform::win32 {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

void Encode(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void Units(std::wstring& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<wchar_t>(c);
  } else {
    out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

struct Reference {
  std::wstring utf16;
  bool clean = true;         // no broken sequence
  bool pairedForms = false;  // a high surrogate's form right before a low one's
};

// The surrogates' three-byte forms (ED A0..BF xx) are let through as the
// units they stand for, which is how Narrow writes a lone surrogate.
Reference Decode(std::string_view bytes) {
  Reference r;
  int needed = 0, seen = 0;
  char32_t code = 0;
  unsigned lower = 0x80, upper = 0xBF;
  bool lastWasHighForm = false;
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned b = static_cast<unsigned char>(bytes[i]);
    if (needed == 0) {
      ++i;
      if (b < 0x80) {
        r.utf16 += static_cast<wchar_t>(b);
        lastWasHighForm = false;
      } else if (b >= 0xC2 && b <= 0xDF) {
        needed = 1, code = b & 0x1F;
      } else if (b >= 0xE0 && b <= 0xEF) {
        needed = 2, code = b & 0x0F, lower = b == 0xE0 ? 0xA0 : 0x80;
      } else if (b >= 0xF0 && b <= 0xF4) {
        needed = 3, code = b & 0x07, lower = b == 0xF0 ? 0x90 : 0x80, upper = b == 0xF4 ? 0x8F : 0xBF;
      } else {
        r.utf16 += kReplacement, r.clean = false, lastWasHighForm = false;
      }
      continue;
    }
    if (b < lower || b > upper) {  // broken: one replacement, and this byte starts afresh
      needed = seen = 0, lower = 0x80, upper = 0xBF;
      r.utf16 += kReplacement, r.clean = false, lastWasHighForm = false;
      continue;
    }
    ++i;
    lower = 0x80, upper = 0xBF;
    code = (code << 6) | (b & 0x3F);
    if (++seen < needed) continue;
    needed = seen = 0;
    if (code >= 0xDC00 && code <= 0xDFFF && lastWasHighForm) r.pairedForms = true;
    lastWasHighForm = code >= 0xD800 && code <= 0xDBFF;
    Units(r.utf16, code);
  }
  if (needed != 0) r.utf16 += kReplacement, r.clean = false;
  return r;
}

TEST(ConversionProperty, EveryScalarValueRoundTrips) {
  std::string utf8;
  std::wstring utf16;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    Encode(utf8, c);
    Units(utf16, c);
  }
  const std::wstring widened = Widen(utf8);
  ASSERT_EQ(widened.size(), utf16.size());
  const auto at = std::mismatch(widened.begin(), widened.end(), utf16.begin()).first - widened.begin();
  ASSERT_EQ(widened, utf16) << "first difference at unit " << at;
  EXPECT_EQ(Narrow(utf16), utf8);
}

// Every string of UTF-16 units, lone surrogates among them, comes back:
// a name read from the system is found again by its UTF-8 form.
TEST(ConversionProperty, EveryUtf16StringRoundTrips) {
  for (wchar_t s = 0xD800; s <= 0xDFFF; ++s) {
    for (const std::wstring& w : {std::wstring{s}, std::wstring{L'a', s, L'b'}, std::wstring{s, s}}) {
      ASSERT_EQ(Widen(Narrow(w)), w) << std::hex << static_cast<unsigned>(s);
    }
  }
  std::mt19937 random(13);
  for (int n = 0; n < 20000; ++n) {
    std::wstring w(random() % 8, L'\0');
    for (wchar_t& u : w) {
      const unsigned kind = random() % 4;
      u = static_cast<wchar_t>(kind == 0   ? random() % 0x80
                               : kind == 1 ? 0xD800 + random() % 0x800
                                           : random() % 0x10000);
    }
    ASSERT_EQ(Widen(Narrow(w)), w) << n;
  }
}

// Random bytes, mostly above 0x7F: each broken sequence becomes exactly one
// U+FFFD and nothing else changes; clean input goes back to its bytes.
TEST(ConversionProperty, InvalidInputMapsOneWay) {
  static constexpr unsigned char kLeads[] = {0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE6, 0xED, 0xEF, 0xF0, 0xF4,
                                             0xF5, 0xF8, 0xFF, 0x80, 0xBF, 0x9F, 0xA0, 0x8F, 0x90};
  std::mt19937 random(31);
  int broken = 0, clean = 0;
  for (int n = 0; n < 100000; ++n) {
    std::string bytes(random() % 7, '\0');
    for (char& b : bytes) {
      const unsigned kind = random() % 3;
      b = static_cast<char>(kind == 0   ? kLeads[random() % std::size(kLeads)]
                            : kind == 1 ? 0x80 + random() % 0x40
                                        : random() % 256);
    }
    const Reference expected = Decode(bytes);
    const std::wstring widened = Widen(bytes);
    ASSERT_EQ(widened, expected.utf16) << n;
    if (expected.clean && !expected.pairedForms) {
      ASSERT_EQ(Narrow(widened), bytes) << n;
      ++clean;
    }
    broken += !expected.clean;
  }
  EXPECT_GT(broken, 10000);
  EXPECT_GT(clean, 10000);
}

}  // namespace
}  // namespace vexaro::platform::win32

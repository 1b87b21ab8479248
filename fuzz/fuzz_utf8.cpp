// The UTF-8 module and its readers on arbitrary bytes: Decode reads every
// valid scalar back to its one shortest form, marks the surrogates' forms,
// and otherwise takes exactly the longest beginning that could still have
// become valid; the name order agrees with UTF-16 code-unit order (stray
// bytes after every character) and is a strict order; the terminal text
// keeps no control character and no stray byte.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/column_width.h"
#include "engine/sort.h"
#include "platform/utf8.h"
#include "tests/support/listing_checks.h"

namespace {

namespace utf8 = vexaro::platform::utf8;

void Check(bool ok, const char* what, std::size_t at) {
  if (!ok) {
    std::fprintf(stderr, "property broken at byte %zu: %s\n", at, what);
    std::abort();
  }
}

// Table 3-7 of the Unicode standard, with ED taking A0..BF too (the
// surrogates' forms): the range of each byte after a given lead.
bool InRange(unsigned char lead, std::size_t index, unsigned char byte) {
  if (index == 0) return true;
  unsigned char low = 0x80, high = 0xBF;
  if (index == 1) {
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  return byte >= low && byte <= high;
}

std::size_t LengthOf(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Whether `bytes` begins some encoded scalar or surrogate (or is one).
bool BeginsEncoding(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  const std::size_t length = LengthOf(lead);
  if (length == 0 || bytes.size() > length) return false;
  for (std::size_t i = 1; i < bytes.size(); ++i) {
    if (!InRange(lead, i, static_cast<unsigned char>(bytes[i]))) return false;
  }
  return true;
}

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // Decode at every offset, not only at the scalar boundaries.
  for (std::size_t at = 0; at < text.size(); ++at) {
    const utf8::Scalar s = utf8::Decode(text, at);
    Check(s.length >= 1 && s.length <= 4 && at + s.length <= text.size(), "length within the text", at);
    const std::string_view taken = text.substr(at, s.length);
    if (s.valid || s.surrogate) {
      Check(s.valid != s.surrogate, "valid or a surrogate's form, not both", at);
      Check(s.surrogate == (s.value >= 0xD800 && s.value <= 0xDFFF), "surrogates only by their value", at);
      Check(s.value <= 0x10FFFF, "no value above U+10FFFF", at);
      std::string again;
      utf8::Append(again, s.value);
      Check(again == taken, "the bytes read are the value's one shortest form", at);
      Check(s.Utf16Units() == (s.value >= 0x10000 ? 2 : 1), "UTF-16 units", at);
    } else {
      Check(s.length == 1 || BeginsEncoding(taken), "an invalid read takes a possible beginning", at);
      const bool cutAtEnd = at + s.length == text.size() && BeginsEncoding(taken);
      Check(cutAtEnd || !BeginsEncoding(text.substr(at, s.length + 1)), "and the longest one", at);
      Check(!BeginsEncoding(taken) || taken.size() < LengthOf(static_cast<unsigned char>(taken[0])),
            "a complete form is never invalid", at);
    }
  }

  // The name order: two names cut from the input.
  const std::size_t half = size == 0 ? 0 : data[0] % (size + 1);
  const std::string_view a = text.substr(0, half), b = text.substr(half);
  const int ab = Sign(vexaro::engine::CompareNames(a, b));
  Check(ab == -Sign(vexaro::engine::CompareNames(b, a)), "the order is antisymmetric", half);
  Check((ab == 0) == (a == b), "only equal names compare equal", half);
  const auto ua = vexaro::testing::OrderUnits(a), ub = vexaro::testing::OrderUnits(b);
  Check(ab == (ua < ub ? -1 : (ub < ua ? 1 : 0)), "UTF-16 code-unit order, stray bytes last", half);

  // What a terminal is given.
  const std::string shown = vexaro::cli::ForDisplay(text);
  for (std::size_t at = 0; at < shown.size();) {
    const utf8::Scalar s = utf8::Decode(shown, at);
    Check(s.valid && s.value >= 0x20 && !(s.value >= 0x7F && s.value <= 0x9F), "terminal text is clean", at);
    at += s.length;
  }
  Check(vexaro::cli::TextColumns(shown) == vexaro::cli::TextColumns(text), "masking keeps the width", 0);
  return 0;
}

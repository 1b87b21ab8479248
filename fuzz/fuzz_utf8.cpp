// UTF-8 decoding at every offset (shortest forms, surrogates, whole forms, broken pieces), the name
// order as UTF-16 code units with stray bytes last, and clean terminal text, on arbitrary bytes.

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
  if (ok) return;
  std::fprintf(stderr, "property broken at byte %zu: %s\n", at, what);
  std::abort();
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
      Check(s.length < 4, "a broken piece is shorter than a whole form", at);
      for (std::size_t k = 1; k < s.length; ++k) Check(utf8::IsContinuation(taken[k]), "only its lead starts", at);
    }
  }
  // Every value's own form, written here from three of the bytes, reads back whole.
  if (size >= 3) {
    const char32_t code = ((char32_t{data[0]} << 16) | (char32_t{data[1]} << 8) | data[2]) % 0x110000;
    std::string form;
    utf8::Append(form, code);
    const std::size_t length = form.size();
    const utf8::Scalar s = utf8::Decode(form.append(text.substr(3)), 0);
    Check((s.valid || s.surrogate) && s.value == code && s.length == length, "a whole form is read whole", 0);
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

#pragma once
// UTF-8 read one scalar at a time, with one rule for every reader: overlong
// forms, code points above U+10FFFF, encoded surrogates and cut sequences are
// invalid. Inline, because name comparison in the sort calls it per byte.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexaro::platform::utf8 {

constexpr bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }
constexpr bool IsContinuation(char byte) { return IsContinuation(static_cast<unsigned char>(byte)); }

// Bytes of the sequence a lead byte starts: 1 to 4, or 0 for a byte that
// starts none (continuation bytes, C0, C1, F5..FF).
constexpr std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

struct Scalar {
  char32_t value = 0;  // the code point when valid; the surrogate when `surrogate`
  // Bytes read. Invalid input: the longest beginning of a sequence that could
  // still have become valid, at least 1, the part one U+FFFD replaces.
  std::size_t length = 1;
  bool valid = false;
  // The three-byte form of U+D800..U+DFFF: invalid UTF-8, but what a Windows
  // name with a lone surrogate becomes, so the Win32 side reads it back.
  bool surrogate = false;

  // UTF-16 code units the scalar (or the surrogate) takes.
  constexpr int Utf16Units() const { return value >= 0x10000 ? 2 : 1; }
};

// The scalar that starts at `at` (< text.size()).
constexpr Scalar Decode(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true, false};
  const std::size_t length = SequenceLength(lead);
  if (length == 0) return {};
  // The second byte's range rules out overlong forms and values above
  // U+10FFFF; surrogates (ED A0..BF) pass here and are marked below.
  unsigned char low = 0x80, high = 0xBF;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  char32_t value = lead & (0xFF >> (length + 1));
  std::size_t taken = 1;
  for (; taken < length && at + taken < text.size(); ++taken) {
    const auto byte = static_cast<unsigned char>(text[at + taken]);
    const bool fits = taken == 1 ? (byte >= low && byte <= high) : IsContinuation(byte);
    if (!fits) break;
    value = (value << 6) | (byte & 0x3F);
  }
  if (taken < length) return {0, taken, false, false};
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  return {value, length, !surrogate, surrogate};
}

// Appends the UTF-8 form of `code`; a surrogate gets its three-byte form.
void Append(std::string& out, char32_t code);

}  // namespace vexaro::platform::utf8

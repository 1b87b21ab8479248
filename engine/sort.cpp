#include "engine/sort.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/utf8.h"

namespace vexaro::engine {
namespace {

using platform::utf8::IsContinuation;

// One unit of a name: a valid UTF-8 sequence or a single stray byte.
struct Unit {
  std::uint32_t key;  // order of the unit among all units
  std::size_t length;
};

// Keys: characters below U+E000 and above U+FFFF keep their code point (a
// surrogate pair's first unit lies between the two ranges); U+E000..U+FFFF
// move above U+10FFFF; stray bytes come after everything.
constexpr std::uint32_t kBmpHighShift = 0x110000 - 0xE000;
constexpr std::uint32_t kStrayByteBase = 0x120000;

Unit ReadUnit(std::string_view s, std::size_t at) {
  const platform::utf8::Scalar scalar = platform::utf8::Decode(s, at);
  if (!scalar.valid) return {kStrayByteBase + static_cast<unsigned char>(s[at]), 1};
  const char32_t cp = scalar.value;
  const std::uint32_t key = (cp >= 0xE000 && cp <= 0xFFFF) ? cp + kBmpHighShift : cp;
  return {key, scalar.length};
}

// Where two byte strings of at least `count` bytes first differ, or `count`:
// eight bytes at a time, since sorted paths share long beginnings.
std::size_t Mismatch(const char* a, const char* b, std::size_t count) {
  std::size_t at = 0;
  for (; at + 8 <= count; at += 8) {
    std::uint64_t wa, wb;
    std::memcpy(&wa, a + at, 8);
    std::memcpy(&wb, b + at, 8);
    if (wa != wb) {
      if constexpr (std::endian::native == std::endian::little) {
        return at + static_cast<std::size_t>(std::countr_zero(wa ^ wb)) / 8;
      }
      break;
    }
  }
  while (at < count && a[at] == b[at]) ++at;
  return at;
}

}  // namespace

int CompareNames(std::string_view a, std::string_view b) noexcept {
  const std::size_t common = std::min(a.size(), b.size());
  const std::size_t at = Mismatch(a.data(), b.data(), common);
  if (at == common) {
    if (a.size() == b.size()) return 0;
    // One is a byte prefix of the other. It sorts first unless the longer one
    // goes on with a continuation byte that completes a character which, in
    // the shorter one, is a cut sequence.
    const std::string_view longer = a.size() > b.size() ? a : b;
    if (!IsContinuation(static_cast<unsigned char>(longer[at]))) return a.size() < b.size() ? -1 : 1;
  } else {
    const auto ca = static_cast<unsigned char>(a[at]);
    const auto cb = static_cast<unsigned char>(b[at]);
    // Plain ASCII on both sides at the start of a character: the common case.
    if (ca < 0x80 && cb < 0x80) return ca < cb ? -1 : 1;
  }

  // Start at a unit boundary at or before the difference: a byte that is no
  // continuation byte always starts a unit, and a lead byte takes at most
  // three continuation bytes after it.
  std::size_t start = at;
  for (std::size_t back = 1; back <= 3 && back <= at; ++back) {
    if (!IsContinuation(static_cast<unsigned char>(a[at - back]))) {
      start = at - back;
      break;
    }
  }

  // The names agree before `at`, so their units agree until one covers it.
  for (std::size_t pos = start;;) {
    if (pos >= a.size() || pos >= b.size()) return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
    const Unit ua = ReadUnit(a, pos);
    const Unit ub = ReadUnit(b, pos);
    if (ua.key != ub.key) return ua.key < ub.key ? -1 : 1;
    pos += ua.length;
  }
}

}  // namespace vexaro::engine

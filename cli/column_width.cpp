#include "cli/column_width.h"

#include <algorithm>
#include <cstddef>

namespace vexaro::cli {
namespace {

struct CodeRange {
  char32_t first;
  char32_t last;
};

#include "cli/column_width_table.inc"

template <std::size_t N>
bool InTable(const CodeRange (&table)[N], char32_t c) {
  const auto it = std::upper_bound(std::begin(table), std::end(table), c,
                                   [](char32_t value, const CodeRange& range) { return value < range.first; });
  return it != std::begin(table) && c <= std::prev(it)->last;
}

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes the code point at `at` and moves past it; a byte that starts no
// valid sequence (stray continuation, overlong form, surrogate, beyond
// U+10FFFF, cut short) gives kInvalid and is passed over alone.
char32_t Next(std::string_view s, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  std::size_t length;
  char32_t c;
  char32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    ++at;
    return kInvalid;
  }
  if (s.size() - at < length) {
    ++at;
    return kInvalid;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) {
      ++at;
      return kInvalid;
    }
    c = (c << 6) | (byte(at + i) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++at;
    return kInvalid;
  }
  at += length;
  return c;
}

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

int CodePointColumns(char32_t c) {
  if (c < 0x7F) return 1;  // ASCII, the common case, controls included
  if (InTable(kZeroWidth, c)) return 0;
  if (InTable(kDoubleWidth, c)) return 2;
  return 1;
}

int TextColumns(std::string_view utf8) {
  int columns = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    const char32_t c = Next(utf8, at);
    columns += c == kInvalid ? 1 : CodePointColumns(c);
  }
  return columns;
}

std::string ForDisplay(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const std::size_t start = at;
    const char32_t c = Next(utf8, at);
    if (c == kInvalid || IsControl(c)) {
      out.push_back('?');
    } else {
      out.append(utf8.substr(start, at - start));
    }
  }
  return out;
}

std::string_view FitColumns(std::string_view utf8, int columns) {
  int used = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    const std::size_t start = at;
    const char32_t c = Next(utf8, at);
    used += c == kInvalid ? 1 : CodePointColumns(c);
    if (used > columns) return utf8.substr(0, start);
  }
  return utf8;
}

}  // namespace vexaro::cli

#include "cli/column_width.h"

#include <algorithm>
#include <cstddef>

#include "platform/utf8.h"

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
// valid sequence gives kInvalid and is passed over alone.
char32_t Next(std::string_view s, std::size_t& at) {
  const platform::utf8::Scalar scalar = platform::utf8::Decode(s, at);
  if (!scalar.valid) {
    ++at;
    return kInvalid;
  }
  at += scalar.length;
  return scalar.value;
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

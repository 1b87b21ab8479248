#pragma once
// Name order and the in-place Shell sort used for folder and file arrays.

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace vexaro::engine {

// Three-way comparison of two UTF-8 names in the order of their UTF-16 code
// units, so that every platform lists in the same order as Windows: by
// character code, case-sensitive, a prefix first, and a character above
// U+FFFF (a surrogate pair) before one in U+E000..U+FFFF. Bytes that are not
// valid UTF-8 sort after every character, by byte value among themselves.
// Returns <0, 0 or >0; 0 only for identical byte strings.
int CompareNames(std::string_view a, std::string_view b) noexcept;

inline std::string_view SortKey(const std::string& s) noexcept { return s; }

// Shell sort with the gaps 1, 4, 13, 40, ..., in place with one held element.
// Calls `yield()` once after every element it moves and at no other time, so
// that an array already in order is sorted without a single yield. The array
// has lower bound 0; an array of one element is left alone. Elements are
// compared by SortKey(element), found by argument-dependent lookup.
// A `yield` that returns bool ends the sort when it returns false, the array
// then a permutation of its input, partly sorted: for a sort whose result is
// of no use once the run has been stopped.
template <class T, class Yield>
void SortArray(std::vector<T>& items, Yield&& yield) {
  if (items.empty()) return;
  const auto upper = static_cast<std::ptrdiff_t>(items.size()) - 1;
  std::ptrdiff_t h = 0;
  do {
    h = 3 * h + 1;
  } while (h <= upper);
  for (h /= 3; h > 0; h /= 3) {
    for (std::ptrdiff_t i = h; i <= upper; ++i) {
      if (CompareNames(SortKey(items[i - h]), SortKey(items[i])) <= 0) continue;
      T held = std::move(items[i]);
      std::ptrdiff_t j = i;
      do {
        items[j] = std::move(items[j - h]);
        j -= h;
        if constexpr (std::is_same_v<std::invoke_result_t<Yield&>, bool>) {
          if (!yield()) {
            items[j] = std::move(held);
            return;
          }
        } else {
          yield();
        }
      } while (j >= h && CompareNames(SortKey(items[j - h]), SortKey(held)) > 0);
      items[j] = std::move(held);
    }
  }
}

}  // namespace vexaro::engine

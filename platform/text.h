#pragma once
// Small text helpers shared by every layer.

#include <string_view>

namespace vexaro::platform {

// The part of `text` before the first `ch`, or all of it when `ch` does not
// occur. Turns a NUL-terminated buffer into its text.
template <class Char>
constexpr std::basic_string_view<Char> CutAtChar(std::basic_string_view<Char> text, Char ch) {
  const auto at = text.find(ch);
  return at == std::basic_string_view<Char>::npos ? text : text.substr(0, at);
}

}  // namespace vexaro::platform

#pragma once
// Shortening the path shown on the progress line so that it fits the label.

#include <string>
#include <string_view>

#include "platform/text_fit.h"

namespace vexaro::ui {

// The width a path may take on a label `labelWidth` pixels wide: 90% of it,
// rounded to nearest with halves to the even neighbour (7020 twips at 15
// twips per pixel: 468 pixels, limit 421). The margin keeps the text clear of
// the label's edges.
constexpr int WidthLimit(int labelWidth) {
  if (labelWidth <= 0) return 0;
  const long long tenths = static_cast<long long>(labelWidth) * 9;
  long long whole = tenths / 10;
  const long long rest = tenths % 10;
  if (rest > 5 || (rest == 5 && whole % 2 != 0)) ++whole;
  return static_cast<int>(whole);
}

// `strTempText` fitted into `width` pixels by the path-ellipsis rule of the
// fitter, which measures in the progress line's font.
std::string GetFitPath(std::string_view strTempText, int width, platform::PathFitter& fitter);

}  // namespace vexaro::ui

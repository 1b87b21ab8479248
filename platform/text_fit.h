#pragma once
// Fitting a path into a width by replacing characters in its middle with an
// ellipsis, keeping the start and as much as possible of the last component.

#include <string>
#include <string_view>

namespace vexaro::platform {

// Measures text in some unit (pixels in a font, terminal columns).
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual int Width(std::string_view utf8) const = 0;
};

// Fits a single line of text into `maxWidth`.
class PathFitter {
 public:
  virtual ~PathFitter() = default;
  virtual std::string FitPath(std::string_view utf8, int maxWidth) = 0;
};

// The path-ellipsis rule in portable code: a text that fits is returned
// unchanged; otherwise characters in its middle give way to "..." so that the
// result fits, keeping the beginning and as much as possible of the part
// after the last `separator`. Never splits a UTF-8 sequence. When not even
// the ellipsis fits, the result may be wider than `maxWidth`.
std::string FitPathEllipsis(std::string_view utf8, int maxWidth, const TextMeasure& measure, char separator);

}  // namespace vexaro::platform

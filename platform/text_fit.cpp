#include "platform/text_fit.h"

#include <vector>

#include "platform/utf8.h"

namespace vexaro::platform {
namespace {

constexpr std::string_view kEllipsis = "...";

// Offsets at which a UTF-8 character starts, and the end.
std::vector<std::size_t> Boundaries(std::string_view text) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!utf8::IsContinuation(text[i])) at.push_back(i);
  }
  at.push_back(text.size());
  return at;
}

// The largest n in [0, count] for which fits(n) holds, fits being monotonic
// (true up to some n); -1 when not even fits(0) holds.
template <class Fits>
long Largest(std::size_t count, Fits fits) {
  if (!fits(0)) return -1;
  std::size_t low = 0, high = count;
  while (low < high) {
    const std::size_t mid = low + (high - low + 1) / 2;
    if (fits(mid)) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return static_cast<long>(low);
}

}  // namespace

std::string FitPathEllipsis(std::string_view text, int maxWidth, const TextMeasure& measure, char separator) {
  if (measure.Width(text) <= maxWidth) return std::string(text);

  // The last component starts at the last separator; a folder path's own
  // trailing separator does not count, so that C:\a\b\ keeps \b\.
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == separator) --end;
  const std::size_t lastSep = end == 0 ? std::string_view::npos : text.rfind(separator, end - 1);

  auto joined = [](std::string_view head, std::string_view tail) {
    std::string s;
    s.reserve(head.size() + kEllipsis.size() + tail.size());
    s.append(head).append(kEllipsis).append(tail);
    return s;
  };

  if (lastSep == std::string_view::npos) {
    // No folder part: keep both ends, the same number of characters of each.
    const auto at = Boundaries(text);
    const std::size_t chars = at.size() - 1;
    const long keep = Largest(chars / 2, [&](std::size_t n) {
      return measure.Width(joined(text.substr(0, at[n]), text.substr(at[chars - n]))) <= maxWidth;
    });
    if (keep < 0) return std::string(kEllipsis);
    const auto n = static_cast<std::size_t>(keep);
    return joined(text.substr(0, at[n]), text.substr(at[chars - n]));
  }

  const std::string_view head = text.substr(0, lastSep);
  const std::string_view tail = text.substr(lastSep);
  const auto headAt = Boundaries(head);
  const long keepHead = Largest(headAt.size() - 1, [&](std::size_t n) {
    return measure.Width(joined(head.substr(0, headAt[n]), tail)) <= maxWidth;
  });
  if (keepHead >= 0) return joined(head.substr(0, headAt[static_cast<std::size_t>(keepHead)]), tail);

  // Not even the last component fits behind the ellipsis: keep its beginning.
  const auto tailAt = Boundaries(tail);
  const long keepTail = Largest(tailAt.size() - 1, [&](std::size_t n) {
    return measure.Width(joined({}, tail.substr(0, tailAt[n]))) <= maxWidth;
  });
  if (keepTail < 0) return std::string(kEllipsis);
  return joined({}, tail.substr(0, tailAt[static_cast<std::size_t>(keepTail)]));
}

}  // namespace vexaro::platform

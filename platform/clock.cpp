#include "platform/clock.h"

#include <cstdio>

namespace vexaro::platform {

std::string FixedDateTimeText(const LocalDateTime& when) {
  // The year by hand: not every C library's printf knows a 64-bit length
  // modifier. The sign stays in front of the padded digits.
  const std::uint64_t magnitude =
      when.year < 0 ? 0 - static_cast<std::uint64_t>(when.year) : static_cast<std::uint64_t>(when.year);
  std::string year = std::to_string(magnitude);
  if (year.size() < 4) year.insert(0, 4 - year.size(), '0');
  if (when.year < 0) year.insert(0, 1, '-');
  char rest[48];
  std::snprintf(rest, sizeof rest, "/%02d/%02d %d:%02d:%02d", when.month, when.day, when.hour, when.minute,
                when.second);
  return year + rest;
}

}  // namespace vexaro::platform

#pragma once
// The clock, the local time zone and the regional formats on Linux, for the
// POSIX implementation files and their tests.

#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace vexaro::platform::posix {

// The time zone (TZ, else /etc/localtime) is read when the clock is made and
// again at each Now(), never per offset asked.
class PosixClock final : public Clock {
 public:
  PosixClock();
  UtcTime Now() override;
  std::int32_t UtcOffsetAt(std::int64_t utcSeconds) override;
};

// Linux has no short-date setting of its own: the date and time are written
// as 2026/12/06 9:05:00. The decimal separator is the one of the user's
// locale (LC_ALL, LC_NUMERIC, LANG).
class PosixRegional final : public Regional {
 public:
  std::string DateTimeText(const LocalDateTime& when) override;
  std::string DateSeparator() override;
  std::string TimeSeparator() override;
  std::string DecimalSeparator() override;
};

}  // namespace vexaro::platform::posix

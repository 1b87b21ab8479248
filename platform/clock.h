#pragma once
// The clock, the local time zone and the regional formats.

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace vexaro::platform {

// A local calendar date and time of day.
struct LocalDateTime {
  std::int64_t year = 1970;  // wide: file times may lie billions of years away
  int month = 1;             // 1..12
  int day = 1;               // 1..31
  int hour = 0;              // 0..23
  int minute = 0;
  int second = 0;
  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual UtcTime Now() = 0;
  // Offset of local time from UTC, in seconds east of Greenwich, under the
  // time-zone rules in force at the UTC moment `utcSeconds` (daylight
  // saving included). Must not make a system call per call where it can
  // be avoided: it is asked once per listed file.
  virtual std::int32_t UtcOffsetAt(std::int64_t utcSeconds) = 0;
};

// yyyy/mm/dd h:mm:ss, the year of at least four digits: Japanese settings'
// form, for when the system's own cannot be had or cannot hold the year.
std::string FixedDateTimeText(const LocalDateTime& when);

// The user's regional settings.
class Regional {
 public:
  virtual ~Regional() = default;
  // Short date, one blank, time with seconds (2026/12/06 9:05:00 under
  // Japanese settings).
  virtual std::string DateTimeText(const LocalDateTime& when) = 0;
  // Separators for the fixed yyyy/mm/dd hh:mm:ss form of the date column.
  virtual std::string DateSeparator() = 0;
  virtual std::string TimeSeparator() = 0;
  virtual std::string DecimalSeparator() = 0;
};

}  // namespace vexaro::platform

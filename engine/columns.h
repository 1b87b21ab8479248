#pragma once
// Column values of a file line: size with unit or exact byte count, the
// creation time in local time, and the drive-space texts of the header.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace vexaro::engine {

// A size as a whole number of the largest fitting unit (fraction dropped),
// right-aligned in 4 characters; `sTani` gets "GB", "MB", "KB" or " B". A
// number of more than 4 digits keeps every digit: the field widens.
std::string BMBGB(std::uint64_t cFileSize, std::string& sTani);

// The exact byte count right-aligned in 12 characters, widening for more
// digits; `sTani` is emptied.
std::string B(std::uint64_t cFileSize, std::string& sTani);

// Width of the size column (number and unit) when the size cannot be read.
inline constexpr std::size_t kBMBGBWidth = 6;
inline constexpr std::size_t kBWidth = 12;

// A local time: the day counted from 1970-01-01 on the local calendar and
// the time into that day. Split so that every UTC moment a file system can
// report (any 64-bit count of seconds) has its local time, an offset added
// at either end of the range included.
struct LocalTime {
  std::int64_t days = 0;
  std::int32_t secondOfDay = 0;   // 0..86399
  std::uint32_t nanoseconds = 0;  // 0..999,999,999
  friend auto operator<=>(const LocalTime&, const LocalTime&) = default;

  // From seconds since 1970-01-01 00:00:00 local; nanoseconds of a second or
  // more carry into the seconds.
  static LocalTime FromSeconds(std::int64_t seconds, std::uint32_t nanoseconds = 0);
};

// Converts UTC moments to local time, each with the offset in force at that
// moment. The platform is asked at most twice per UTC day met, so a listing of
// many files costs no system call per file. Any UTC moment converts; the
// clock is asked about moments beyond the 64-bit range as about its ends.
class LocalTimeConverter {
 public:
  explicit LocalTimeConverter(platform::Clock& clock) : clock_(clock) {}
  LocalTime ToLocal(platform::UtcTime utc);

 private:
  platform::Clock& clock_;
  // Offset per UTC day for days without a change of offset.
  std::unordered_map<std::int64_t, std::int32_t> uniformDays_;
  std::unordered_map<std::int64_t, bool> changingDays_;
  // The uniform day met last, asked again before the maps.
  std::int64_t lastDay_ = 0;
  std::int32_t lastOffset_ = 0;
  bool hasLastDay_ = false;
};

// The proleptic Gregorian calendar date; the year may lie anywhere a 64-bit
// count of seconds reaches, before year 1 (0 is 1 BC) and after 9999.
platform::LocalDateTime ToCalendar(LocalTime time);

// yyyy/mm/dd hh:mm:ss with the given separators, to the whole second (the
// fraction is dropped, as file managers show it). 19 characters with the
// usual one-character separators. A year beyond 9999 keeps all its digits, as
// a size does, and one before year 0 is written with a minus sign and at
// least four digits (-0044): the field widens instead of lying.
void AppendDate(std::string& out, LocalTime time, std::string_view dateSeparator, std::string_view timeSeparator);

// Bytes as gigabytes (1024^3) in the pattern "#.##" followed by " GB": the
// integer digits (none for 0), the decimal separator always, at most two
// decimals without trailing zeros, halves rounded away from zero.
std::string FormatGigabytes(std::uint64_t bytes, std::string_view decimalSeparator);

}  // namespace vexaro::engine

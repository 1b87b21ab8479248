#pragma once
// Column values of a file line: size with unit or exact byte count, the
// creation time in local time, and the drive-space texts of the header.

#include <cstdint>
#include <optional>
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

// A local time as seconds since 1970-01-01 00:00:00 on the local clock.
struct LocalTime {
  std::int64_t seconds = 0;
  std::uint32_t nanoseconds = 0;
  friend auto operator<=>(const LocalTime&, const LocalTime&) = default;
};

// Converts UTC moments to local time, each with the offset in force at that
// moment. The platform is asked at most twice per UTC day met, so a listing of
// many files costs no system call per file.
class LocalTimeConverter {
 public:
  explicit LocalTimeConverter(platform::Clock& clock) : clock_(clock) {}
  LocalTime ToLocal(platform::UtcTime utc);

 private:
  platform::Clock& clock_;
  // Offset per UTC day for days without a change of offset.
  std::unordered_map<std::int64_t, std::int32_t> uniformDays_;
  std::unordered_map<std::int64_t, bool> changingDays_;
};

// The three times of a file in local time; a time the platform could not
// read stays empty.
struct FileTimeStamp {
  std::optional<LocalTime> dteCreateTime;
  std::optional<LocalTime> dteWriteTime;
  std::optional<LocalTime> dteAccessTime;
};

FileTimeStamp GetFileTimeStamp(const platform::FileStamp& stamp, LocalTimeConverter& converter);

// A date value: days since 1899-12-30 00:00 local time, the fraction being the
// time of day.
double DateValue(LocalTime time);

platform::LocalDateTime ToCalendar(LocalTime time);

// yyyy/mm/dd hh:mm:ss with the given separators, to the whole second (the
// fraction is dropped, as file managers show it). 19 characters with the
// usual one-character separators.
void AppendDate(std::string& out, LocalTime time, std::string_view dateSeparator,
                std::string_view timeSeparator);

// Bytes as gigabytes (1024^3) in the pattern "#.##" followed by " GB": the
// integer digits (none for 0), the decimal separator always, at most two
// decimals without trailing zeros, halves rounded away from zero.
std::string FormatGigabytes(std::uint64_t bytes, std::string_view decimalSeparator);

}  // namespace vexaro::engine

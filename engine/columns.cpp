#include "engine/columns.h"

#include <array>
#include <charconv>
#include <cstring>

namespace vexaro::engine {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::size_t kMaxCachedDays = 1 << 16;
constexpr std::uint32_t kNanosPerSecond = 1'000'000'000;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

std::int64_t FloorMod(std::int64_t a, std::int64_t b) {
  const std::int64_t r = a % b;
  return (r != 0 && ((r < 0) != (b < 0))) ? r + b : r;
}

// days * 86400 + second, held to the 64-bit range: the clock takes a second
// count, and at the ends of the range the nearest one answers as well. The
// first day of the range starts before it, yet most of its seconds lie
// inside: those are counted from the day's end.
std::int64_t SecondsOrLimit(std::int64_t days, std::int64_t second) {
  std::int64_t start = 0;
  std::int64_t sum = 0;
  if (!__builtin_mul_overflow(days, kSecondsPerDay, &start) && !__builtin_add_overflow(start, second, &sum)) {
    return sum;
  }
  if (days < 0 && !__builtin_mul_overflow(days + 1, kSecondsPerDay, &start) &&
      !__builtin_add_overflow(start, second - kSecondsPerDay, &sum)) {
    return sum;
  }
  return days < 0 ? INT64_MIN : INT64_MAX;
}

// `time` moved by `seconds` (any 64-bit count whose day count stays far from
// the limits, which a second count divided by 86400 always does).
LocalTime Shifted(LocalTime time, std::int64_t seconds) {
  const std::int64_t second = time.secondOfDay + FloorMod(seconds, kSecondsPerDay);
  time.days += FloorDiv(seconds, kSecondsPerDay) + second / kSecondsPerDay;
  time.secondOfDay = static_cast<std::int32_t>(second % kSecondsPerDay);
  return time;
}

std::string RightAligned(std::uint64_t value, std::size_t width) {
  std::array<char, 24> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  const auto count = static_cast<std::size_t>(end - digits.data());
  std::string text(count < width ? width - count : 0, ' ');
  text.append(digits.data(), count);
  return text;
}

}  // namespace

std::string BMBGB(std::uint64_t cFileSize, std::string& sTani) {
  constexpr std::uint64_t kKB = 1024, kMB = kKB * 1024, kGB = kMB * 1024;
  if (cFileSize >= kGB) {
    sTani = "GB";
    cFileSize /= kGB;
  } else if (cFileSize >= kMB) {
    sTani = "MB";
    cFileSize /= kMB;
  } else if (cFileSize >= kKB) {
    sTani = "KB";
    cFileSize /= kKB;
  } else {
    sTani = " B";
  }
  return RightAligned(cFileSize, 4);
}

std::string B(std::uint64_t cFileSize, std::string& sTani) {
  sTani.clear();
  return RightAligned(cFileSize, kBWidth);
}

LocalTime LocalTime::FromSeconds(std::int64_t seconds, std::uint32_t nanoseconds) {
  LocalTime time{FloorDiv(seconds, kSecondsPerDay), static_cast<std::int32_t>(FloorMod(seconds, kSecondsPerDay)),
                 nanoseconds % kNanosPerSecond};
  return Shifted(time, nanoseconds / kNanosPerSecond);
}

LocalTime LocalTimeConverter::ToLocal(platform::UtcTime utc) {
  // Still UTC here: the day and the moment in it, the nanoseconds carried.
  const LocalTime moment = LocalTime::FromSeconds(utc.seconds, utc.nanoseconds);
  const std::int64_t day = moment.days;
  const std::int64_t seconds = SecondsOrLimit(day, moment.secondOfDay);
  // Files of one folder are often made on one day.
  if (hasLastDay_ && day == lastDay_) return Shifted(moment, lastOffset_);
  std::int32_t offset;
  bool uniform = true;
  if (const auto it = uniformDays_.find(day); it != uniformDays_.end()) {
    offset = it->second;
  } else if (changingDays_.contains(day)) {
    offset = clock_.UtcOffsetAt(seconds);
    uniform = false;
  } else {
    const std::int32_t atStart = clock_.UtcOffsetAt(SecondsOrLimit(day, 0));
    const std::int32_t atEnd = clock_.UtcOffsetAt(SecondsOrLimit(day, kSecondsPerDay - 1));
    if (uniformDays_.size() + changingDays_.size() >= kMaxCachedDays) {
      uniformDays_.clear();
      changingDays_.clear();
    }
    if (atStart == atEnd) {
      uniformDays_.emplace(day, atStart);
      offset = atStart;
    } else {
      // A day on which the offset changes: ask for every moment of it.
      changingDays_.emplace(day, true);
      offset = clock_.UtcOffsetAt(seconds);
      uniform = false;
    }
  }
  if (uniform) {
    lastDay_ = day;
    lastOffset_ = offset;
    hasLastDay_ = true;
  }
  return Shifted(moment, offset);
}

platform::LocalDateTime ToCalendar(LocalTime time) {
  // Days stay within about 1.1e14 of 0, so none of this comes near overflow.
  const std::int64_t days = time.days;
  const std::int64_t secondOfDay = time.secondOfDay;
  // Civil date from a day count (proleptic Gregorian calendar).
  const std::int64_t z = days + 719468;
  const std::int64_t era = FloorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return {year,
          static_cast<int>(month),
          static_cast<int>(day),
          static_cast<int>(secondOfDay / 3600),
          static_cast<int>(secondOfDay / 60 % 60),
          static_cast<int>(secondOfDay % 60)};
}

void AppendDate(std::string& out, LocalTime time, std::string_view dateSeparator, std::string_view timeSeparator) {
  const auto c = ToCalendar(time);
  // Written into a buffer first: one append per date, not one per digit,
  // for the many lines of a listing.
  const std::size_t most = 32 + 2 * dateSeparator.size() + 2 * timeSeparator.size();
  char small[128];
  std::string large;
  if (most > sizeof small) large.resize(most);
  char* const start = most > sizeof small ? large.data() : small;
  char* p = start;
  auto two = [&p](int value) {
    p[0] = static_cast<char>('0' + value / 10 % 10);
    p[1] = static_cast<char>('0' + value % 10);
    p += 2;
  };
  auto put = [&p](std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    p += text.size();
  };
  if (c.year < 0) *p++ = '-';
  // The year's magnitude: no year a 64-bit second count reaches is near the
  // limit, so negating it is safe.
  const std::uint64_t year = c.year < 0 ? static_cast<std::uint64_t>(-c.year) : static_cast<std::uint64_t>(c.year);
  if (year <= 9999) {
    two(static_cast<int>(year / 100));
    two(static_cast<int>(year % 100));
  } else {
    p = std::to_chars(p, p + 24, year).ptr;
  }
  put(dateSeparator);
  two(c.month);
  put(dateSeparator);
  two(c.day);
  *p++ = ' ';
  two(c.hour);
  put(timeSeparator);
  two(c.minute);
  put(timeSeparator);
  two(c.second);
  out.append(start, p);
}

std::string FormatGigabytes(std::uint64_t bytes, std::string_view decimalSeparator) {
  // Exact integer arithmetic: hundredths of a GiB, halves away from zero.
  constexpr int kShift = 30;
  const std::uint64_t whole = bytes >> kShift;
  const std::uint64_t rest = bytes & ((std::uint64_t{1} << kShift) - 1);
  const std::uint64_t hundredths = whole * 100 + ((rest * 100 + (std::uint64_t{1} << (kShift - 1))) >> kShift);
  const std::uint64_t integer = hundredths / 100;
  const std::uint64_t fraction = hundredths % 100;
  std::string text = integer == 0 ? std::string() : std::to_string(integer);
  text += decimalSeparator;
  if (fraction != 0) {
    text.push_back(static_cast<char>('0' + fraction / 10));
    if (fraction % 10 != 0) text.push_back(static_cast<char>('0' + fraction % 10));
  }
  text += " GB";
  return text;
}

}  // namespace vexaro::engine

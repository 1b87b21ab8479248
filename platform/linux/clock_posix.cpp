// The clock, the local time zone and the regional formats on Linux.

#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include "platform/linux/clock.h"

namespace vexaro::platform::posix {

PosixClock::PosixClock() {
  // localtime_r reads the zone rules once, here; localtime() would look at
  // /etc/localtime again on every call when TZ is unset.
  ::tzset();
}

UtcTime PosixClock::Now() {
  // Asked once per listing: a time zone changed while the program runs is
  // taken up by the next listing, at the cost of one look at /etc/localtime.
  ::tzset();
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return {static_cast<std::int64_t>(now.tv_sec), static_cast<std::uint32_t>(now.tv_nsec)};
}

std::int32_t PosixClock::UtcOffsetAt(std::int64_t utcSeconds) {
  const time_t moment = static_cast<time_t>(utcSeconds);
  tm local{};
  // A moment beyond what the C library can convert keeps UTC.
  if (::localtime_r(&moment, &local) == nullptr) return 0;
  return static_cast<std::int32_t>(local.tm_gmtoff);
}

std::string PosixRegional::DateTimeText(const LocalDateTime& when) { return FixedDateTimeText(when); }

std::string PosixRegional::DateSeparator() { return "/"; }

std::string PosixRegional::TimeSeparator() { return ":"; }

std::string PosixRegional::DecimalSeparator() {
  // A locale of our own, so that the process's global locale stays as it is.
  const locale_t numeric = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (numeric == static_cast<locale_t>(0)) return ".";
  std::string separator = ::nl_langinfo_l(RADIXCHAR, numeric);
  ::freelocale(numeric);
  return separator.empty() ? "." : separator;
}

}  // namespace vexaro::platform::posix

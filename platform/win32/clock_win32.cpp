#include "platform/win32/windows_win32.h"

#include <cstring>
#include <map>
#include <string>

#include "platform/win32/convert_win32.h"
#include "platform/win32/host_win32.h"
#include "platform/text.h"

namespace vexaro::platform::win32 {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;

}  // namespace

// The zone as GetDynamicTimeZoneInformation gives it, and its rules per year.
// SystemTimeToTzSpecificLocalTimeEx would do the same lookup, but Wine lacks
// it; GetTimeZoneInformationForYear plus SystemTimeToTzSpecificLocalTime
// is what it amounts to and works on both.
struct Win32Clock::Zone {
  DYNAMIC_TIME_ZONE_INFORMATION dynamic{};
  bool valid = false;
  std::map<WORD, TIME_ZONE_INFORMATION> years;

  // Reads the zone; the rules kept per year are dropped when it changed.
  void Read() {
    DYNAMIC_TIME_ZONE_INFORMATION now{};
    const bool nowValid = GetDynamicTimeZoneInformation(&now) != TIME_ZONE_ID_INVALID;
    if (nowValid == valid && std::memcmp(&now, &dynamic, sizeof now) == 0) return;
    dynamic = now;
    valid = nowValid;
    years.clear();
  }

  // The standard bias alone, for moments the calendar calls cannot take.
  std::int32_t StandardOffset() const { return valid ? -static_cast<std::int32_t>(dynamic.Bias) * 60 : 0; }

  const TIME_ZONE_INFORMATION& RulesFor(WORD year) {
    auto found = years.find(year);
    if (found != years.end()) return found->second;
    TIME_ZONE_INFORMATION rules{};
    // With automatic daylight saving switched off the dynamic record already
    // holds the rules in force (standard time only).
    if (dynamic.DynamicDaylightTimeDisabled || !GetTimeZoneInformationForYear(year, &dynamic, &rules)) {
      rules.Bias = dynamic.Bias;
      rules.StandardBias = dynamic.StandardBias;
      rules.DaylightBias = dynamic.DaylightBias;
      rules.StandardDate = dynamic.StandardDate;
      rules.DaylightDate = dynamic.DaylightDate;
    }
    return years.emplace(year, rules).first->second;
  }
};

Win32Clock::Win32Clock() : zone_(std::make_unique<Zone>()) { zone_->Read(); }

Win32Clock::~Win32Clock() = default;

UtcTime Win32Clock::Now() {
  // Asked once per listing: a time zone changed while the program runs is
  // taken up by the next listing, never in the middle of one.
  zone_->Read();
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return UtcFromFileTime((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

std::int32_t Win32Clock::UtcOffsetAt(std::int64_t utcSeconds) {
  if (!zone_->valid) return 0;
  const std::uint64_t ticks = FileTimeFromUtc({utcSeconds, 0});
  FILETIME utcFile{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  FILETIME localFile{};
  if (!FileTimeToSystemTime(&utcFile, &utc) ||
      !SystemTimeToTzSpecificLocalTime(&zone_->RulesFor(utc.wYear), &utc, &local) ||
      !SystemTimeToFileTime(&local, &localFile)) {
    return zone_->StandardOffset();
  }
  const auto localTicks = (static_cast<std::int64_t>(localFile.dwHighDateTime) << 32) | localFile.dwLowDateTime;
  return static_cast<std::int32_t>((localTicks - static_cast<std::int64_t>(ticks)) / kTicksPerSecond);
}

Win32Regional::Win32Regional(std::string_view localeName) : locale_(Widen(localeName)) {}

std::string Win32Regional::DateTimeText(const LocalDateTime& when) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(when.year);
  time.wMonth = static_cast<WORD>(when.month);
  time.wDay = static_cast<WORD>(when.day);
  time.wHour = static_cast<WORD>(when.hour);
  time.wMinute = static_cast<WORD>(when.minute);
  time.wSecond = static_cast<WORD>(when.second);
  // The day of the week, which some long date forms show; also checks the date.
  FILETIME checked{};
  const bool valid = when.year >= 1601 && when.year <= 30827 && SystemTimeToFileTime(&time, &checked) &&
                     FileTimeToSystemTime(&checked, &time);

  wchar_t date[128] = {};
  wchar_t clock[128] = {};
  if (valid && GetDateFormatEx(locale(), DATE_SHORTDATE, &time, nullptr, date, 128, nullptr) > 0 &&
      GetTimeFormatEx(locale(), 0, &time, nullptr, clock, 128) > 0) {
    return Narrow(CutAtChar(std::wstring_view(date, 128), L'\0')) + ' ' +
           Narrow(CutAtChar(std::wstring_view(clock, 128), L'\0'));
  }
  return FixedDateTimeText(when);
}

std::string Win32Regional::Info(unsigned long type, std::string_view fallback) const {
  wchar_t text[16] = {};
  if (GetLocaleInfoEx(locale(), type, text, 16) <= 0) return std::string(fallback);
  std::string value = Narrow(CutAtChar(std::wstring_view(text, 16), L'\0'));
  return value.empty() ? std::string(fallback) : value;
}

std::string Win32Regional::DateSeparator() { return Info(LOCALE_SDATE, "/"); }
std::string Win32Regional::TimeSeparator() { return Info(LOCALE_STIME, ":"); }
std::string Win32Regional::DecimalSeparator() { return Info(LOCALE_SDECIMAL, "."); }

}  // namespace vexaro::platform::win32

// Run with TZ=America/New_York: US Eastern, whose daylight-saving rules
// changed in 2007.
#include "platform/win32/windows_win32.h"

#include <gtest/gtest.h>

#include "platform/win32/host_win32.h"
#include "tests/support/fake_system.h"

namespace vexaro::platform::win32 {
namespace {

using testing::UtcSeconds;

TEST(Win32Clock, OffsetFollowsTheRulesOfEachMomentsYear) {
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  GetDynamicTimeZoneInformation(&zone);
  if (std::wstring_view(zone.TimeZoneKeyName) != L"Eastern Standard Time") GTEST_SKIP() << "needs US Eastern";
  constexpr std::int32_t standard = -5 * 3600, daylight = -4 * 3600;
  struct Case {
    const char* what;
    std::int64_t utc;
    std::int32_t offset;
  };
  const Case cases[] = {
      {"March 2006, old rules", UtcSeconds(2006, 3, 20, 12), standard},
      {"March 2007, new rules", UtcSeconds(2007, 3, 20, 12), daylight},
      {"early November 2007, new rules", UtcSeconds(2007, 11, 3, 12), daylight},
      {"last second of standard time", UtcSeconds(2021, 3, 14, 6, 59, 59), standard},
      {"first second of daylight time", UtcSeconds(2021, 3, 14, 7), daylight},
      {"first second of standard time again", UtcSeconds(2021, 11, 7, 6), standard},
  };
  Win32Clock clock;
  for (const auto& c : cases) EXPECT_EQ(clock.UtcOffsetAt(c.utc), c.offset) << c.what;
}

TEST(Win32Clock, MomentsBeyondWhatSystemTimeHoldsGetAnOffsetOfTheZone) {
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  GetDynamicTimeZoneInformation(&zone);
  if (std::wstring_view(zone.TimeZoneKeyName) != L"Eastern Standard Time") GTEST_SKIP() << "needs US Eastern";
  const std::int64_t cases[] = {
      INT64_MIN,
      -11644473601,  // the second before the first FILETIME
      -11644473600,
      910692730085,  // the last second a FILETIME below 2^63 holds
      910692730086, INT64_MAX,
  };
  Win32Clock clock;
  for (const std::int64_t utc : cases) {
    const std::int32_t offset = clock.UtcOffsetAt(utc);
    EXPECT_TRUE(offset == -5 * 3600 || offset == -4 * 3600) << utc << ": " << offset;
  }
}

TEST(FileTime, EveryCountHasItsMomentAndBack) {
  struct Case {
    std::uint64_t ticks;
    UtcTime utc;
  };
  const Case cases[] = {
      {0, {-11644473600, 0}},
      {1, {-11644473600, 100}},
      {116444736000000000, {0, 0}},
      {116444735999999999, {-1, 999999900}},
      {0x7FFFFFFFFFFFFFFF, {910692730085, 477580700}},
      {0x8000000000000000, {910692730085, 477580800}},  // beyond what SYSTEMTIME holds
      {UINT64_MAX, {1833029933770, 955161500}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UtcFromFileTime(c.ticks), c.utc) << c.ticks;
    // Back again, where a FILETIME that the system takes can hold it.
    if (c.ticks <= 0x7FFFFFFFFFFFFFFF) {
      EXPECT_EQ(FileTimeFromUtc(c.utc), c.ticks) << c.ticks;
    }
  }
}

TEST(Win32Regional, SeparatorsAndDateTimeOfTheLocale) {
  struct Case {
    const char* locale;
    const char* date;
    const char* time;
    const char* decimal;
    const char* dateTime;
  };
  const Case cases[] = {
      {"ja-JP", "/", ":", ".", "2026/11/28 17:43:59"},
      {"de-DE", ".", ":", ",", "28.11.2026 17:43:59"},
      {"fi-FI", ".", ".", ",", "28.11.2026 17.43.59"},
  };
  for (const auto& c : cases) {
    Win32Regional regional(c.locale);
    EXPECT_EQ(regional.DateSeparator(), c.date) << c.locale;
    EXPECT_EQ(regional.TimeSeparator(), c.time) << c.locale;
    EXPECT_EQ(regional.DecimalSeparator(), c.decimal) << c.locale;
    EXPECT_EQ(regional.DateTimeText({2026, 11, 28, 17, 43, 59}), c.dateTime) << c.locale;
  }
}

TEST(Win32Regional, YearsTheSystemCannotFormatKeepEveryDigit) {
  struct Case {
    platform::LocalDateTime when;
    const char* text;
  };
  const Case cases[] = {
      {{30828, 1, 1, 0, 0, 0}, "30828/01/01 0:00:00"},
      {{292277026596, 12, 5, 0, 30, 7}, "292277026596/12/05 0:30:07"},
      {{1600, 12, 31, 23, 59, 59}, "1600/12/31 23:59:59"},
      {{12, 3, 4, 5, 6, 7}, "0012/03/04 5:06:07"},
  };
  Win32Regional regional("ja-JP");
  for (const auto& c : cases) EXPECT_EQ(regional.DateTimeText(c.when), c.text) << c.when.year;
}

}  // namespace
}  // namespace vexaro::platform::win32

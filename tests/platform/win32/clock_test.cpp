// Run with TZ=America/New_York: US Eastern, whose daylight-saving rules changed in 2007.
#include "platform/win32/windows_win32.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/win32/host_win32.h"
#include "tests/support/fake_system.h"

namespace vexaro::platform::win32 {
namespace {

using testing::UtcSeconds;

TEST(Win32Clock, OffsetFollowsTheRulesOfEachMomentsYear) {
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  GetDynamicTimeZoneInformation(&zone);
  if (std::wstring_view(zone.TimeZoneKeyName) != L"Eastern Standard Time") GTEST_SKIP() << "needs US Eastern";
  constexpr std::int32_t standard = -5 * 3600, daylight = -4 * 3600, either = 1;
  const std::tuple<const char*, std::int64_t, std::int32_t> cases[] = {
      {"March 2006, old rules", UtcSeconds(2006, 3, 20, 12), standard},
      {"March 2007, new rules", UtcSeconds(2007, 3, 20, 12), daylight},
      {"early November 2007, new rules", UtcSeconds(2007, 11, 3, 12), daylight},
      {"last second of standard time", UtcSeconds(2021, 3, 14, 6, 59, 59), standard},
      {"first second of daylight time", UtcSeconds(2021, 3, 14, 7), daylight},
      {"first second of standard time again", UtcSeconds(2021, 11, 7, 6), standard},
      // Beyond what a SYSTEMTIME holds: an offset of the zone all the same.
      {"the first moment", INT64_MIN, either},
      {"the second before the first FILETIME", -11644473601, either},
      {"the first FILETIME", -11644473600, either},
      {"the last second of a FILETIME below 2^63", 910692730085, either},
      {"the second after it", 910692730086, either},
      {"the last moment", INT64_MAX, either},
  };
  Win32Clock clock;
  for (const auto& [what, utc, want] : cases) {
    const std::int32_t offset = clock.UtcOffsetAt(utc);
    EXPECT_TRUE(want == either ? offset == standard || offset == daylight : offset == want) << what << ": " << offset;
  }
}

TEST(FileTime, EveryCountHasItsMomentAndBack) {
  const std::pair<std::uint64_t, UtcTime> cases[] = {
      {0, {-11644473600, 0}},
      {1, {-11644473600, 100}},
      {116444736000000000, {0, 0}},  // 1970
      {116444736000000005, {0, 500}},
      {116444735999999999, {-1, 999999900}},
      {0x7FFFFFFFFFFFFFFF, {910692730085, 477580700}},
      {0x8000000000000000, {910692730085, 477580800}},  // beyond what SYSTEMTIME holds
      {UINT64_MAX, {1833029933770, 955161500}},
  };
  for (const auto& [ticks, utc] : cases) {
    EXPECT_EQ(UtcFromFileTime(ticks), utc) << ticks;
    // Back again, where a FILETIME that the system takes can hold it.
    if (ticks <= 0x7FFFFFFFFFFFFFFF) {
      EXPECT_EQ(FileTimeFromUtc(utc), ticks) << ticks;
    }
  }
  // Outside what a FILETIME holds: the nearest end.
  EXPECT_EQ(FileTimeFromUtc({-11644473601, 0}), 0u);
  EXPECT_EQ(FileTimeFromUtc({INT64_MAX, 0}), 0x7FFFFFFFFFFFFFFFu);
}

TEST(Win32Regional, SeparatorsAndDateTimeOfTheLocale) {
  // The locale, its date, time and decimal separators, a moment and its text.
  const std::tuple<const char*, const char*, LocalDateTime, const char*> cases[] = {
      {"ja-JP", "/:.", {2026, 11, 28, 17, 43, 59}, "2026/11/28 17:43:59"},
      {"de-DE", ".:,", {2026, 11, 28, 17, 43, 59}, "28.11.2026 17:43:59"},
      {"fi-FI", "..,", {2026, 11, 28, 17, 43, 59}, "28.11.2026 17.43.59"},
      // Years the system cannot format, either side of what it can.
      {"ja-JP", "/:.", {30828, 1, 1, 0, 0, 0}, "30828/01/01 0:00:00"},
      {"ja-JP", "/:.", {1600, 12, 31, 23, 59, 59}, "1600/12/31 23:59:59"},
  };
  for (const auto& [locale, separators, when, text] : cases) {
    Win32Regional regional(locale);
    EXPECT_EQ(regional.DateSeparator() + regional.TimeSeparator() + regional.DecimalSeparator(), separators) << locale;
    EXPECT_EQ(regional.DateTimeText(when), text) << locale << " " << when.year;
  }
}

}  // namespace
}  // namespace vexaro::platform::win32

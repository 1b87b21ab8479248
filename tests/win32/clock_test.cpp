// Run with TZ=America/New_York: US Eastern, whose daylight-saving rules
// changed in 2007.
#include "platform/windows_win32.h"

#include <gtest/gtest.h>

#include "platform/host_win32.h"
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

}  // namespace
}  // namespace vexaro::platform::win32

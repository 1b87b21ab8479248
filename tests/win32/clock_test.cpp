// Run with the time zone set to US Eastern (TZ=America/New_York under Wine),
// whose daylight-saving rules changed in 2007.
#include "platform/windows_win32.h"

#include <gtest/gtest.h>

#include "platform/host_win32.h"
#include "tests/support/fake_system.h"

namespace vexaro::platform::win32 {
namespace {

using testing::UtcSeconds;

constexpr std::int32_t kEst = -5 * 3600;
constexpr std::int32_t kEdt = -4 * 3600;

TEST(Win32Clock, OffsetFollowsTheRulesOfEachMomentsYear) {
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  GetDynamicTimeZoneInformation(&zone);
  if (std::wstring_view(zone.TimeZoneKeyName) != L"Eastern Standard Time" || zone.DynamicDaylightTimeDisabled) {
    GTEST_SKIP() << "needs the US Eastern time zone with daylight saving";
  }
  struct Case {
    const char* what;
    std::int64_t utc;
    std::int32_t offset;
  };
  const Case cases[] = {
      {"winter", UtcSeconds(2021, 1, 15, 12), kEst},
      {"summer", UtcSeconds(2021, 7, 1, 12), kEdt},
      {"March 2006, old rules: still standard", UtcSeconds(2006, 3, 20, 12), kEst},
      {"March 2007, new rules: daylight", UtcSeconds(2007, 3, 20, 12), kEdt},
      {"early November 2006, old rules: standard", UtcSeconds(2006, 11, 3, 12), kEst},
      {"early November 2007, new rules: daylight", UtcSeconds(2007, 11, 3, 12), kEdt},
      {"last second of standard time", UtcSeconds(2021, 3, 14, 6, 59, 59), kEst},
      {"first second of daylight time", UtcSeconds(2021, 3, 14, 7, 0, 0), kEdt},
      {"last second of daylight time", UtcSeconds(2021, 11, 7, 5, 59, 59), kEdt},
      {"first second of standard time again", UtcSeconds(2021, 11, 7, 6, 0, 0), kEst},
  };
  Win32Clock clock;
  for (const auto& c : cases) EXPECT_EQ(clock.UtcOffsetAt(c.utc), c.offset) << c.what;
}

TEST(Win32Clock, MomentsOutsideTheCalendarStillGiveAnOffset) {
  Win32Clock clock;
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  GetDynamicTimeZoneInformation(&zone);
  const std::int32_t standard = -static_cast<std::int32_t>(zone.Bias) * 60;
  const std::int32_t daylight = standard - static_cast<std::int32_t>(zone.DaylightBias) * 60;
  for (const std::int64_t utc : {UtcSeconds(1500, 6, 1), INT64_MIN / 2, INT64_MAX / 2}) {
    const std::int32_t offset = clock.UtcOffsetAt(utc);
    EXPECT_TRUE(offset == standard || offset == daylight) << utc << " gave " << offset;
  }
}

}  // namespace
}  // namespace vexaro::platform::win32

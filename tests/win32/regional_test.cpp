#include "platform/windows_win32.h"

#include <gtest/gtest.h>

#include <ctime>

#include "platform/host_win32.h"

namespace vexaro::platform::win32 {
namespace {

TEST(Win32Regional, SeparatorsOfTheLocale) {
  struct Case {
    const char* locale;
    const char* date;
    const char* time;
    const char* decimal;
  };
  const Case cases[] = {
      {"ja-JP", "/", ":", "."},
      {"de-DE", ".", ":", ","},
      {"fi-FI", ".", ".", ","},
      {"en-US", "/", ":", "."},
  };
  for (const auto& c : cases) {
    Win32Regional regional(c.locale);
    EXPECT_EQ(regional.DateSeparator(), c.date) << c.locale;
    EXPECT_EQ(regional.TimeSeparator(), c.time) << c.locale;
    EXPECT_EQ(regional.DecimalSeparator(), c.decimal) << c.locale;
  }
}

// The digits of every field, in the order the locale puts them, whatever its
// exact pattern (systems differ in leading zeros).
TEST(Win32Regional, DateAndTimeWithSecondsInTheLocalesOrder) {
  const LocalDateTime when{2026, 11, 28, 17, 43, 59};
  struct Case {
    const char* locale;
    std::vector<const char*> inOrder;
  };
  const Case cases[] = {
      {"ja-JP", {"2026", "11", "28", " ", "17", "43", "59"}},
      {"de-DE", {"28", "11", "2026", " ", "17", "43", "59"}},
      {"en-US", {"11", "28", "2026", " ", "5", "43", "59", "PM"}},
  };
  for (const auto& c : cases) {
    const std::string text = Win32Regional(c.locale).DateTimeText(when);
    std::size_t at = 0;
    for (const char* part : c.inOrder) {
      const std::size_t found = text.find(part, at);
      ASSERT_NE(found, std::string::npos) << c.locale << ": \"" << part << "\" missing or out of order in " << text;
      at = found + std::string_view(part).size();
    }
  }
}

TEST(Win32Regional, DatesTheCalendarCannotHoldFallBackToAFixedForm) {
  Win32Regional regional("ja-JP");
  EXPECT_EQ(regional.DateTimeText({1500, 1, 2, 3, 4, 5}), "1500/01/02 3:04:05");
  EXPECT_EQ(regional.DateTimeText({2026, 2, 30, 9, 5, 0}), "2026/02/30 9:05:00");
}

TEST(Win32Clock, NowIsTheSystemsTime) {
  Win32Clock clock;
  const auto before = static_cast<std::int64_t>(std::time(nullptr));
  const UtcTime now = clock.Now();
  const auto after = static_cast<std::int64_t>(std::time(nullptr));
  EXPECT_GE(now.seconds, before - 1);
  EXPECT_LE(now.seconds, after + 1);
  EXPECT_LT(now.nanoseconds, 1'000'000'000u);
}

}  // namespace
}  // namespace vexaro::platform::win32

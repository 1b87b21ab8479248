#include <locale.h>
#include <time.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/posix/clock.h"
#include "tests/support/fake_system.h"

namespace vexaro::platform::posix {
namespace {

using testing::UtcSeconds;

// An environment variable set (or, with nullopt, removed) for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_); }

 private:
  void Set(const std::optional<std::string>& value) {
    value ? ::setenv(name_, value->c_str(), 1) : ::unsetenv(name_);
    ::tzset();
  }
  const char* name_;
  std::optional<std::string> old_;
};

TEST(PosixClockTest, OffsetIsTheOneInForceAtEachMoment) {
  struct Case {
    const char* zone;
    std::int64_t utc;
    std::int32_t offset;
  };
  const Case cases[] = {
      {"Europe/Berlin", UtcSeconds(2024, 1, 15, 12), 3600},
      {"Europe/Berlin", UtcSeconds(2024, 7, 1, 12), 7200},
      {"Europe/Berlin", UtcSeconds(2024, 3, 31, 0, 59, 59), 3600},  // a second before summer time
      {"Europe/Berlin", UtcSeconds(2024, 3, 31, 1), 7200},
      {"Europe/Berlin", UtcSeconds(2024, 10, 27, 0, 59, 59), 7200},
      {"Europe/Berlin", UtcSeconds(2024, 10, 27, 1), 3600},
      {"America/New_York", UtcSeconds(2024, 7, 1), -14400},
      {"Asia/Tokyo", UtcSeconds(2001, 2, 3, 4, 5, 6), 32400},
  };
  for (const Case& c : cases) {
    ScopedEnv tz("TZ", c.zone);
    PosixClock clock;
    EXPECT_EQ(clock.UtcOffsetAt(c.utc), c.offset) << c.zone << " " << c.utc;
  }
}

TEST(PosixClockTest, NowIsUtcAndTakesUpAChangedTimeZone) {
  ScopedEnv tz("TZ", "Asia/Tokyo");
  PosixClock clock;
  ::setenv("TZ", "Europe/Berlin", 1);  // as a change of zone while the program runs
  EXPECT_EQ(clock.UtcOffsetAt(UtcSeconds(2024, 7, 1)), 32400) << "not read again per offset";
  const std::int64_t before = ::time(nullptr);
  const UtcTime now = clock.Now();
  EXPECT_GE(now.seconds, before);
  EXPECT_LE(now.seconds, ::time(nullptr));
  EXPECT_EQ(clock.UtcOffsetAt(UtcSeconds(2024, 7, 1)), 7200);
}

TEST(PosixRegionalTest, DateAndTimeTextHasAFixedForm) {
  PosixRegional regional;
  EXPECT_EQ(regional.DateTimeText({2026, 12, 6, 9, 5, 0}), "2026/12/06 9:05:00");
  EXPECT_EQ(regional.DateTimeText({2026, 1, 2, 23, 59, 59}), "2026/01/02 23:59:59");
  EXPECT_EQ(regional.DateTimeText({999, 3, 4, 0, 0, 7}), "0999/03/04 0:00:07");
  EXPECT_EQ(regional.DateSeparator() + regional.TimeSeparator(), "/:");
}

TEST(PosixRegionalTest, DecimalSeparatorComesFromTheEnvironmentsLocale) {
  struct Case {
    std::optional<std::string> all, numeric;
    const char* separator;
  };
  const Case cases[] = {
      {"C", std::nullopt, "."},
      {std::nullopt, std::nullopt, "."},
      {"no_SUCH.locale", std::nullopt, "."},
      {std::nullopt, "de_DE.UTF-8", ","},  // where installed
      {"C", "de_DE.UTF-8", "."},           // LC_ALL wins
  };
  const std::string global = ::setlocale(LC_NUMERIC, nullptr);
  const locale_t german = ::newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
  for (const Case& c : cases) {
    if (c.separator == std::string(",") && german == static_cast<locale_t>(0)) continue;
    ScopedEnv all("LC_ALL", c.all), numeric("LC_NUMERIC", c.numeric), lang("LANG", std::nullopt);
    EXPECT_EQ(PosixRegional().DecimalSeparator(), c.separator) << c.all.value_or("") << c.numeric.value_or("");
  }
  if (german != static_cast<locale_t>(0)) ::freelocale(german);
  EXPECT_EQ(::setlocale(LC_NUMERIC, nullptr), global) << "the process's own locale is left alone";
}

}  // namespace
}  // namespace vexaro::platform::posix

#include <locale.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/posix/clock.h"
#include "tests/support/fake_system.h"

namespace vexaro::platform::posix {
namespace {

using testing::UtcSeconds;

// Sets (or, with nullopt, removes) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name_, value->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> old_;
};

bool ZoneInstalled(const std::string& zone) {
  return ::access(("/usr/share/zoneinfo/" + zone).c_str(), R_OK) == 0;
}

TEST(PosixClockTest, OffsetIsTheOneInForceAtEachMoment) {
  struct Case {
    const char* zone;
    std::int64_t utc;
    std::int32_t offset;
  };
  const Case cases[] = {
      {"Europe/Berlin", UtcSeconds(2024, 1, 15, 12), 3600},
      {"Europe/Berlin", UtcSeconds(2024, 7, 1, 12), 7200},
      // The changes of 2024, one second either side (01:00 UTC both times).
      {"Europe/Berlin", UtcSeconds(2024, 3, 31, 0, 59, 59), 3600},
      {"Europe/Berlin", UtcSeconds(2024, 3, 31, 1, 0, 0), 7200},
      {"Europe/Berlin", UtcSeconds(2024, 10, 27, 0, 59, 59), 7200},
      {"Europe/Berlin", UtcSeconds(2024, 10, 27, 1, 0, 0), 3600},
      {"America/New_York", UtcSeconds(2024, 1, 15, 12), -18000},
      {"America/New_York", UtcSeconds(2024, 7, 1, 12), -14400},
      {"Asia/Tokyo", UtcSeconds(2001, 2, 3, 4, 5, 6), 32400},
      {"Asia/Tokyo", UtcSeconds(2026, 7, 1), 32400},
      {"UTC", UtcSeconds(2026, 7, 1), 0},
  };
  const std::optional<std::string> savedTz = std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ"))
                                                                : std::nullopt;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " at " + std::to_string(c.utc));
    if (!ZoneInstalled(c.zone)) {
      ADD_FAILURE() << "time zone data missing: " << c.zone;
      continue;
    }
    {
      ScopedEnv tz("TZ", c.zone);
      ::tzset();
      PosixClock clock;
      EXPECT_EQ(clock.UtcOffsetAt(c.utc), c.offset);
      // Asked again after other moments: nothing carried over between calls.
      clock.UtcOffsetAt(c.utc + 180 * 86400);
      EXPECT_EQ(clock.UtcOffsetAt(c.utc), c.offset);
    }
    ::tzset();
  }
  EXPECT_EQ(std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt, savedTz);
}

TEST(PosixClockTest, NowIsTheSystemTimeInUtc) {
  PosixClock clock;
  const std::int64_t before = ::time(nullptr);
  const UtcTime now = clock.Now();
  const std::int64_t after = ::time(nullptr);
  EXPECT_GE(now.seconds, before);
  EXPECT_LE(now.seconds, after);
  EXPECT_LT(now.nanoseconds, 1000000000u);
}

TEST(PosixRegionalTest, DateAndTimeTextHasAFixedForm) {
  struct Case {
    LocalDateTime when;
    const char* text;
  };
  const Case cases[] = {
      {{2026, 12, 6, 9, 5, 0}, "2026/12/06 9:05:00"},
      {{2026, 1, 2, 23, 59, 59}, "2026/01/02 23:59:59"},
      {{2026, 12, 6, 0, 0, 7}, "2026/12/06 0:00:07"},
      {{999, 3, 4, 10, 11, 12}, "0999/03/04 10:11:12"},
  };
  PosixRegional regional;
  for (const Case& c : cases) EXPECT_EQ(regional.DateTimeText(c.when), c.text);
  EXPECT_EQ(regional.DateSeparator(), "/");
  EXPECT_EQ(regional.TimeSeparator(), ":");
}

bool LocaleInstalled(const char* name) {
  const locale_t probe = ::newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(0));
  if (probe == static_cast<locale_t>(0)) return false;
  ::freelocale(probe);
  return true;
}

TEST(PosixRegionalTest, DecimalSeparatorComesFromTheEnvironmentsLocale) {
  struct Case {
    std::optional<std::string> lcAll, lcNumeric, lang;
    const char* separator;
    const char* needs;  // a locale that must be installed for the case
  };
  const Case cases[] = {
      {"C", std::nullopt, std::nullopt, ".", nullptr},
      {"C.UTF-8", std::nullopt, std::nullopt, ".", nullptr},
      {std::nullopt, std::nullopt, std::nullopt, ".", nullptr},
      {"no_SUCH.locale", std::nullopt, std::nullopt, ".", nullptr},
      {std::nullopt, "de_DE.UTF-8", "C", ",", "de_DE.UTF-8"},
      {std::nullopt, std::nullopt, "fr_FR.UTF-8", ",", "fr_FR.UTF-8"},
      {"C", "de_DE.UTF-8", std::nullopt, ".", "de_DE.UTF-8"},  // LC_ALL wins
  };
  const std::string globalBefore = ::setlocale(LC_NUMERIC, nullptr);
  PosixRegional regional;
  int checked = 0;
  for (const Case& c : cases) {
    ScopedEnv all("LC_ALL", c.lcAll), numeric("LC_NUMERIC", c.lcNumeric), lang("LANG", c.lang);
    if (c.needs && !LocaleInstalled(c.needs)) continue;
    SCOPED_TRACE(c.lcAll.value_or("-") + " " + c.lcNumeric.value_or("-") + " " + c.lang.value_or("-"));
    EXPECT_EQ(regional.DecimalSeparator(), c.separator);
    ++checked;
  }
  EXPECT_GE(checked, 4);
  EXPECT_EQ(::setlocale(LC_NUMERIC, nullptr), globalBefore) << "the process's locale is left alone";
}

}  // namespace
}  // namespace vexaro::platform::posix

// The time zone and the locale are set in child processes, so that nothing
// leaks into the other tests.

#include <locale.h>

#include <gtest/gtest.h>

#include "platform/linux/clock.h"
#include "tests/platform/linux/posix_tree.h"
#include "tests/support/fake_system.h"

namespace vexaro::platform::posix {
namespace {

using testing::UtcSeconds;

TEST(PosixClockTest, OffsetIsTheOneInForceAtEachMoment) {
  const auto [status, offsets] = testing::RunInChild([](std::string& out) {
    ::setenv("TZ", "Europe/Berlin", 1);
    PosixClock clock;
    // Winter, summer, and either side of the change to summer time.
    for (const std::int64_t utc : {UtcSeconds(2024, 1, 15, 12), UtcSeconds(2024, 7, 1, 12),
                                   UtcSeconds(2024, 3, 31, 0, 59, 59), UtcSeconds(2024, 3, 31, 1)}) {
      out += std::to_string(clock.UtcOffsetAt(utc)) + " ";
    }
    return 0;
  });
  EXPECT_EQ(offsets, "3600 7200 3600 7200 ");
}

TEST(PosixRegionalTest, DateFormAndTheDecimalSeparatorOfTheLocale) {
  EXPECT_EQ(PosixRegional().DateTimeText({2026, 12, 6, 9, 5, 0}), "2026/12/06 9:05:00");

  // A locale with a decimal comma, made here: few machines have one installed.
  testing::PosixTree tree;
  std::ofstream(tree.Path("comma.src")) << "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \"\"\ngrouping -1\n"
                                           "END LC_NUMERIC\n";
  const std::string make = std::string("localedef -c -f ANSI_X3.4-1968 -i '")
                               .append(tree.Path("comma.src") + "' '" + tree.Path("comma") + "' >/dev/null 2>&1");
  [[maybe_unused]] const int made = std::system(make.c_str());
  if (!std::filesystem::exists(tree.Path("comma/LC_NUMERIC"))) GTEST_SKIP() << "cannot make a locale here";

  const auto [status, separators] = testing::RunInChild([&](std::string& out) {
    ::setenv("LOCPATH", tree.root().c_str(), 1);
    ::unsetenv("LANG");
    const std::string global = ::setlocale(LC_NUMERIC, nullptr);
    // LC_ALL, then LC_NUMERIC.
    for (const auto& [all, numeric] : {std::pair<const char*, const char*>{nullptr, "comma"},
                                       {"C", "comma"},
                                       {nullptr, nullptr},
                                       {nullptr, "no_such"}}) {
      all ? ::setenv("LC_ALL", all, 1) : ::unsetenv("LC_ALL");
      numeric ? ::setenv("LC_NUMERIC", numeric, 1) : ::unsetenv("LC_NUMERIC");
      out += PosixRegional().DecimalSeparator();
    }
    out += ::setlocale(LC_NUMERIC, nullptr) == global ? " process locale kept" : " process locale changed";
    return 0;
  });
  EXPECT_EQ(separators, ",... process locale kept");
}

}  // namespace
}  // namespace vexaro::platform::posix

#include "platform/drive.h"

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace vexaro::platform {
namespace {

// The one reading of a Windows drive, for the CLI, the Win32 side and the
// in-memory test system alike.
TEST(DriveName, DriveLettersSharesAndTheLongForms) {
  struct Case {
    const char* path;
    const char* part;  // DrivePart
    const char* name;  // DriveName
  };
  const Case cases[] = {
      {"C:\\Data\\x", "C:", "C:"},
      {"c:", "c:", "c:"},
      {"C:relative", "C:", "C:"},
      {"\\\\srv\\share\\dir\\", "\\\\srv\\share", "\\\\srv\\share"},
      {"\\\\srv\\share", "\\\\srv\\share", "\\\\srv\\share"},
      {"//srv/share/dir", "//srv/share", "\\\\srv\\share"},
      {"\\\\srv", "", ""},  // no share
      {"\\\\srv\\", "", ""},
      {"\\\\\\share\\x", "", ""},  // no server
      {"\\\\srv\\\\x", "", ""},    // empty share
      {"\\\\?\\C:\\Data", "\\\\?\\C:", "C:"},
      {"\\\\?\\UNC\\srv\\share\\x", "\\\\?\\UNC", "\\\\srv\\share"},
      {"\\\\?\\unc\\srv\\share", "\\\\?\\unc", "\\\\srv\\share"},
      {"\\Data", "", ""},
      {"relative\\x", "", ""},
      {"1:\\x", "", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DrivePart(c.path), c.part) << c.path;
    EXPECT_EQ(DriveName(c.path), c.name) << c.path;
  }
}

// The header's date when the system's own form cannot be had.
TEST(FixedDateTimeText, YearOfAtLeastFourDigitsHourUnpadded) {
  struct Case {
    LocalDateTime when;
    const char* text;
  };
  const Case cases[] = {
      {{2026, 12, 6, 9, 5, 0}, "2026/12/06 9:05:00"},
      {{12, 3, 4, 15, 6, 7}, "0012/03/04 15:06:07"},
      {{292277026596, 12, 5, 0, 30, 7}, "292277026596/12/05 0:30:07"},
      {{-1, 12, 31, 23, 59, 59}, "-0001/12/31 23:59:59"},
      {{INT64_MIN, 1, 1, 0, 0, 0}, "-9223372036854775808/01/01 0:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(FixedDateTimeText(c.when), c.text) << c.when.year;
}

}  // namespace
}  // namespace vexaro::platform

#include "engine/columns.h"

#include <gtest/gtest.h>

#include "tests/support/fake_system.h"

namespace vexaro::engine {
namespace {

using testing::FakeSystem;
using testing::UtcSeconds;

TEST(BMBGB, UnitAndRightAlignedWholeNumber) {
  struct Case {
    std::uint64_t size;
    const char* text;
    const char* unit;
  };
  const Case cases[] = {
      {0, "   0", " B"},
      {1023, "1023", " B"},
      {1024, "   1", "KB"},
      {1048575, "1023", "KB"},
      {1048576, "   1", "MB"},
      {1073741823, "1023", "MB"},
      {1073741824, "   1", "GB"},
      {4294967296, "   4", "GB"},
      {1099511627776, "1024", "GB"},
      // Wider than the field: every digit stays.
      {10240ull << 30, "10240", "GB"},
      {UINT64_MAX, "17179869183", "GB"},
  };
  for (const auto& c : cases) {
    std::string unit = "stale";
    EXPECT_EQ(BMBGB(c.size, unit), c.text) << c.size;
    EXPECT_EQ(unit, c.unit) << c.size;
  }
}

TEST(FormatGigabytes, PatternWithTwoDecimals) {
  struct Case {
    std::uint64_t bytes;
    const char* decimal;
    const char* text;
  };
  const Case cases[] = {
      {53687091200, ".", "50. GB"},
      {1610612736, ".", "1.5 GB"},
      {536870912, ".", ".5 GB"},
      {123456789012, ".", "114.98 GB"},
      {2199028498432, ".", "2048. GB"},
      {0, ".", ". GB"},
      {1610612736, ",", "1,5 GB"},
      {(1ull << 30) / 8, ".", ".13 GB"},  // 0.125 rounds away from zero
      {(1ull << 30) / 20 + 1, ".", ".05 GB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatGigabytes(c.bytes, c.decimal), c.text) << c.bytes;
}

// Central European time: +1 h, +2 h in summer, from 01:00 UTC on the days
// of change. Each moment is the first the converter meets on its day, when
// it asks for the offsets at the day's start and end.
TEST(LocalTimeConverter, EachTimeTakesTheOffsetInForceThen) {
  struct Case {
    std::int64_t utc;
    std::int64_t local;
  };
  const Case cases[] = {
      {UtcSeconds(2026, 1, 15, 12), UtcSeconds(2026, 1, 15, 13)},
      {UtcSeconds(2026, 7, 15, 12), UtcSeconds(2026, 7, 15, 14)},
      {UtcSeconds(2026, 3, 29, 0, 59, 59), UtcSeconds(2026, 3, 29, 1, 59, 59)},
      {UtcSeconds(2026, 3, 29, 1, 0, 0), UtcSeconds(2026, 3, 29, 3, 0, 0)},
      {UtcSeconds(2026, 3, 29, 23, 0, 0), UtcSeconds(2026, 3, 30, 1, 0, 0)},
      {UtcSeconds(2026, 10, 25, 0, 30, 0), UtcSeconds(2026, 10, 25, 2, 30, 0)},
      {UtcSeconds(2026, 10, 25, 1, 30, 0), UtcSeconds(2026, 10, 25, 2, 30, 0)},
  };
  for (const auto& c : cases) {
    FakeSystem system;
    system.SetOffset(INT64_MIN, 3600);
    system.SetOffset(UtcSeconds(2026, 3, 29, 1), 7200);
    system.SetOffset(UtcSeconds(2026, 10, 25, 1), 3600);
    LocalTimeConverter converter(system.clock());
    EXPECT_EQ(converter.ToLocal({c.utc, 0}), LocalTime::FromSeconds(c.local)) << c.utc;
    EXPECT_EQ(converter.ToLocal({c.utc, 0}), LocalTime::FromSeconds(c.local)) << c.utc << ", again";
    // Many files of a day without change cost the clock two questions.
    const int asked = system.offsetQueries();
    for (int i = 0; i < 100; ++i) converter.ToLocal({UtcSeconds(2026, 5, 1) + i * 60, 0});
    EXPECT_LE(system.offsetQueries() - asked, 2) << c.utc;
  }
}

TEST(AppendDate, ExtremeTimesGiveTheirTrueYearWidenedAndNeverOverflow) {
  // UTC moments a FUSE or network file system or a crafted image can report,
  // each with the offset in force; the dates worked out independently.
  struct Case {
    std::int64_t utc;
    std::uint32_t nanos;
    std::int32_t offset;
    const char* text;
  };
  const Case cases[] = {
      {INT64_MAX, 0, 0, "292277026596/12/04 15:30:07"},
      {INT64_MAX, 0, 9 * 3600, "292277026596/12/05 00:30:07"},  // past the 64-bit range locally
      {INT64_MAX, 0, 14 * 3600, "292277026596/12/05 05:30:07"},
      {INT64_MAX, UINT32_MAX, 0, "292277026596/12/04 15:30:11"},  // whole seconds in the nanoseconds carry
      {INT64_MIN, 0, 0, "-292277022657/01/27 08:29:52"},
      {INT64_MIN, 0, -12 * 3600, "-292277022657/01/26 20:29:52"},
      {67768036191676800, 0, 0, "2147485548/01/01 00:00:00"},  // the year no longer fits an int
      {67768036191676800, 0, -1, "2147485547/12/31 23:59:59"},
      {253402300799, 0, 0, "9999/12/31 23:59:59"},
      {253402300800, 0, 0, "10000/01/01 00:00:00"},
      {-1, 0, 0, "1969/12/31 23:59:59"},
      {-1, 999999999, 0, "1969/12/31 23:59:59"},
      {-1, 1000000000, 0, "1970/01/01 00:00:00"},
      {0, 999999999, 9 * 3600, "1970/01/01 09:00:00"},
      {-11644473600, 0, 0, "1601/01/01 00:00:00"},  // the first FILETIME
      {-62167219200, 0, 0, "0000/01/01 00:00:00"},
      {-62167219201, 0, 0, "-0001/12/31 23:59:59"},
      {-62167219200, 0, -3600, "-0001/12/31 23:00:00"},
  };
  for (const auto& c : cases) {
    FakeSystem system;
    system.SetOffset(INT64_MIN, c.offset);
    LocalTimeConverter converter(system.clock());
    const LocalTime local = converter.ToLocal({c.utc, c.nanos});
    std::string text;
    AppendDate(text, local, "/", ":");
    EXPECT_EQ(text, c.text) << c.utc << " " << c.offset;
  }
}

TEST(AppendDate, FixedFormWithSeparators) {
  struct Case {
    std::int64_t local;
    std::uint32_t nanos;
    const char* date;
    const char* time;
    const char* text;
  };
  const Case cases[] = {
      {UtcSeconds(2026, 12, 1, 9, 15, 0), 0, "/", ":", "2026/12/01 09:15:00"},
      {UtcSeconds(2026, 12, 1, 9, 15, 0), 999999999, "/", ":", "2026/12/01 09:15:00"},  // never rounded up
      {UtcSeconds(1999, 2, 28, 23, 59, 59), 0, "-", ".", "1999-02-28 23.59.59"},
      {UtcSeconds(2000, 2, 29, 0, 0, 0), 0, "/", ":", "2000/02/29 00:00:00"},
      {UtcSeconds(1601, 1, 1, 0, 0, 0), 0, "/", ":", "1601/01/01 00:00:00"},
      // Separators of several characters, and longer than the date's own buffer.
      {UtcSeconds(2026, 12, 1, 9, 5, 7), 0, "年", "時", "2026年12年01 09時05時07"},
      {UtcSeconds(2026, 12, 1, 9, 5, 7), 0, "<-------------------------------------------------->", "::",
       "2026<-------------------------------------------------->12<-------------------------------------------------->"
       "01 09::05::07"},
  };
  for (const auto& c : cases) {
    std::string text;
    AppendDate(text, LocalTime::FromSeconds(c.local, c.nanos), c.date, c.time);
    EXPECT_EQ(text, c.text);
  }
}

}  // namespace
}  // namespace vexaro::engine

#include "ui/fit_path.h"

#include <gtest/gtest.h>


namespace vexaro::ui {
namespace {

TEST(FitPathTest, TwipsBecomePixelsAtTheScreensResolution) {
  struct Case {
    int twips;
    int dpi;
    int pixels;
  };
  const Case cases[] = {
      {7020, 96, 468}, {7500, 96, 500}, {1365, 96, 91}, {36, 96, 2},  {45, 96, 3},
      {7020, 120, 585}, {7020, 144, 702}, {0, 96, 0},    {7, 96, 0},   {8, 96, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
  }
}

TEST(FitPathTest, WidthLimitIsNinetyPercentRoundedHalfToEven) {
  struct Case {
    int label;
    int limit;
  };
  const Case cases[] = {
      {468, 421},  // 421.2
      {465, 418},  // 418.5: to the even neighbour
      {475, 428},  // 427.5: to the even neighbour
      {585, 526},  // 526.5
      {702, 632},  // 631.8
      {5, 4},      // 4.5
      {15, 14},    // 13.5
      {1, 1},      // 0.9
      {0, 0},
      {-3, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(WidthLimit(c.label), c.limit) << c.label;
}

}  // namespace
}  // namespace vexaro::ui

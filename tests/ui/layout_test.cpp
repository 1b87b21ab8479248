// The shared layout table against what the window is known to look like,
// facts that do not come from the table itself.
#include "ui/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexaro::ui {
namespace {

bool Overlap(const Twips& a, const Twips& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height && b.top < a.top + a.height;
}

Twips ContainerBox(Control container) {
  if (container == Control::Form1) return kClientArea;
  return FindLayout(container)->box;
}

TEST(Layout, ClientAreaIs500By91PixelsAt96Dpi) {
  EXPECT_EQ(TwipsToPixels(kClientArea.width, 96), 500);
  EXPECT_EQ(TwipsToPixels(kClientArea.height, 96), 91);
  // Rounded to nearest, both ways of zero.
  const int cases[][3] = {{7, 96, 0}, {8, 96, 1}, {-8, 96, -1}, {7020, 120, 585}, {1365, 144, 137}};
  for (const auto& [twips, dpi, pixels] : cases) EXPECT_EQ(TwipsToPixels(twips, dpi), pixels) << twips << " at " << dpi;
}

TEST(Layout, EveryControlInsideItsContainerAndNoneOverlapping) {
  for (const ControlLayout& row : kLayout) {
    const Twips outer = ContainerBox(row.container);
    EXPECT_GE(row.box.left, 0) << row.name;
    EXPECT_GE(row.box.top, 0) << row.name;
    EXPECT_LE(row.box.left + row.box.width, outer.width) << row.name;
    EXPECT_LE(row.box.top + row.box.height, outer.height) << row.name;
    for (const ControlLayout& other : kLayout) {
      // The two pages share one place: exactly one shows.
      if (&other == &row || other.container != row.container || row.kind == Kind::Page) continue;
      // The option buttons as drawn share 15 twips (a pixel at 96 DPI) of the
      // first one's empty end; CSV is drawn over it.
      const bool options = row.kind == Kind::OptionButton && other.kind == Kind::OptionButton;
      EXPECT_EQ(Overlap(row.box, other.box), options) << row.name << " and " << other.name;
    }
  }
}

TEST(Layout, KeyboardOrderOfEachPage) {
  std::vector<std::string> setup, progress;
  for (const ControlLayout& row : kLayout) {
    if (row.kind == Kind::Label || row.kind == Kind::Page) continue;
    (row.container == Control::Frame3 ? setup : progress).push_back(row.name);
  }
  EXPECT_EQ(setup,
            (std::vector<std::string>{"List1", "Command4", "Command5", "CheckSize", "Command1", "Command3", "CheckPath",
                                      "CheckDate", "CheckByte", "OptionTXT", "OptionCSV", "CheckFree", "CheckVolume"}));
  EXPECT_EQ(progress, std::vector<std::string>{"Command2"});
}

TEST(Layout, EveryControlOnceByItsName) {
  for (const ControlLayout& row : kLayout) {
    EXPECT_EQ(FindLayout(row.id), &row) << row.name;
    EXPECT_NE(row.caption, nullptr) << row.name;
  }
  EXPECT_EQ(FindLayout(Control::Form1), nullptr);
}

}  // namespace
}  // namespace vexaro::ui

// The system's MulDiv rounding, template units and HIMETRIC conversion.
#include <gtest/gtest.h>

#include <climits>

#include "ui/dialog_layout.h"
#include "ui/geometry.h"
#include "ui/splash_layout.h"

namespace brisk {
namespace {

struct MulDivCase {
  int a, b, c, expected;
};

TEST(MulDivRounded, RoundsHalvesAwayFromZeroAndFailsLikeTheSystem) {
  const MulDivCase cases[] = {
      {550, 4, 8, 275}, {0, 8, 16, 0}, {5, 1, 2, 3},  {-5, 1, 2, -3},      {3, 1, -2, -2},           {-3, -1, 2, 2},
      {7, 1, 3, 2},     {8, 1, 3, 3},  {7, 1, 0, -1}, {INT_MAX, 2, 1, -1}, {INT_MAX, 3, 3, INT_MAX},
  };
  for (const MulDivCase& c : cases) {
    EXPECT_EQ(MulDivRounded(c.a, c.b, c.c), c.expected) << c.a << " * " << c.b << " / " << c.c;
  }
}

TEST(TemplateUnits, WidthOf550PixelsOn8By16BaseUnitsIs275WithHeightZero) {
  EXPECT_EQ(TemplateUnitsFromPixels({550, 0}, {8, 16}), (Size{275, 0}));
  EXPECT_EQ(TemplateUnitsFromPixels({550, 0}, {6, 13}), (Size{367, 0}));
  EXPECT_EQ(TemplateUnitsFromPixels({0, 100}, {8, 16}), (Size{0, 50}));
}

TEST(Himetric, ScreenPixelsSurviveTheRoundTrip) {
  // A 300-pixel picture at 96 dpi is 7938 HIMETRIC wide.
  EXPECT_EQ(HimetricToPixels(7938, 96), 300);
  EXPECT_EQ(HimetricToPixels(7938, 120), 375);
  EXPECT_EQ(HimetricToPixels(0, 96), 0);
}

}  // namespace
}  // namespace brisk

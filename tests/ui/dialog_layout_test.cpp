// Template growth, text-dialog lines and centring.
#include <gtest/gtest.h>

#include "ui/dialog_layout.h"

namespace brisk {
namespace {

struct GrowthCase {
  std::size_t capacity, used, appended, expected;
};

TEST(TemplateGrowth, GrowsByTheAppendRoundedDownToKilobytesPlusOne) {
  const GrowthCase cases[] = {
      {0, 0, 22, 1024},        // first append
      {0, 0, 1500, 2048},      // first append larger than a kilobyte
      {0, 0, 0, 1024},         // even an empty first append allocates
      {1024, 22, 100, 1024},   // fits
      {1024, 1000, 24, 1024},  // fits exactly
      {1024, 1000, 100, 2048}, {1024, 1000, 3000, 4096},
  };
  for (const GrowthCase& c : cases) {
    const std::size_t capacity = TemplateCapacityForAppend(c.capacity, c.used, c.appended);
    EXPECT_EQ(capacity, c.expected) << c.capacity << " " << c.used << " " << c.appended;
    EXPECT_GE(capacity, c.used + c.appended);
  }
}

struct LineCase {
  LineFont font;
  bool lineFeed;
  Size measured;
  int contentWidth;
  TextLineStep expected;
};

TEST(TextLine, HeightAndWidthFollowTheFont) {
  const LineCase cases[] = {
      // A wider line widens the content: 110 % in the title font, 90 % otherwise.
      {LineFont::kTitle, false, {205, 16}, 100, {19, 19, 225}},
      {LineFont::kNormal, false, {205, 16}, 100, {17, 17, 184}},
      {LineFont::kText, false, {205, 16}, 100, {15, 15, 184}},
      {LineFont::kSmall, false, {205, 16}, 100, {12, 12, 184}},
      // A narrower line leaves the content as it is, even below 100 %.
      {LineFont::kTitle, false, {205, 16}, 210, {19, 19, 210}},
      {LineFont::kNormal, false, {205, 16}, 205, {17, 17, 205}},
      // A line feed: five measured heights, and the content never widens.
      {LineFont::kTitle, true, {900, 16}, 100, {80, 80, 100}},
      {LineFont::kSmall, true, {900, 13}, 0, {65, 65, 0}},
  };
  for (const LineCase& c : cases) {
    const TextLineStep step = MeasuredTextLine(c.font, c.lineFeed, c.measured, c.contentWidth);
    EXPECT_EQ(step.height, c.expected.height) << static_cast<int>(c.font) << " " << c.lineFeed;
    EXPECT_EQ(step.advance, c.expected.advance) << static_cast<int>(c.font) << " " << c.lineFeed;
    EXPECT_EQ(step.contentWidth, c.expected.contentWidth) << static_cast<int>(c.font) << " " << c.lineFeed;
  }
}

TEST(TextLine, WithoutDeviceContextAdvances18AndTakesTheParentsWidth) {
  const TextLineStep narrower = UnmeasuredTextLine(100, 284);
  EXPECT_EQ(narrower.height, 0);
  EXPECT_EQ(narrower.advance, 18);
  EXPECT_EQ(narrower.contentWidth, 284);
  EXPECT_EQ(UnmeasuredTextLine(300, 284).contentWidth, 300);
}

struct CentreCase {
  Size size;
  Rect reference;
  Rect area;
  Point expected;
};

TEST(Centre, CentresOnTheReferenceAndStaysInsideTheArea) {
  const Rect screen{0, 0, 1280, 994};
  const CentreCase cases[] = {
      {{290, 120}, screen, screen, {495, 437}},
      {{290, 120}, {100, 100, 501, 301}, screen, {155, 140}},                 // over an owner
      {{290, 120}, {1100, 900, 1280, 994}, screen, {990, 874}},               // pushed off the right and bottom edges
      {{290, 120}, {-200, -100, 0, 0}, screen, {0, 0}},                       // pushed onto the left and top edges
      {{1500, 1200}, screen, screen, {0, 0}},                                 // larger than the area: left and top win
      {{290, 120}, {1300, 0, 1500, 200}, {1280, 0, 2560, 1024}, {1280, 40}},  // a second monitor
  };
  for (const CentreCase& c : cases) {
    EXPECT_EQ(CentredPosition(c.size, c.reference, c.area), c.expected)
        << c.reference.left << "," << c.reference.top << " size " << c.size.width;
  }
}

}  // namespace
}  // namespace brisk

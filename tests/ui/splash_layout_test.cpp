// Sizing of the splash window and the rectangles of its children.
#include <gtest/gtest.h>

#include "ui/splash_layout.h"

namespace brisk {
namespace {

constexpr Size kScreen{1280, 1024};

// The window as created: 400 x 247 with a one-pixel border.
SplashSizingInput Input(std::optional<Size> picture, bool hideBanner = false, Size screen = kScreen) {
  SplashSizingInput input;
  input.window = {400, 247};
  input.client = {398, 245};
  input.hasPicture = picture.has_value();
  if (picture) input.picture = *picture;
  input.screen = screen;
  input.hideBanner = hideBanner;
  return input;
}

Rect Client(const Rect& window) { return {0, 0, window.Width() - 2, window.Height() - 2}; }

TEST(SplashSize, NarrowPictureGets400PixelWindowWithWhiteSides) {
  const SplashWindowPlacement placement = PlaceSplashWindow(Input(Size{300, 200}));
  EXPECT_EQ(placement.window, (Rect{440, 404, 840, 619}));  // 400 x (202 + 13), centred
  EXPECT_DOUBLE_EQ(placement.ratio, 1.5);
  const SplashChildRects children = PlaceSplashChildren(Client(placement.window), placement.ratio, false);
  // The picture keeps its 3:2 shape and is centred; the sides stay white.
  EXPECT_EQ(children.picture, (Rect{49, 0, 349, 200}));
  EXPECT_EQ(children.banner, (Rect{0, 200, 398, 213}));
}

TEST(SplashSize, TallPictureIsLimitedTo80PercentOfTheScreenHeight) {
  const SplashWindowPlacement placement = PlaceSplashWindow(Input(Size{600, 1000}));
  // 1024 - 204 = 820 high, 820 x 0.6 = 492 wide, then the banner strip.
  EXPECT_EQ(placement.window.Width(), 492);
  EXPECT_EQ(placement.window.Height(), 820 + 13);
  EXPECT_EQ(placement.window.left, 394);
  EXPECT_EQ(placement.window.top, 95);
  const SplashChildRects children = PlaceSplashChildren(Client(placement.window), placement.ratio, false);
  EXPECT_EQ(children.picture, (Rect{0, 0, 490, 818}));
}

TEST(SplashSize, WidePictureIsLimitedTo80PercentOfTheScreenWidth) {
  const SplashWindowPlacement placement = PlaceSplashWindow(Input(Size{1200, 300}));
  EXPECT_EQ(placement.window.Width(), 1024);
  EXPECT_EQ(placement.window.Height(), 256 + 13);
}

TEST(SplashSize, PictureThatFitsIsShownAtItsSizePlusTheBorder) {
  const SplashWindowPlacement placement = PlaceSplashWindow(Input(Size{640, 400}));
  EXPECT_EQ(placement.window, (Rect{319, 304, 961, 719}));
  const SplashChildRects children = PlaceSplashChildren(Client(placement.window), placement.ratio, false);
  EXPECT_EQ(children.picture, (Rect{0, 0, 640, 400}));
  EXPECT_EQ(children.banner, (Rect{0, 400, 640, 413}));
}

TEST(SplashSize, HiddenBannerMakesTheWindow13PixelsLowerAndLeavesNoStrip) {
  const SplashWindowPlacement shown = PlaceSplashWindow(Input(Size{640, 400}, false));
  const SplashWindowPlacement hidden = PlaceSplashWindow(Input(Size{640, 400}, true));
  EXPECT_EQ(shown.window.Height() - hidden.window.Height(), 13);
  EXPECT_EQ(shown.window.Width(), hidden.window.Width());
  const SplashChildRects children = PlaceSplashChildren(Client(hidden.window), hidden.ratio, true);
  EXPECT_EQ(children.picture, (Rect{0, 0, 640, 400}));
  EXPECT_EQ(children.banner, Rect{});
}

TEST(SplashSize, WithoutPictureTheDefaultSizeStays) {
  const SplashWindowPlacement placement = PlaceSplashWindow(Input(std::nullopt));
  EXPECT_EQ(placement.window.Width(), 400);
  EXPECT_EQ(placement.window.Height(), 247 + 13);
  EXPECT_EQ(placement.ratio, 0.0);
  const SplashChildRects children = PlaceSplashChildren(Client(placement.window), placement.ratio, false);
  EXPECT_EQ(children.picture.Width(), 0);
  EXPECT_EQ(children.banner, (Rect{0, 245, 398, 258}));
}

TEST(SplashSize, WithoutPictureOnANarrowScreenTheHeightStays) {
  // 400 is more than 80 % of 450: the width shrinks, and with no picture
  // there is no ratio to derive a height from.
  const SplashWindowPlacement placement = PlaceSplashWindow(Input(std::nullopt, false, {450, 600}));
  EXPECT_EQ(placement.window.Width(), 360);
  EXPECT_EQ(placement.window.Height(), 247 + 13);
}

}  // namespace
}  // namespace brisk

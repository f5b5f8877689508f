#include "ui/splash_layout.h"

#include <cstdlib>

namespace brisk {

int HimetricToPixels(int himetric, int pixelsPerInch) { return MulDivRounded(himetric, pixelsPerInch, 2540); }

SplashWindowPlacement PlaceSplashWindow(const SplashSizingInput& input) {
  const int nonClientWidth = std::abs(input.window.width - input.client.width);
  const int nonClientHeight = std::abs(input.window.height - input.client.height);
  SplashWindowPlacement placement;
  int width = input.window.width;
  int height = input.window.height;
  if (input.hasPicture && input.picture.height > 0) {
    width = nonClientWidth + input.picture.width;
    height = nonClientHeight + input.picture.height;
    placement.ratio = static_cast<double>(input.picture.width) / input.picture.height;
  }
  const Size screen = input.screen;
  if (height > 0.8 * screen.height) {
    height = screen.height - Trunc(0.2 * screen.height);
    width = Trunc(height * placement.ratio);
  }
  if (width < kSplashMinimumWidth) {
    width = kSplashMinimumWidth;
  } else if (width > 0.8 * screen.width) {
    width = screen.width - Trunc(0.2 * screen.width);
    // Without a picture there is no ratio to follow: the height stays.
    if (placement.ratio > 0.0) height = Trunc(width / placement.ratio);
  }
  if (!input.hideBanner) height += kSplashBannerHeight;
  const int left = Trunc(0.5 * screen.width - 0.5 * width);
  const int top = Trunc(0.5 * screen.height - 0.5 * height);
  placement.window = {left, top, left + width, top + height};
  return placement;
}

SplashChildRects PlaceSplashChildren(const Rect& client, double ratio, bool hideBanner) {
  SplashChildRects rects;
  rects.picture = client;
  if (!hideBanner) {
    rects.banner = client;
    rects.banner.top = client.bottom - kSplashBannerHeight;
    rects.picture.bottom -= kSplashBannerHeight;
  }
  if (rects.picture.Width() < kSplashMinimumWidth) {
    const int pictureWidth = Trunc(rects.picture.Height() * ratio);
    rects.picture.left = Trunc(0.5 * client.Width() - 0.5 * pictureWidth);
    rects.picture.right = rects.picture.left + pictureWidth;
  }
  return rects;
}

}  // namespace brisk

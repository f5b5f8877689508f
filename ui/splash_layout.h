// Arithmetic of the splash window: its size from the picture and the screen,
// and the rectangles of the picture and the banner strip.
#pragma once

#include "ui/geometry.h"

namespace brisk {

// Size of the window before the picture is known, and the smallest width.
constexpr Size kSplashDefaultSize{400, 247};
constexpr int kSplashMinimumWidth = 400;
// Height of the banner strip under the picture.
constexpr int kSplashBannerHeight = 13;

// A HIMETRIC length (0.01 mm) in pixels at `pixelsPerInch`.
int HimetricToPixels(int himetric, int pixelsPerInch);

struct SplashSizingInput {
  Size window = kSplashDefaultSize;  // the window as created
  Size client;                       // its client area
  bool hasPicture = false;
  Size picture;  // in pixels
  Size screen;   // HORZRES and VERTRES
  bool hideBanner = false;
};

struct SplashWindowPlacement {
  Rect window;         // screen position and size
  double ratio = 0.0;  // picture width / height; 0 without a picture
};

// The window sized to the picture (at most 80 % of the screen in each
// direction, at least 400 wide, keeping the aspect ratio), with the banner
// strip below it unless hidden, centred on the screen.
SplashWindowPlacement PlaceSplashWindow(const SplashSizingInput& input);

struct SplashChildRects {
  Rect picture;
  Rect banner;  // empty when the banner is hidden
};

// Within the client area: the banner strip is its bottom 13 pixels; the
// picture fills the rest, and in a client area narrower than 400 pixels it is
// as wide as its height and ratio give, centred.
SplashChildRects PlaceSplashChildren(const Rect& client, double ratio, bool hideBanner);

}  // namespace brisk

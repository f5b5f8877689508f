// Centring a window over another one or on the work area of its monitor.
#pragma once

#include <windows.h>

namespace brisk {

// Moves `window` to the centre of `reference` (its parent when it is a child,
// else its owner, when `reference` is null), kept inside the parent's client
// area or the nearest monitor's work area. A top-level window centres on the
// work area when the reference is hidden or minimised. Neither resizes nor
// activates the window nor changes its Z order.
void CentreWindow(HWND window, HWND reference = nullptr);

}  // namespace brisk

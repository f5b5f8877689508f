// What the launch hands to the splash screen, and the rules that read it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brisk {

// The splash thread's input record. The launch sequence fills it; where its
// two values come from in a build is the launch sequence's business.
struct SplashInputs {
  // A decimal number as text; bit 0 of its leading digits hides the banner
  // strip. No leading digits count as 0.
  std::string state;
  // Selects the banner text: 1 the second, 2 to 4 the third, others the first.
  std::uint16_t bannerVariant = 0;
};

// Bit 0 of the number written by the leading decimal digits of `state`. Only
// the last of those digits decides it, so digit strings of any length are
// read without overflow.
bool SplashBannerHidden(std::string_view state);

// The number of the built-in text shown in the banner strip.
int SplashBannerTextNumber(std::uint16_t bannerVariant);

// Variant 3 with the hidden banner: the build asks for no splash and no
// branding line in the licence dialog.
bool SplashBrandingHidden(const SplashInputs& inputs);

// Whether the launch starts the splash thread: not in test mode, not with the
// hexadecimal option, and not when the inputs ask to hide it unless the
// settings force it (bit 0x200).
bool SplashMayStart(bool testMode, std::int32_t optionValue, std::uint32_t settingsFlags, const SplashInputs& inputs);

}  // namespace brisk

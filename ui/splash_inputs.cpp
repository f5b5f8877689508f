#include "ui/splash_inputs.h"

#include "payload/build_settings.h"
#include "payload/encoded_strings.h"

namespace brisk {

bool SplashBannerHidden(std::string_view state) {
  char last = '0';
  for (char c : state) {
    if (c < '0' || c > '9') break;
    last = c;
  }
  return ((last - '0') & 1) != 0;
}

int SplashBannerTextNumber(std::uint16_t bannerVariant) {
  switch (bannerVariant) {
    case 1:
      return kSplashBannerState6;
    case 2:
    case 3:
    case 4:
      return kSplashBannerState7;
    default:
      return kSplashBanner;
  }
}

bool SplashBrandingHidden(const SplashInputs& inputs) {
  return inputs.bannerVariant == 3 && SplashBannerHidden(inputs.state);
}

bool SplashMayStart(bool testMode, std::int32_t optionValue, std::uint32_t settingsFlags, const SplashInputs& inputs) {
  if (testMode || optionValue != 0) return false;
  return (settingsFlags & kFlagSplashForced) != 0 || !SplashBrandingHidden(inputs);
}

}  // namespace brisk

#include "core/launch_plan.h"

#include <algorithm>
#include <limits>

#include "text/licence_limits.h"

namespace brisk {

namespace {

bool IsNewFormat(std::uint32_t workbookFormat) { return workbookFormat == '4' || workbookFormat == '2'; }

}  // namespace

std::uint32_t ParseHostSilenceLimitSetting(std::u16string_view text) {
  if (text.empty()) return 0;
  std::uint64_t value = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9') return 0;
    value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - u'0'),
                                    std::numeric_limits<std::uint32_t>::max());
  }
  return static_cast<std::uint32_t>(value);
}

LaunchPlan PlanLaunch(const LaunchOptions& options, const BuildSettings& settings, const SplashInputs& splashInputs) {
  LaunchPlan plan;
  const bool hexOption = options.optionValue != 0;
  plan.useExecutableIcons = !options.testMode;
  if (hexOption) {
    plan.licence = LicenceStep::kSkipped;
  } else if (options.testMode) {
    plan.licence = LicenceStep::kReadOnly;
  }
  // The size and nesting limits guard the dialog, which could not show a
  // larger text quickly or safely; a test launch shows no dialog, so it does
  // not apply them.
  if (plan.licence == LicenceStep::kShown) plan.licenceLimit = kMaxLicenceBytes;
  plan.hideLicenceBranding = SplashBrandingHidden(splashInputs);
  plan.startSplash = SplashMayStart(options.testMode, options.optionValue, settings.flags, splashInputs);
  plan.keepSplashMinimumTime = !options.testMode;
  const bool versionChecks = (settings.flags & kFlagHostVersionChecks) != 0;
  plan.refuseVeryOldHost = versionChecks;
  plan.refuseNewFormatOnOldHost = versionChecks && IsNewFormat(settings.workbookFormat);
  if (hexOption) {
    plan.finalVisibility = FinalVisibility::kHiddenWithoutAlerts;
  } else if ((settings.flags & kFlagHostInvisible) || options.testMode) {
    plan.finalVisibility = FinalVisibility::kHidden;
  }
  if (options.testMode && options.testHostSilenceLimitMs != 0) {
    plan.hostSilenceLimitMs =
        std::clamp(options.testHostSilenceLimitMs, kShortestHostSilenceLimitMs, kHostSilenceLimitMs);
  }
  return plan;
}

}  // namespace brisk

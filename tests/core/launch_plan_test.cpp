#include "core/launch_plan.h"

#include <gtest/gtest.h>

#include "text/licence_limits.h"

namespace brisk {
namespace {

constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

LaunchOptions Options(bool testMode, std::int32_t optionValue) {
  LaunchOptions options;
  options.testMode = testMode;
  options.optionValue = optionValue;
  return options;
}

BuildSettings Settings(std::uint32_t flags, char format = '4') {
  BuildSettings settings;
  settings.flags = flags;
  settings.workbookFormat = static_cast<std::uint32_t>(format);
  return settings;
}

TEST(LaunchPlanTest, OptionsAndSettingsDecideWhatIsShownCheckedAndLeftVisible) {
  struct Case {
    const char* name;
    LaunchOptions options;
    BuildSettings settings;
    bool icons;
    LicenceStep licence;
    std::size_t licenceLimit;
    bool splash;
    bool splashMinimum;
    bool refuseVeryOld;
    bool refuseNewFormat;
    FinalVisibility visibility;
  };
  const Case cases[] = {
      {"plain start", Options(false, 0), Settings(0), true, LicenceStep::kShown, kMaxLicenceBytes, true, true, false,
       false, FinalVisibility::kShown},
      {"test mode", Options(true, 0), Settings(0), false, LicenceStep::kReadOnly, kUnlimited, false, false, false,
       false, FinalVisibility::kHidden},
      {"hexadecimal option", Options(false, 0x10), Settings(0), true, LicenceStep::kSkipped, kUnlimited, false, true,
       false, false, FinalVisibility::kHiddenWithoutAlerts},
      {"option beats test mode", Options(true, -1), Settings(0), false, LicenceStep::kSkipped, kUnlimited, false, false,
       false, false, FinalVisibility::kHiddenWithoutAlerts},
      {"host invisible", Options(false, 0), Settings(kFlagHostInvisible), true, LicenceStep::kShown, kMaxLicenceBytes,
       true, true, false, false, FinalVisibility::kHidden},
      {"version checks, new format", Options(false, 0), Settings(kFlagHostVersionChecks, '4'), true,
       LicenceStep::kShown, kMaxLicenceBytes, true, true, true, true, FinalVisibility::kShown},
      {"version checks, format 2", Options(false, 0), Settings(kFlagHostVersionChecks, '2'), true, LicenceStep::kShown,
       kMaxLicenceBytes, true, true, true, true, FinalVisibility::kShown},
      {"version checks, old format", Options(false, 0), Settings(kFlagHostVersionChecks, '1'), true,
       LicenceStep::kShown, kMaxLicenceBytes, true, true, true, false, FinalVisibility::kShown},
      {"new format without checks", Options(false, 0), Settings(0, '4'), true, LicenceStep::kShown, kMaxLicenceBytes,
       true, true, false, false, FinalVisibility::kShown},
  };
  for (const Case& c : cases) {
    const LaunchPlan plan = PlanLaunch(c.options, c.settings, SplashInputs{});
    EXPECT_EQ(plan.useExecutableIcons, c.icons) << c.name;
    EXPECT_EQ(plan.licence, c.licence) << c.name;
    EXPECT_EQ(plan.licenceLimit, c.licenceLimit) << c.name;
    EXPECT_EQ(plan.startSplash, c.splash) << c.name;
    EXPECT_EQ(plan.keepSplashMinimumTime, c.splashMinimum) << c.name;
    EXPECT_EQ(plan.refuseVeryOldHost, c.refuseVeryOld) << c.name;
    EXPECT_EQ(plan.refuseNewFormatOnOldHost, c.refuseNewFormat) << c.name;
    EXPECT_EQ(plan.finalVisibility, c.visibility) << c.name;
  }
}

TEST(LaunchPlanTest, SplashInputsThatHideTheBrandingHideTheSplashUnlessForced) {
  const SplashInputs hidden{"1", 3};
  const LaunchPlan plain = PlanLaunch(Options(false, 0), Settings(0), hidden);
  EXPECT_TRUE(plain.hideLicenceBranding);
  EXPECT_FALSE(plain.startSplash);
  const LaunchPlan forced = PlanLaunch(Options(false, 0), Settings(kFlagSplashForced), hidden);
  EXPECT_TRUE(forced.hideLicenceBranding);
  EXPECT_TRUE(forced.startSplash);
  EXPECT_FALSE(PlanLaunch(Options(false, 0), Settings(0), SplashInputs{"2", 3}).hideLicenceBranding);
}

// The silence limit is the constant, unless a test launch asks for a
// shorter one: it can never come later, nor sooner than the shortest.
TEST(LaunchPlanTest, OnlyATestLaunchTakesAShorterSilenceLimit) {
  const struct {
    const char* name;
    bool testMode;
    std::uint32_t asked;
    std::uint32_t limit;
  } cases[] = {
      {"none asked", true, 0, kHostSilenceLimitMs},
      {"test launch", true, 3000, 3000},
      {"not a test launch", false, 3000, kHostSilenceLimitMs},
      {"below the shortest", true, 10, kShortestHostSilenceLimitMs},
      {"longer than the constant", true, 600000, kHostSilenceLimitMs},
  };
  for (const auto& c : cases) {
    LaunchOptions options = Options(c.testMode, 0);
    options.testHostSilenceLimitMs = c.asked;
    EXPECT_EQ(PlanLaunch(options, Settings(0), SplashInputs{}).hostSilenceLimitMs, c.limit) << c.name;
  }
}

TEST(LaunchPlanTest, SilenceLimitSettingIsDecimalMillisecondsOnly) {
  EXPECT_EQ(ParseHostSilenceLimitSetting(u"3000"), 3000u);
  EXPECT_EQ(ParseHostSilenceLimitSetting(u""), 0u);
  EXPECT_EQ(ParseHostSilenceLimitSetting(u" 3000"), 0u);
  EXPECT_EQ(ParseHostSilenceLimitSetting(u"3s"), 0u);
  EXPECT_EQ(ParseHostSilenceLimitSetting(u"-5"), 0u);
  EXPECT_EQ(ParseHostSilenceLimitSetting(u"99999999999999999999"), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace brisk

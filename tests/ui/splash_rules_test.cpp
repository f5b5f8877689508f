// The splash inputs and when the splash loop stops.
#include <gtest/gtest.h>

#include <map>

#include "payload/build_settings.h"
#include "payload/encoded_strings.h"
#include "ui/splash_close_rule.h"
#include "ui/splash_inputs.h"

namespace brisk {
namespace {

TEST(SplashInputs, BannerHiddenByBitZeroOfTheLeadingDigits) {
  const std::pair<const char*, bool> cases[] = {
      {"", false},     {"0", false},    {"1", true},   {"2", false},  {"13abc", true},
      {"12 1", false}, {"abc1", false}, {"-1", false}, {" 1", false}, {"99999999999999999999999", true},
  };
  for (const auto& [state, hidden] : cases) EXPECT_EQ(SplashBannerHidden(state), hidden) << state;
}

TEST(SplashInputs, BannerTextByVariant) {
  const std::map<int, int> expected = {{0, 5}, {1, 6}, {2, 7}, {3, 7}, {4, 7}, {5, 5}, {65535, 5}};
  for (const auto& [variant, number] : expected) {
    EXPECT_EQ(SplashBannerTextNumber(static_cast<std::uint16_t>(variant)), number) << variant;
  }
  for (int number : {5, 6, 7}) EXPECT_FALSE(GetEncodedStringA(number).empty()) << number;
}

TEST(SplashInputs, BrandingHiddenOnlyByVariantThreeWithTheHiddenBanner) {
  EXPECT_TRUE(SplashBrandingHidden({"1", 3}));
  EXPECT_FALSE(SplashBrandingHidden({"0", 3}));
  EXPECT_FALSE(SplashBrandingHidden({"1", 2}));
  EXPECT_FALSE(SplashBrandingHidden({}));
}

TEST(SplashInputs, StartCondition) {
  const SplashInputs plain{};
  const SplashInputs hidden{"1", 3};
  EXPECT_TRUE(SplashMayStart(false, 0, 0, plain));
  EXPECT_FALSE(SplashMayStart(true, 0, 0, plain));        // test mode
  EXPECT_FALSE(SplashMayStart(false, 0x1178, 0, plain));  // hexadecimal option
  EXPECT_FALSE(SplashMayStart(false, 0, 0, hidden));
  EXPECT_TRUE(SplashMayStart(false, 0, kFlagSplashForced, hidden));
  EXPECT_FALSE(SplashMayStart(true, 0, kFlagSplashForced, hidden));
}

constexpr std::uint32_t kPaint = 0x000F;

// Runs the loop's rule on a queue that always holds a paint message, with
// `posted` delivered when the counted time reaches its key. Returns why and
// when the loop stopped.
std::pair<SplashStop, int> RunLoop(const std::map<int, std::uint32_t>& posted, SplashTiming timing = {}) {
  SplashCloseRule rule(timing);
  for (int pass = 0; pass < 100000; ++pass) {
    const auto found = posted.find(rule.elapsedMs());
    const std::uint32_t message = found != posted.end() ? found->second : kPaint;
    const SplashStop stop = rule.OnMessage(message);
    if (stop != SplashStop::kNone) return {stop, rule.elapsedMs()};
    rule.Advance();
  }
  return {SplashStop::kNone, rule.elapsedMs()};
}

TEST(SplashCloseRule, StopsAfterSixtySecondsWithoutMessages) {
  EXPECT_EQ(RunLoop({}), std::make_pair(SplashStop::kLimit, 60000));
}

TEST(SplashCloseRule, DoneAfterTwoSecondsClosesAtFive) {
  EXPECT_EQ(RunLoop({{2000, MSG_SPLASH_DONE}}), std::make_pair(SplashStop::kLimit, 5000));
}

TEST(SplashCloseRule, DoneAfterSixSecondsClosesAtOnce) {
  EXPECT_EQ(RunLoop({{6000, MSG_SPLASH_DONE}}), std::make_pair(SplashStop::kDone, 6000));
}

TEST(SplashCloseRule, DoneAtExactlyFiveSecondsWaitsForTheNextMessage) {
  EXPECT_EQ(RunLoop({{5000, MSG_SPLASH_DONE}}), std::make_pair(SplashStop::kLimit, 5100));
}

TEST(SplashCloseRule, CloseMessageStopsAtOnce) {
  EXPECT_EQ(RunLoop({{300, MSG_SPLASH_CLOSE}}), std::make_pair(SplashStop::kClose, 300));
}

TEST(SplashCloseRule, MouseButtonsAndKeyDownStopOtherInputDoesNot) {
  for (std::uint32_t message : {0x100u, 0x201u, 0x202u, 0x203u, 0x204u, 0x205u, 0x206u}) {
    EXPECT_EQ(RunLoop({{700, message}}), std::make_pair(SplashStop::kInput, 700)) << message;
  }
  for (std::uint32_t message : {0x101u, 0x102u, 0x200u, 0x207u, 0x20Au, 0x500u}) {
    EXPECT_EQ(RunLoop({{700, message}}).first, SplashStop::kLimit) << message;
  }
}

TEST(SplashCloseRule, CountsItsOwnSteps) {
  SplashTiming timing;
  timing.stepMs = 250;
  EXPECT_EQ(RunLoop({{1000, MSG_SPLASH_DONE}}, timing), std::make_pair(SplashStop::kLimit, 5000));
  EXPECT_EQ(RunLoop({}, timing), std::make_pair(SplashStop::kLimit, 60000));
}

}  // namespace
}  // namespace brisk

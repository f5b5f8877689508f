#include "core/launch_failure.h"

#include <gtest/gtest.h>

#include <set>

#include "payload/encoded_strings.h"

namespace brisk {
namespace {

constexpr LaunchFailure kEveryFailure[] = {
    LaunchFailure::kSettingsDamaged,      LaunchFailure::kAlreadyRunning,      LaunchFailure::kPasswordWrong,
    LaunchFailure::kPasswordPromptFailed, LaunchFailure::kLicenceDialogFailed, LaunchFailure::kBuildDamaged,
    LaunchFailure::kHostNotCreated,       LaunchFailure::kAddinNotWritten,     LaunchFailure::kTempPathUnusable,
    LaunchFailure::kHostBuildTooOld11,    LaunchFailure::kHostBuildTooOld12,   LaunchFailure::kHostBuildTooOld14,
    LaunchFailure::kHostBuildTooOld15,    LaunchFailure::kHostWindowNotFound,  LaunchFailure::kHostStoppedResponding,
    LaunchFailure::kAddinNotReadyInTime,  LaunchFailure::kNoAddinFor64BitHost, LaunchFailure::kNoAddinFor32BitHost,
    LaunchFailure::kOutOfMemory,          LaunchFailure::kPayloadNotPrepared,
};

TEST(LaunchFailureTest, EveryFailureHasANoticeOfItsOwn) {
  std::set<std::string> texts;
  for (const LaunchFailure failure : kEveryFailure) {
    const std::string text = FailureNotice(failure, UserTexts{});
    EXPECT_FALSE(text.empty()) << static_cast<int>(failure);
    EXPECT_TRUE(texts.insert(text).second) << "two failures share the text: " << text;
  }
}

TEST(LaunchFailureTest, NoticesAreTheBuiltInTexts) {
  const UserTexts none{};
  EXPECT_EQ(FailureNotice(LaunchFailure::kBuildDamaged, none), GetEncodedStringA(kBuildDamaged));
  EXPECT_EQ(FailureNotice(LaunchFailure::kAddinNotReadyInTime, none), GetEncodedStringA(kAddinNotReadyInTime));
  EXPECT_EQ(FailureNotice(LaunchFailure::kNoAddinFor64BitHost, none), GetEncodedStringA(kNoAddinFor64BitHost));
  EXPECT_EQ(FailureNotice(LaunchFailure::kPasswordWrong, none), GetEncodedStringA(kPasswordIncorrectDefault));
  const std::string unexpected = GetEncodedStringA(kUnexpectedError);
  EXPECT_EQ(FailureNotice(LaunchFailure::kLicenceDialogFailed, none), unexpected + "\n\nThe licence dialog failed.");
  EXPECT_EQ(UnexpectedErrorNotice({}), unexpected);
}

TEST(LaunchFailureTest, TheHostBuildGateNamesItsFailure) {
  EXPECT_EQ(HostBuildGateFailure(0), std::nullopt);
  EXPECT_EQ(HostBuildGateFailure(kHostBuildTooOld11), LaunchFailure::kHostBuildTooOld11);
  EXPECT_EQ(HostBuildGateFailure(kHostBuildTooOld15), LaunchFailure::kHostBuildTooOld15);
  EXPECT_EQ(FailureNotice(*HostBuildGateFailure(kHostBuildTooOld14), UserTexts{}),
            GetEncodedStringA(kHostBuildTooOld14));
}

TEST(LaunchFailureTest, TheExceptionCarriesTheFailureAndItsNotice) {
  const LaunchFailed failed(LaunchFailure::kHostNotCreated, UserTexts{});
  EXPECT_EQ(failed.failure(), LaunchFailure::kHostNotCreated);
  EXPECT_EQ(std::string(failed.what()), GetEncodedStringA(kHostNotCreated));
  const notice4user& notice = failed;
  EXPECT_EQ(std::string(notice.what()), GetEncodedStringA(kHostNotCreated));
}

}  // namespace
}  // namespace brisk

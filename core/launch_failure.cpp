#include "core/launch_failure.h"

#include "payload/encoded_strings.h"
#include "text/text_convert.h"

namespace brisk {

std::string UnexpectedErrorNotice(std::string_view what) {
  std::string text = GetEncodedStringA(kUnexpectedError);
  if (!what.empty()) text += std::string("\n\n") + std::string(what);
  return text;
}

std::string FailureNotice(LaunchFailure failure, const UserTexts& texts) {
  switch (failure) {
    case LaunchFailure::kSettingsDamaged:
      return GetEncodedStringA(kSettingsMagicWrong);
    case LaunchFailure::kAlreadyRunning: {
      std::string text = GetMessageTextA(texts, kAppAlreadyStarted, kAppAlreadyStartedDefault);
      ReplaceLineBreakEscapes(text);
      return text;
    }
    case LaunchFailure::kPasswordWrong:
      return GetMessageTextA(texts, kPasswordIsIncorrect, kPasswordIncorrectDefault);
    case LaunchFailure::kPasswordPromptFailed:
      return UnexpectedErrorNotice("The password prompt failed.");
    case LaunchFailure::kLicenceDialogFailed:
      return UnexpectedErrorNotice("The licence dialog failed.");
    case LaunchFailure::kBuildDamaged:
      return GetEncodedStringA(kBuildDamaged);
    case LaunchFailure::kHostNotCreated:
      return GetEncodedStringA(kHostNotCreated);
    case LaunchFailure::kAddinNotWritten:
      return GetEncodedStringA(kAddinNotWritten);
    case LaunchFailure::kTempPathUnusable:
      return GetEncodedStringA(kTempPathUnusable);
    case LaunchFailure::kHostBuildTooOld11:
      return GetEncodedStringA(kHostBuildTooOld11);
    case LaunchFailure::kHostBuildTooOld12:
      return GetEncodedStringA(kHostBuildTooOld12);
    case LaunchFailure::kHostBuildTooOld14:
      return GetEncodedStringA(kHostBuildTooOld14);
    case LaunchFailure::kHostBuildTooOld15:
      return GetEncodedStringA(kHostBuildTooOld15);
    case LaunchFailure::kHostWindowNotFound:
      return GetEncodedStringA(kHostWindowNotFound);
    case LaunchFailure::kHostStoppedResponding:
      return GetEncodedStringA(kHostStoppedResponding);
    case LaunchFailure::kAddinNotReadyInTime:
      return GetEncodedStringA(kAddinNotReadyInTime);
    case LaunchFailure::kNoAddinFor64BitHost:
      return GetEncodedStringA(kNoAddinFor64BitHost);
    case LaunchFailure::kNoAddinFor32BitHost:
      return GetEncodedStringA(kNoAddinFor32BitHost);
    case LaunchFailure::kOutOfMemory:
      return GetEncodedStringA(kOutOfMemory);
    case LaunchFailure::kPayloadNotPrepared:
      return UnexpectedErrorNotice("The application's files could not be prepared.");
  }
  return UnexpectedErrorNotice({});
}

std::optional<LaunchFailure> HostBuildGateFailure(int gateNotice) {
  switch (gateNotice) {
    case kHostBuildTooOld11:
      return LaunchFailure::kHostBuildTooOld11;
    case kHostBuildTooOld12:
      return LaunchFailure::kHostBuildTooOld12;
    case kHostBuildTooOld14:
      return LaunchFailure::kHostBuildTooOld14;
    case kHostBuildTooOld15:
      return LaunchFailure::kHostBuildTooOld15;
    default:
      return std::nullopt;
  }
}

}  // namespace brisk

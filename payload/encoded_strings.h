// The built-in texts of the launcher, kept encoded (see encoded_text.h) and
// decoded afresh at every use.
//
// The plain texts live in encoded_strings.txt; the build encodes them into the
// table, so no executable carries them readable. Every number from 0 to
// kEncodedStringCount - 1 is present.
#pragma once

#include <string>
#include <string_view>

namespace brisk {

constexpr int kEncodedStringCount = 73;

// The numbers that the launcher uses. Numbers not named here carry no text
// that the launcher reads.
enum EncodedString : int {
  kSplashBanner = 5,
  kSplashBannerState6 = 6,
  kSplashBannerState7 = 7,
  kWarningTitleDefault = 8,
  kEulaExtraLabel = 16,
  kEulaTitleDefault = 17,
  kIAgreeButtonDefault = 18,
  kDeclineButtonDefault = 19,
  kHostNotCreated = 21,
  kSettingsMagicWrong = 22,
  kApplicationTitle = 23,
  kHostWindowClass = 24,
  kPayloadResourceType = 25,
  kHostTooOldWarning = 28,
  kPasswordIncorrectDefault = 29,
  kOkButtonDefault = 30,
  kCancelButtonDefault = 31,
  kAppPasswordProtectedDefault = 32,
  kPasswordWordDefault = 33,
  kNewFormatNeedsHost12 = 34,
  kAppAlreadyStartedDefault = 43,
  kHostProgId = 44,
  kWorkbookExtFormat4 = 45,
  kWorkbookExtFormat2 = 46,
  kWorkbookExtDefault = 47,
  kAddinFileName = 48,
  kExeSuffix = 49,
  kAddinNotWritten = 50,
  kCommandLineFileName = 52,
  kHexOptionPrefix = 53,
  kCloseEventFormat = 54,
  kReadyEventFormat = 55,
  kHostExeName = 56,
  kHostBuildTooOld11 = 57,
  kHostBuildTooOld12 = 58,
  kHostBuildTooOld14 = 59,
  kHostBuildTooOld15 = 60,
  kWorkingFolderMarkerName = 62,
  kBuildDamaged = 63,
  kAddinNotReadyInTime = 64,
  kHostWindowNotFound = 65,
  kHostStoppedResponding = 66,
  kTempPathUnusable = 67,
  kUnexpectedError = 68,
  kNoAddinFor64BitHost = 69,
  kNoAddinFor32BitHost = 70,
  kOutOfMemory = 71,
  kHostNotAnsweringDefault = 72,
};

// The stored (encoded) form of text `number`; empty for a number outside the
// table.
std::string_view GetEncodedForm(int number);

// Text `number` as UTF-8 bytes, up to the first zero byte; empty for a number
// outside the table or a text that decodes to nothing.
std::string GetEncodedStringA(int number);

// Text `number` as UTF-16. Throws utf8::exception (a std::exception) when the
// decoded bytes are not valid UTF-8; the table built from
// encoded_strings.txt never holds such a text.
std::u16string GetEncodedStringW(int number);

// The two lookups over any encoded form, for callers that hold one.
std::string DecodeStringA(std::string_view encoded);
std::u16string DecodeStringW(std::string_view encoded);

#ifdef _WIN32
// Text `number` in the form the Windows API takes.
inline std::wstring GetEncodedStringWide(int number) {
  const std::u16string text = GetEncodedStringW(number);
  return std::wstring(text.begin(), text.end());
}
#endif

}  // namespace brisk

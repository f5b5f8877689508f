#include "payload/encoded_strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "payload/encoded_text.h"

namespace brisk {
namespace {

struct FixedText {
  int number;
  const char* text;
};

class PayloadEncodedStringsFixed : public ::testing::TestWithParam<FixedText> {};

// Texts that other programs or the system rely on exactly.
TEST_P(PayloadEncodedStringsFixed, HasItsExactText) {
  const std::string text = GetParam().text;
  EXPECT_EQ(GetEncodedStringA(GetParam().number), text);
  EXPECT_EQ(GetEncodedStringW(GetParam().number), std::u16string(text.begin(), text.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PayloadEncodedStringsFixed,
    ::testing::Values(FixedText{kHostProgId, "Excel.Application"}, FixedText{kHostWindowClass, "XLMAIN"},
                      FixedText{kHostExeName, "EXCEL.EXE"}, FixedText{kPayloadResourceType, "EXTRSC"},
                      FixedText{kAddinFileName, "briskstub.dll"}, FixedText{kExeSuffix, ".exe"},
                      FixedText{kWorkbookExtFormat4, ".xlsx"}, FixedText{kWorkbookExtFormat2, ".xlsb"},
                      FixedText{kWorkbookExtDefault, ".xls"}, FixedText{kCommandLineFileName, "briskcmd.txt"},
                      FixedText{kHexOptionPrefix, "-bopt="}, FixedText{kCloseEventFormat, "Local\\BriskClose_%u"},
                      FixedText{kReadyEventFormat, "Local\\BriskReady_%u"},
                      FixedText{kApplicationTitle, "Brisk Application"}, FixedText{kWarningTitleDefault, "Warning"},
                      FixedText{kOkButtonDefault, "OK"}, FixedText{kCancelButtonDefault, "Cancel"},
                      FixedText{kPasswordWordDefault, "Password:"}));

TEST(PayloadEncodedStrings, EveryNumberOfTheTableDecodesToValidText) {
  for (int number = 0; number < kEncodedStringCount; ++number) {
    const std::string narrow = GetEncodedStringA(number);
    std::u16string wide;
    ASSERT_NO_THROW(wide = GetEncodedStringW(number)) << number;
    EXPECT_EQ(narrow.find('\0'), std::string::npos) << number;
    EXPECT_EQ(wide.empty(), narrow.empty()) << number;
    EXPECT_EQ(DecodeText(GetEncodedForm(number)), narrow) << number;
  }
}

TEST(PayloadEncodedStrings, NumbersOutsideTheTableGiveEmptyTexts) {
  for (int number : {-1, kEncodedStringCount, 1000}) {
    EXPECT_EQ(GetEncodedStringA(number), "");
    EXPECT_EQ(GetEncodedStringW(number), u"");
    EXPECT_EQ(GetEncodedForm(number), "");
  }
}

TEST(PayloadEncodedStrings, TextsThatTheLauncherShowsAreNotEmpty) {
  for (int number :
       {kSplashBanner, kSplashBannerState6, kSplashBannerState7, kEulaExtraLabel, kEulaTitleDefault,
        kIAgreeButtonDefault, kDeclineButtonDefault, kHostNotCreated, kSettingsMagicWrong, kHostTooOldWarning,
        kPasswordIncorrectDefault, kAppPasswordProtectedDefault, kNewFormatNeedsHost12, kAppAlreadyStartedDefault,
        kAddinNotWritten, kHostBuildTooOld11, kHostBuildTooOld12, kHostBuildTooOld14, kHostBuildTooOld15}) {
    EXPECT_FALSE(GetEncodedStringA(number).empty()) << number;
  }
}

// The splash widens its banner byte by byte, which is right only for ASCII.
TEST(PayloadEncodedStrings, SplashBannersArePlainAscii) {
  for (int number : {kSplashBanner, kSplashBannerState6, kSplashBannerState7}) {
    const std::string text = GetEncodedStringA(number);
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; })) << number;
  }
}

TEST(PayloadEncodedStrings, AlreadyStartedTextCarriesTheLineBreakEscape) {
  EXPECT_NE(GetEncodedStringA(kAppAlreadyStartedDefault).find("\\n"), std::string::npos);
  EXPECT_EQ(GetEncodedStringA(kAppAlreadyStartedDefault).find('\n'), std::string::npos);
}

TEST(PayloadEncodedStrings, HostBuildNoticesNameTheBuildNeeded) {
  EXPECT_NE(GetEncodedStringA(kHostBuildTooOld11).find("8173"), std::string::npos);
  EXPECT_NE(GetEncodedStringA(kHostBuildTooOld12).find("6607"), std::string::npos);
  EXPECT_NE(GetEncodedStringA(kHostBuildTooOld14).find("7015"), std::string::npos);
  EXPECT_NE(GetEncodedStringA(kHostBuildTooOld15).find("4569"), std::string::npos);
}

TEST(PayloadEncodedStrings, StoredFormsDoNotShowThePlainText) {
  for (int number : {kHostProgId, kAddinFileName, kHostExeName, kPayloadResourceType}) {
    EXPECT_EQ(std::string(GetEncodedForm(number)).find(GetEncodedStringA(number)), std::string::npos) << number;
  }
}

TEST(PayloadEncodedStrings, LookupStopsAtTheFirstZeroByte) {
  const std::string encoded = EncodeText(std::string("ab\0cd", 5));
  EXPECT_EQ(DecodeStringA(encoded), "ab");
  EXPECT_EQ(DecodeStringW(encoded), u"ab");
}

TEST(PayloadEncodedStrings, WideLookupConvertsUtf8IncludingSurrogatePairs) {
  EXPECT_EQ(DecodeStringW(EncodeText("Gr\xC3\xBC\xC3\x9F"
                                     "e \xF0\x9F\x98\x80")),
            u"Gr\u00FC\u00DFe \U0001F600");
}

TEST(PayloadEncodedStrings, WideLookupOfInvalidUtf8Throws) {
  for (const char* invalid : {"\xFF", "a\xC3", "\xED\xA0\x80", "\xC0\xAF"}) {
    const std::string encoded = EncodeText(invalid);
    EXPECT_EQ(DecodeStringA(encoded), invalid);
    EXPECT_THROW(DecodeStringW(encoded), std::exception) << encoded;
  }
}

}  // namespace
}  // namespace brisk

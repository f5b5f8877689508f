#include "core/command_line.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace brisk {
namespace {

using Args = std::vector<std::u16string>;
constexpr std::u16string_view kPrefix = u"-bopt=";

TEST(CleanupOptionsTest, ScansBothPathsInAnyCase) {
  const CleanupRequest request =
      ScanCleanupOptions({u"C:\\app.exe", u"-CLNX", u"C:\\t\\a.xls", u"-clnD", u"C:\\t\\b.dll"});
  EXPECT_TRUE(request.found);
  EXPECT_EQ(request.first, u"C:\\t\\a.xls");
  EXPECT_EQ(request.second, u"C:\\t\\b.dll");
}

TEST(CleanupOptionsTest, OnlySecondPathGiven) {
  const CleanupRequest request = ScanCleanupOptions({u"app.exe", u"-clnd", u"C:\\t\\b.dll"});
  EXPECT_TRUE(request.found);
  EXPECT_TRUE(request.first.empty());
  EXPECT_EQ(request.second, u"C:\\t\\b.dll");
}

TEST(CleanupOptionsTest, OptionWithoutValueStopsTheScan) {
  struct Case {
    Args args;
    bool found;
    std::u16string first;
    std::u16string second;
  };
  const Case cases[] = {
      {{u"app.exe", u"-clnx"}, false, u"", u""},
      {{u"app.exe", u"-clnx", u""}, false, u"", u""},
      {{u"app.exe", u"-clnd", u"d", u"-clnx"}, true, u"", u"d"},
      // The scan stops at the empty value; the later option is never seen.
      {{u"app.exe", u"-clnx", u"", u"-clnd", u"d"}, false, u"", u""},
      // A value is taken as it is, even when it looks like an option.
      {{u"app.exe", u"-clnx", u"-clnd", u"x"}, true, u"-clnd", u""},
      {{u"app.exe", u"-clnxx", u"a"}, false, u"", u""},
      {{u"app.exe", u"", u"-clnx", u"a"}, true, u"a", u""},
  };
  for (const Case& c : cases) {
    const CleanupRequest request = ScanCleanupOptions(c.args);
    EXPECT_EQ(request.found, c.found);
    EXPECT_EQ(request.first, c.first);
    EXPECT_EQ(request.second, c.second);
  }
}

TEST(LaunchOptionsTest, PasswordOptionIsCaseSensitiveWholeWord) {
  EXPECT_EQ(ScanLaunchOptions({u"a.exe", u"-p", u"secret"}, kPrefix).commandLinePassword, u"secret");
  EXPECT_EQ(ScanLaunchOptions({u"a.exe", u"-P", u"Secret"}, kPrefix).commandLinePassword, u"Secret");
  EXPECT_EQ(ScanLaunchOptions({u"a.exe", u"-pass", u"x"}, kPrefix).commandLinePassword, u"");
  EXPECT_EQ(ScanLaunchOptions({u"a.exe", u"-Px"}, kPrefix).commandLinePassword, u"");
  // "-p" as the last argument takes nothing.
  EXPECT_EQ(ScanLaunchOptions({u"a.exe", u"-p"}, kPrefix).commandLinePassword, u"");
}

TEST(LaunchOptionsTest, PasswordValueIsExaminedAgain) {
  const LaunchOptions options = ScanLaunchOptions({u"a.exe", u"-p", u"-xlstest"}, kPrefix);
  EXPECT_EQ(options.commandLinePassword, u"-xlstest");
  EXPECT_TRUE(options.testMode);

  // "-p -p x": the second "-p" is both the first one's value and an option.
  EXPECT_EQ(ScanLaunchOptions({u"a.exe", u"-p", u"-p", u"x"}, kPrefix).commandLinePassword, u"x");
}

TEST(LaunchOptionsTest, TestModeByPrefixInAnyCase) {
  for (const std::u16string arg : {u"-xlstest", u"-XLSTest", u"-xlstestmore"}) {
    EXPECT_TRUE(ScanLaunchOptions({u"a.exe", arg}, kPrefix).testMode) << std::string(arg.begin(), arg.end());
  }
  EXPECT_FALSE(ScanLaunchOptions({u"a.exe", u"-xlstes"}, kPrefix).testMode);
  EXPECT_FALSE(ScanLaunchOptions({u"a.exe", u"xlstest"}, kPrefix).testMode);
}

TEST(LaunchOptionsTest, HexOptionValue) {
  struct Case {
    std::u16string arg;
    std::int32_t value;
  };
  const Case cases[] = {
      {u"-bopt=1A2b", 0x1A2B},
      {u"-BOPT=ff", 0xFF},
      {u"-bopt=", 0},
      {u"-bopt=zz", 0},
      {u"-bopt=12zz", 0x12},
      {u"-bopt=  0x1f", 0x1F},
      {u"-bopt=0xg", 0},
      {u"-bopt=-10", -16},
      {u"-bopt=+10", 16},
      {u"-bopt=7FFFFFFF", std::numeric_limits<std::int32_t>::max()},
      {u"-bopt=80000000", std::numeric_limits<std::int32_t>::max()},
      {u"-bopt=123456789abcdef", std::numeric_limits<std::int32_t>::max()},
      {u"-bopt=-80000000", std::numeric_limits<std::int32_t>::min()},
      {u"-bopt=-123456789abcdef", std::numeric_limits<std::int32_t>::min()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScanLaunchOptions({u"a.exe", c.arg}, kPrefix).optionValue, c.value)
        << std::string(c.arg.begin(), c.arg.end());
  }
}

TEST(LaunchOptionsTest, FirstMatchingRuleWins) {
  // The executable's own path is scanned like any other argument.
  EXPECT_TRUE(ScanLaunchOptions({u"-xlstest.exe"}, kPrefix).testMode);
  // A later hexadecimal option replaces an earlier one.
  EXPECT_EQ(ScanLaunchOptions({u"a.exe", u"-bopt=1", u"-bopt=2"}, kPrefix).optionValue, 2);
  // Unknown arguments are no error.
  const LaunchOptions options = ScanLaunchOptions({u"a.exe", u"/whatever", u"-x"}, kPrefix);
  EXPECT_FALSE(options.testMode);
  EXPECT_EQ(options.optionValue, 0);
}

}  // namespace
}  // namespace brisk

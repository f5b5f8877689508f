#include "base/number_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace brisk {
namespace {

struct HexCase {
  std::uint64_t value;
  std::size_t width;
  HexLetters letters;
  const char* expected;
};

// What printf's "%0<width>X" and "%0<width>x" write for the same values.
TEST(HexTextTest, WritesWhatPrintfWrites) {
  const HexCase cases[] = {
      {0, 8, HexLetters::kUpper, "00000000"},
      {0x800706BE, 8, HexLetters::kUpper, "800706BE"},
      {0x80004005, 8, HexLetters::kLower, "80004005"},
      {0x00AB12CD, 8, HexLetters::kLower, "00ab12cd"},
      {0x00AB12CD, 8, HexLetters::kUpper, "00AB12CD"},
      {0xF, 0, HexLetters::kLower, "f"},
      {0, 0, HexLetters::kLower, "0"},
      {0x123456789, 8, HexLetters::kUpper, "123456789"},
      {0xFFFFFFFFFFFFFFFF, 16, HexLetters::kLower, "ffffffffffffffff"},
  };
  for (const HexCase& c : cases) {
    EXPECT_EQ(HexText<char>(c.value, c.width, c.letters), c.expected) << c.expected;
  }
}

TEST(HexTextTest, WideTextHasTheSameDigits) {
  EXPECT_EQ(HexText<wchar_t>(0x00AB12CD, 8, HexLetters::kLower), L"00ab12cd");
  EXPECT_EQ(HexText<char16_t>(0x800706BE, 8, HexLetters::kUpper), u"800706BE");
}

TEST(DecimalTextTest, DigitsPaddedWithBlanks) {
  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(4294967295u), "4294967295");
  EXPECT_EQ(DecimalText(18446744073709551615ull), "18446744073709551615");
  EXPECT_EQ(DecimalText(42, 6), "    42");
  EXPECT_EQ(DecimalText(1234567, 3), "1234567");
}

}  // namespace
}  // namespace brisk

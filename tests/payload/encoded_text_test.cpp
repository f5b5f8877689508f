#include "payload/encoded_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace brisk {
namespace {

struct Pair {
  std::string bytes;
  std::string encoded;
};

class PayloadEncodedTextPair : public ::testing::TestWithParam<Pair> {};

TEST_P(PayloadEncodedTextPair, EncodesAndDecodes) {
  EXPECT_EQ(EncodeText(GetParam().bytes), GetParam().encoded);
  EXPECT_EQ(DecodeText(GetParam().encoded), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Examples, PayloadEncodedTextPair,
                         ::testing::Values(Pair{"abc", "X9rO"}, Pair{"a", "X1"}, Pair{"ab", "X96"}, Pair{"", ""},
                                           Pair{std::string("\0\0\0", 3), "0000"}, Pair{"\xFF\xFF\xFF", "{{{{"}));

TEST(PayloadEncodedText, IncompleteLastGroupsYieldFewerBytes) {
  EXPECT_EQ(DecodeText("X9").size(), 1u);
  EXPECT_EQ(DecodeText("X9r").size(), 2u);
  EXPECT_EQ(DecodeText("X9r"), "ab");
  // A lone fifth symbol becomes one byte holding its value.
  EXPECT_EQ(DecodeText("X9rO{"), std::string("abc\x3F"));
  EXPECT_EQ(DecodeText("X9rOA"), std::string("abc\x0A"));
}

struct SymbolValue {
  char symbol;
  int value;
};

class PayloadEncodedTextSymbol : public ::testing::TestWithParam<SymbolValue> {};

// A single symbol decodes to its own value, which shows the alphabet's edges.
TEST_P(PayloadEncodedTextSymbol, LoneSymbolDecodesToItsValue) {
  const std::string decoded = DecodeText(std::string(1, GetParam().symbol));
  ASSERT_EQ(decoded.size(), 1u);
  EXPECT_EQ(static_cast<unsigned char>(decoded[0]), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Alphabet, PayloadEncodedTextSymbol,
                         ::testing::Values(SymbolValue{'0', 0}, SymbolValue{'9', 9}, SymbolValue{'A', 10},
                                           SymbolValue{'Z', 35}, SymbolValue{'[', 36}, SymbolValue{'a', 37},
                                           SymbolValue{'z', 62}, SymbolValue{'{', 63}, SymbolValue{'-', 0},
                                           SymbolValue{'@', 0}, SymbolValue{'\\', 0}, SymbolValue{'|', 0}));

TEST(PayloadEncodedText, ForeignCharactersCountAsZeroAndDoNotStopDecoding) {
  EXPECT_EQ(DecodeText("X-rO"), DecodeText("X0rO"));
  EXPECT_EQ(DecodeText("X9rO-X1"), DecodeText("X9rO0X1"));
  EXPECT_EQ(DecodeText("X9rO-X1").size(), 5u);
}

TEST(PayloadEncodedText, DecodingStopsAtAZeroCharacter) { EXPECT_EQ(DecodeText(std::string("X9rO\0X1", 7)), "abc"); }

TEST(PayloadEncodedText, EveryByteStringSurvivesARoundTrip) {
  std::mt19937 random(42);
  for (std::size_t length = 0; length < 64; ++length) {
    std::string bytes(length, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    const std::string encoded = EncodeText(bytes);
    EXPECT_EQ(encoded.size(), length / 3 * 4 + (length % 3 == 0 ? 0 : length % 3 + 1));
    EXPECT_EQ(encoded.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ[abcdefghijklmnopqrstuvwxyz{"),
              std::string::npos);
    EXPECT_EQ(DecodeText(encoded), bytes) << "length " << length;
  }
}

}  // namespace
}  // namespace brisk

#include "tools/addin_protocol/flat_json.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace brisk::addin {
namespace {

TEST(FlatJsonTest, ReadsEveryKindOfMember) {
  const auto json = FlatJson::Parse(R"( {"s":"a\"b\\c\n\u00e9\ud83d\ude00", "n":-42, "u":18446744073709551615,
                                       "t":true, "f":false, "z":null} )");
  ASSERT_TRUE(json);
  EXPECT_EQ(json->String("s"), "a\"b\\c\n\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(json->Signed("n"), -42);
  EXPECT_EQ(json->Unsigned("n"), std::nullopt);
  EXPECT_EQ(json->Unsigned("u"), UINT64_MAX);
  EXPECT_EQ(json->Signed("u"), std::nullopt) << "out of range for a signed value";
  EXPECT_EQ(json->Bool("t"), true);
  EXPECT_EQ(json->Bool("f"), false);
  ASSERT_NE(json->Find("z"), nullptr);
  EXPECT_EQ(json->Find("z")->kind, FlatJson::Kind::Null);
  EXPECT_EQ(json->String("n"), std::nullopt) << "a number is no string";
  EXPECT_EQ(json->Find("missing"), nullptr);
}

TEST(FlatJsonTest, NumbersWithFractionOrExponentAreNoIntegers) {
  const auto json = FlatJson::Parse(R"({"a":1.5,"b":2e3,"c":0})");
  ASSERT_TRUE(json);
  EXPECT_EQ(json->Signed("a"), std::nullopt);
  EXPECT_EQ(json->Signed("b"), std::nullopt);
  EXPECT_EQ(json->Signed("c"), 0);
}

TEST(FlatJsonTest, RefusesMalformedObjects) {
  const char* const cases[] = {
      "",
      "[]",
      R"({"a":1,})",
      R"({"a":1 "b":2})",
      R"({"a":{"b":1}})",
      R"({"a":[1]})",
      R"({"a":1,"a":2})",
      R"({"a":"\ud800"})",
      R"({"a":"\udc00x"})",
      R"({"a":"\x"})",
      R"({"a":"unterminated)",
      "{\"a\":\"tab\there\"}",
      R"({"a":01})",
      R"({"a":-})",
      R"({"a":tru})",
      R"({"a":1} trailing)",
      "{\"a\":\"\xC3\"}",
  };
  for (const char* text : cases) {
    std::string error;
    EXPECT_FALSE(FlatJson::Parse(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(FlatJsonTest, WriterOutputParsesBackToTheSameValues) {
  const std::string awkward = std::string("quote\" back\\ ctl\x01\x1F nul") + '\0' + " \xE2\x82\xAC";
  const std::string line = JsonLineWriter()
                               .Add("s", awkward)
                               .Add("i", std::int64_t{-9223372036854775807 - 1})
                               .Add("u", std::uint64_t{18446744073709551615u})
                               .Add("b", true)
                               .Line();
  ASSERT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line only";
  const auto json = FlatJson::Parse(line);
  ASSERT_TRUE(json);
  EXPECT_EQ(json->String("s"), awkward);
  EXPECT_EQ(json->Signed("i"), INT64_MIN);
  EXPECT_EQ(json->Unsigned("u"), UINT64_MAX);
  EXPECT_EQ(json->Bool("b"), true);
}

TEST(FlatJsonTest, WriterReplacesInvalidUtf8SoTheLineStillParses) {
  const std::string line = JsonLineWriter().Add("s", std::string("a\xFF" "b")).Line();
  const auto json = FlatJson::Parse(line);
  ASSERT_TRUE(json);
  EXPECT_EQ(json->String("s"), "a\xEF\xBF\xBD" "b");
}

}  // namespace
}  // namespace brisk::addin

#include "tools/json/json_io.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace brisk::json {
namespace {

TEST(JsonParseTest, ReadsEveryKindOfMember) {
  const auto json = ParseObject(R"( {"s":"a\"b\\c\n\u00e9\ud83d\ude00", "n":-42, "u":18446744073709551615,
                                    "t":true, "f":false, "z":null} )",
                                nullptr, kFlatDepth);
  ASSERT_TRUE(json);
  EXPECT_EQ(Member<std::string>(*json, "s"), "a\"b\\c\n\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(Member<std::int64_t>(*json, "n"), -42);
  EXPECT_EQ(Member<std::uint64_t>(*json, "n"), std::nullopt);
  EXPECT_EQ(Member<std::uint64_t>(*json, "u"), UINT64_MAX);
  EXPECT_EQ(Member<std::int64_t>(*json, "u"), std::nullopt) << "out of range for a signed value";
  EXPECT_EQ(Member<std::uint32_t>(*json, "u"), std::nullopt) << "out of range for 32 bits";
  EXPECT_EQ(Member<bool>(*json, "t"), true);
  EXPECT_EQ(Member<bool>(*json, "f"), false);
  ASSERT_TRUE(json->contains("z"));
  EXPECT_TRUE(json->at("z").is_null());
  EXPECT_EQ(Member<std::string>(*json, "n"), std::nullopt) << "a number is no string";
  EXPECT_EQ(Member<std::string>(*json, "missing"), std::nullopt);
  EXPECT_FALSE(json->contains("missing"));
}

TEST(JsonParseTest, NumbersWithFractionOrExponentAreNoIntegers) {
  const auto json = ParseObject(R"({"a":1.5,"b":2e3,"c":0})");
  ASSERT_TRUE(json);
  EXPECT_EQ(Member<std::int64_t>(*json, "a"), std::nullopt);
  EXPECT_EQ(Member<std::int64_t>(*json, "b"), std::nullopt);
  EXPECT_EQ(Member<std::int64_t>(*json, "c"), 0);
}

TEST(JsonParseTest, RefusesMalformedFlatObjects) {
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
    EXPECT_FALSE(ParseObject(text, &error, kFlatDepth)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(JsonParseTest, RefusesWhatIsNoSingleValue) {
  for (const char* text : {"", "{", "{\"a\":1,}", "{\"a\":1}x", "{\"a\":1,\"a\":2}", "[1,]", "\"\\x\"", "\"\\u12\"",
                           "{a:1}", "\"open", "[{\"a\":1,\"b\":{\"a\":2,\"a\":3}}]"}) {
    EXPECT_FALSE(Parse(text).has_value()) << text;
  }
}

TEST(JsonParseTest, NestsAndReadsEveryKind) {
  const std::optional<Json> value =
      Parse(R"( {"a":[1,-2,{"b":null}],"t":true,"f":false,"s":"x\"\\\/\n","n":12.5,"o":{"a":1}} )");
  ASSERT_TRUE(value.has_value());
  const Json& a = value->at("a");
  ASSERT_TRUE(a.is_array());
  ASSERT_EQ(a.size(), 3u);
  EXPECT_EQ(As<std::int64_t>(a[1]), std::optional<std::int64_t>(-2));
  EXPECT_TRUE(a[2].at("b").is_null());
  EXPECT_EQ(Member<bool>(*value, "t"), std::optional<bool>(true));
  EXPECT_EQ(Member<bool>(*value, "f"), std::optional<bool>(false));
  EXPECT_EQ(Member<std::string>(*value, "s"), std::optional<std::string>("x\"\\/\n"));
  EXPECT_FALSE(Member<std::int64_t>(*value, "n").has_value()) << "a fraction is no integer";
  EXPECT_FALSE(Member<std::string>(*value, "a").has_value());
  EXPECT_EQ(Member<std::int64_t>(value->at("o"), "a"), std::optional<std::int64_t>(1))
      << "the same name in another object is no repetition";
  EXPECT_FALSE(Member<std::int64_t>(a, "b").has_value()) << "an array has no members";
}

TEST(JsonParseTest, DeepNestingIsRefusedNotOverflowed) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  std::string error;
  EXPECT_FALSE(Parse(deep, &error).has_value());
  EXPECT_FALSE(error.empty());
  const std::string allowed = std::string(kMaxDepth, '[') + std::string(kMaxDepth, ']');
  EXPECT_TRUE(Parse(allowed).has_value());
}

TEST(JsonOneLineTest, WritesMembersInOrderWithoutBlanks) {
  Json object;
  object["seq"] = 3;
  object["type"] = "call";
  object["negative"] = -2147483648LL;
  object["real"] = 2.5;
  object["infinite"] = 1.0 / 0.0;
  object["yes"] = true;
  object["text"] = "\xC3\xA4";
  object["nothing"] = nullptr;
  object["list"] = Json::array({1, "two"});
  object["hr"] = "0x80040205";
  EXPECT_EQ(OneLine(object),
            "{\"seq\":3,\"type\":\"call\",\"negative\":-2147483648,\"real\":2.5,"
            "\"infinite\":null,\"yes\":true,\"text\":\"\xC3\xA4\",\"nothing\":null,"
            "\"list\":[1,\"two\"],\"hr\":\"0x80040205\"}");
  EXPECT_EQ(OneLine(Json::object()), "{}");
  EXPECT_EQ(OneLine(Json::array()), "[]");
}

TEST(JsonOneLineTest, EscapesWhatJsonRequiresAndKeepsTheRest) {
  const struct {
    std::string text;
    std::string json;
  } cases[] = {
      {"", "\"\""},
      {"plain", "\"plain\""},
      {"C:\\temp\\a \"b\"", "\"C:\\\\temp\\\\a \\\"b\\\"\""},
      {"line\nbreak\ttab\r", "\"line\\nbreak\\ttab\\r\""},
      {std::string("nul\0end", 7), "\"nul\\u0000end\""},
      {"\x01\x1F\x7F", "\"\\u0001\\u001f\x7F\""},
      {"\xC3\xA4\xE2\x82\xAC", "\"\xC3\xA4\xE2\x82\xAC\""},
      {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
      {"bad \xFF", "\"bad \xEF\xBF\xBD\""},
  };
  for (const auto& c : cases) EXPECT_EQ(OneLine(Json(c.text)), c.json) << c.json;
}

TEST(JsonOneLineTest, OutputParsesBackToTheSameValues) {
  const std::string awkward = std::string("quote\" back\\ ctl\x01\x1F nul") + '\0' + " \xE2\x82\xAC";
  const Json object = {{"s", awkward}, {"i", INT64_MIN}, {"u", UINT64_MAX}, {"b", true}};
  const std::string line = OneLine(object);
  EXPECT_EQ(line.find('\n'), std::string::npos) << "one line only";
  const auto json = ParseObject(line, nullptr, kFlatDepth);
  ASSERT_TRUE(json);
  EXPECT_EQ(Member<std::string>(*json, "s"), awkward);
  EXPECT_EQ(Member<std::int64_t>(*json, "i"), INT64_MIN);
  EXPECT_EQ(Member<std::uint64_t>(*json, "u"), UINT64_MAX);
  EXPECT_EQ(Member<bool>(*json, "b"), true);
}

TEST(JsonOneLineTest, InvalidUtf8IsReplacedSoTheLineStillParses) {
  const std::string line = OneLine(Json{{"s", std::string("a\xFF"
                                                          "b")}});
  const auto json = ParseObject(line);
  ASSERT_TRUE(json);
  EXPECT_EQ(Member<std::string>(*json, "s"),
            "a\xEF\xBF\xBD"
            "b");
}

}  // namespace
}  // namespace brisk::json

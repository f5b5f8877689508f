// The JSON lines of the stand-in host's call log.
#include "json_line.h"

#include <gtest/gtest.h>

namespace brisk::standin {
namespace {

TEST(JsonQuote, EscapesWhatJsonRequiresAndKeepsTheRest) {
  const struct {
    std::u16string text;
    std::string json;
  } cases[] = {
      {u"", "\"\""},
      {u"plain", "\"plain\""},
      {u"C:\\temp\\a \"b\"", "\"C:\\\\temp\\\\a \\\"b\\\"\""},
      {u"line\nbreak\ttab\r", "\"line\\nbreak\\ttab\\r\""},
      {std::u16string(u"nul\0end", 7), "\"nul\\u0000end\""},
      {u"\x01\x1F\x7F", "\"\\u0001\\u001F\\u007F\""},
      {u"\u00E4\u20AC", "\"\xC3\xA4\xE2\x82\xAC\""},
      {u"\U0001F600", "\"\xF0\x9F\x98\x80\""},
      // Unpaired surrogates are kept as escapes instead of being lost.
      {u"a\xD800z", "\"a\\uD800z\""},
      {u"\xDC00", "\"\\uDC00\""},
      {u"\xD800", "\"\\uD800\""},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonQuote(c.text), c.json) << c.json;
}

TEST(JsonQuoteUtf8, ReplacesInvalidBytes) {
  EXPECT_EQ(JsonQuoteUtf8("ok \xC3\xA4"), "\"ok \xC3\xA4\"");
  EXPECT_EQ(JsonQuoteUtf8("bad \xFF"), "\"bad \xEF\xBF\xBD\"");
}

TEST(JsonObject, WritesFieldsInOrder) {
  JsonArray array;
  array.Add("1").Add("\"two\"");
  JsonObject object;
  object.Number("seq", 3)
      .TextUtf8("type", "call")
      .Number("negative", -2147483648LL)
      .Real("real", 2.5)
      .Real("infinite", 1.0 / 0.0)
      .Boolean("yes", true)
      .Text("text", u"\u00E4")
      .Null("nothing")
      .Raw("list", array.str())
      .Raw("hr", JsonHex(0x80040205u));
  EXPECT_EQ(object.str(),
            "{\"seq\":3,\"type\":\"call\",\"negative\":-2147483648,\"real\":2.5,"
            "\"infinite\":null,\"yes\":true,\"text\":\"\xC3\xA4\",\"nothing\":null,"
            "\"list\":[1,\"two\"],\"hr\":\"0x80040205\"}");
  EXPECT_EQ(JsonObject().str(), "{}");
  EXPECT_EQ(JsonArray().str(), "[]");
}

}  // namespace
}  // namespace brisk::standin

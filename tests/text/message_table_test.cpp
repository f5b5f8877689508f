// Reading texts back from the message table.
#include <gtest/gtest.h>

#include "resource_builder.h"
#include "text/message_table.h"

namespace brisk {
namespace {

MessageTable TableWith(int slot, std::string_view text) {
  MessageTable table;
  test::ResourceBuilder resource;
  resource.Header(1).Entry(static_cast<std::uint32_t>(slot), text);
  ByteReader reader(resource.Data());
  table.LoadFromResource(reader);
  return table;
}

TEST(MessageTable, AbsentSlotGivesEmptyTexts) {
  MessageTable table = TableWith(3, "OK");
  EXPECT_FALSE(table.HasText(4));
  EXPECT_EQ(table.TextW(4), u"");
  EXPECT_EQ(table.TextA(4), "");
  EXPECT_TRUE(table.HasText(3));
}

TEST(MessageTable, BackslashNBecomesALineFeedInBothForms) {
  MessageTable table = TableWith(11, "first\\nsecond\\n");
  EXPECT_EQ(table.TextW(11), u"first\nsecond\n");
  EXPECT_EQ(table.TextA(11), "first\nsecond\n");
}

TEST(MessageTable, OtherBackslashesStay) {
  MessageTable table = TableWith(11, "a\\\\nb\\r\\N\\");
  EXPECT_EQ(table.TextW(11), u"a\\\nb\\r\\N\\");
  EXPECT_EQ(table.TextA(11), "a\\\nb\\r\\N\\");
}

TEST(MessageTable, TextAReplacesInTheStoredText) {
  MessageTable table = TableWith(11, "a\\nb");
  EXPECT_EQ(table.TextA(11), "a\nb");
  EXPECT_EQ(table.Texts().at(11), "a\nb");
  EXPECT_EQ(table.TextW(11), u"a\nb");
  EXPECT_EQ(table.TextA(11), "a\nb");
}

TEST(MessageTable, TextWConvertsUtf8IncludingSurrogatePairs) {
  MessageTable table = TableWith(11, "Lizenz \xC3\xA4 \xE2\x82\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(table.TextW(11), u"Lizenz \u00E4 \u20AC \U0001F600");
}

TEST(MessageTable, TextWStopsAtTheFirstMalformedSequence) {
  struct Case {
    const char* stored;
    std::u16string wide;
  };
  const Case cases[] = {
      {"ab\xFF"
       "cd",
       u"ab"},                    // invalid lead byte
      {"ab\xC3", u"ab"},          // cut-off sequence at the end
      {"ab\xC3(cd", u"ab"},       // missing continuation byte
      {"ab\xC0\xAF", u"ab"},      // overlong form
      {"ab\xED\xA0\x80", u"ab"},  // encoded surrogate
      {"\xF4\x90\x80\x80", u""},  // beyond U+10FFFF
      {"\x80", u""},              // lone continuation byte
  };
  for (const Case& c : cases) {
    MessageTable table = TableWith(11, c.stored);
    EXPECT_EQ(table.TextW(11), c.wide) << c.stored;
    EXPECT_EQ(table.TextA(11), c.stored);
  }
}

}  // namespace
}  // namespace brisk

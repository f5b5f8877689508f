// Text macros: the table, expansion and the standard macros.
#include <gtest/gtest.h>

#include "fake_macro_environment.h"
#include "text/macro_table.h"

namespace brisk {
namespace {

using test::FakeMacroEnvironment;

struct ExpandCase {
  const char* name;
  std::u16string text;
  std::u16string expanded;
};

class Expand : public testing::TestWithParam<ExpandCase> {
 protected:
  Expand() {
    table_.SetMacro(u"APPNAME", u"Budget");
    table_.SetMacro(u"EMPTY", u"");
    table_.SetMacro(u"NESTED", u"<?APPNAME?>");
    table_.SetMacro(u"A B", u"spaced");
    table_.SetMacro(u">X", u"never");
  }
  MacroTable table_;
};

TEST_P(Expand, Wide) { EXPECT_EQ(table_.ExpandW(GetParam().text), GetParam().expanded); }

// The narrow expansion on the ASCII form of the same texts.
TEST_P(Expand, Narrow) {
  std::string narrow(GetParam().text.begin(), GetParam().text.end());
  std::string expected(GetParam().expanded.begin(), GetParam().expanded.end());
  EXPECT_EQ(table_.ExpandA(narrow), expected);
}

const ExpandCase kExpandCases[] = {
    {"NoMacro", u"plain text", u"plain text"},
    {"Empty", u"", u""},
    {"Whole", u"<?APPNAME?>", u"Budget"},
    {"Embedded", u"Welcome to <?APPNAME?>!", u"Welcome to Budget!"},
    {"Repeated", u"<?APPNAME?><?APPNAME?> <?APPNAME?>", u"BudgetBudget Budget"},
    {"EmptyValue", u"[<?EMPTY?>]", u"[]"},
    {"NameWithBlank", u"<?A B?>", u"spaced"},
    {"Unknown", u"x <?UNKNOWN?> y", u"x <?UNKNOWN?> y"},
    {"UnknownThenKnown", u"<?UNKNOWN?><?APPNAME?>", u"<?UNKNOWN?>Budget"},
    {"EmptyName",
     u"a<?"
     u"?>b",
     u"a<?"
     u"?>b"},
    {"CaseSensitive", u"<?appname?> <?AppName?>", u"<?appname?> <?AppName?>"},
    {"ValueNotExpandedAgain", u"<?NESTED?>", u"<?APPNAME?>"},
    {"UnclosedAtEnd", u"Hello <?APPNAME", u"Hello <?APPNAME"},
    {"UnclosedAfterMacro", u"<?APPNAME?> and <?APPNAME", u"Budget and <?APPNAME"},
    {"OnlyOpening", u"<?", u"<?"},
    {"SharedQuestionMark", u"a<?>b", u"a<?>b"},
    {"SharedQuestionMarkThenMacro", u"<?><?APPNAME?>", u"<?>Budget"},
    {"SharedQuestionMarkNeverNamesAMacro", u"<?>X", u"<?>X"},
    {"ClosingNameIsShortest", u"<?APPNAME?>?>", u"Budget?>"},
    {"OpeningInsideName", u"<?<?APPNAME?>", u"<?<?APPNAME?>"},
    {"LoneClosing", u"?> <?APPNAME?> ?>", u"?> Budget ?>"},
};

INSTANTIATE_TEST_SUITE_P(Cases, Expand, testing::ValuesIn(kExpandCases),
                         [](const testing::TestParamInfo<ExpandCase>& info) { return info.param.name; });

TEST(MacroTable, SetReplacesAndGetGivesEmptyWhenAbsent) {
  MacroTable table;
  EXPECT_FALSE(table.HasMacro(u"APPNAME"));
  EXPECT_EQ(table.GetMacro(u"APPNAME"), u"");
  table.SetMacro(u"APPNAME", u"first");
  table.SetMacro(u"APPNAME", u"second");
  table.SetMacro(u"EMPTY", u"");
  EXPECT_EQ(table.GetMacro(u"APPNAME"), u"second");
  EXPECT_TRUE(table.HasMacro(u"EMPTY"));
  EXPECT_FALSE(table.HasMacro(u"appname"));
  EXPECT_EQ(table.Macros().size(), 2u);
}

TEST(MacroTable, ExpandWKeepsCharactersBeyondTheBasicPlane) {
  MacroTable table;
  table.SetMacro(u"\U0001F600", u"\u00E9\U0001F601");
  EXPECT_EQ(table.ExpandW(u"\U0001F602<?\U0001F600?>"), u"\U0001F602\u00E9\U0001F601");
}

TEST(MacroTable, ExpandAConvertsValuesThroughTheEnvironment) {
  FakeMacroEnvironment environment;
  MacroTable table(&environment);
  table.SetMacro(u"APPNAME", u"Caf\u00E9 \u65E5\u672C");
  EXPECT_EQ(table.ExpandA("[<?APPNAME?>] \xC3\xA9"), "[Caf? ??] \xC3\xA9");
}

TEST(MacroTable, ExpandAWithoutEnvironmentGivesUtf8) {
  MacroTable table;
  table.SetMacro(u"APPNAME", u"Caf\u00E9 \U0001F600");
  table.SetMacro(u"BROKEN", std::u16string(u"a") + char16_t(0xD800) + u"b" + char16_t(0xDC00));
  EXPECT_EQ(table.ExpandA("<?APPNAME?>"), "Caf\xC3\xA9 \xF0\x9F\x98\x80");
  EXPECT_EQ(table.ExpandA("<?BROKEN?>"), "a?b?");
}

// A narrow name is widened byte by byte, so only a macro whose name holds the
// same code units (here U+00E9 from byte E9) is found.
TEST(MacroTable, ExpandAWidensNamesByteByByte) {
  MacroTable table;
  table.SetMacro(u"CAF\u00C9", u"latin");
  table.SetMacro(u"\u00E9", u"one byte");
  EXPECT_EQ(table.ExpandA("<?CAF\xC9?>"), "latin");
  EXPECT_EQ(table.ExpandA("<?\xE9?>"), "one byte");
  EXPECT_EQ(table.ExpandA("<?\xC3\xA9?>"), "<?\xC3\xA9?>");
}

TEST(AppVersion, PrintsTheThreeTopBytes) {
  EXPECT_EQ(FormatAppVersion(0x010203FF), u"1.2.3");
  EXPECT_EQ(FormatAppVersion(0), u"0.0.0");
  EXPECT_EQ(FormatAppVersion(0xFFFEFD00), u"255.254.253");
  EXPECT_EQ(FormatAppVersion(0x0A141E28), u"10.20.30");
}

TEST(Refresh, SetsTheStandardMacros) {
  FakeMacroEnvironment environment;
  environment.values = {u"Budget", u"Budget planner", 0x01020300, u"C:\\Apps\\Budget"};
  MacroTable table(&environment);
  table.Refresh();
  EXPECT_EQ(table.Macros(), (MacroTable::MacroMap{{u"APPNAME", u"Budget"},
                                                  {u"APPINFO", u"Budget planner"},
                                                  {u"APPVER", u"1.2.3"},
                                                  {u"EXEPATH", u"C:\\Apps\\Budget"},
                                                  {u"MYDOCUMENTS", u"C:\\Users\\u\\Documents"},
                                                  {u"DESKTOP", u"C:\\Users\\u\\Desktop"}}));
  EXPECT_EQ(table.ExpandW(u"<?APPNAME?> <?APPVER?>"), u"Budget 1.2.3");
}

TEST(Refresh, OverwritesEarlierValues) {
  FakeMacroEnvironment environment;
  environment.values.appName = u"First";
  MacroTable table(&environment);
  table.SetMacro(u"APPVER", u"old");
  table.Refresh();
  environment.values.appName = u"Second";
  table.Refresh();
  EXPECT_EQ(table.GetMacro(u"APPNAME"), u"Second");
  EXPECT_EQ(table.GetMacro(u"APPVER"), u"0.0.0");
}

TEST(Refresh, EmptyDocumentsPathIsSetButEmptyDesktopPathIsNot) {
  FakeMacroEnvironment environment;
  environment.documents = {kFolderQueryOk, u""};
  environment.desktop = {kFolderQueryOk, u""};
  MacroTable table(&environment);
  table.Refresh();
  EXPECT_TRUE(table.HasMacro(u"MYDOCUMENTS"));
  EXPECT_EQ(table.GetMacro(u"MYDOCUMENTS"), u"");
  EXPECT_FALSE(table.HasMacro(u"DESKTOP"));
  EXPECT_EQ(table.ExpandW(u"<?MYDOCUMENTS?>|<?DESKTOP?>"), u"|<?DESKTOP?>");
}

// Only S_OK counts: S_FALSE (1) and errors leave the macro as it was.
TEST(Refresh, FailedFolderQueryKeepsThePreviousValue) {
  FakeMacroEnvironment environment;
  MacroTable table(&environment);
  table.Refresh();
  for (std::int32_t status : {1, static_cast<std::int32_t>(0x80070057)}) {
    environment.documents = {status, u"D:\\elsewhere"};
    environment.desktop = {status, u"D:\\elsewhere"};
    table.Refresh();
    EXPECT_EQ(table.GetMacro(u"MYDOCUMENTS"), u"C:\\Users\\u\\Documents");
    EXPECT_EQ(table.GetMacro(u"DESKTOP"), u"C:\\Users\\u\\Desktop");
  }
}

TEST(Refresh, FailedFolderQueryLeavesTheMacroAbsent) {
  FakeMacroEnvironment environment;
  environment.documents = {1, u"D:\\x"};
  environment.desktop = {-1, u"D:\\x"};
  MacroTable table(&environment);
  table.Refresh();
  EXPECT_FALSE(table.HasMacro(u"MYDOCUMENTS"));
  EXPECT_FALSE(table.HasMacro(u"DESKTOP"));
  EXPECT_TRUE(table.HasMacro(u"APPNAME"));
}

TEST(Refresh, WithoutEnvironmentSetsNothing) {
  MacroTable table;
  table.Refresh();
  EXPECT_TRUE(table.Macros().empty());
  EXPECT_EQ(table.ExpandW(u"<?APPNAME?>"), u"<?APPNAME?>");
}

}  // namespace
}  // namespace brisk

// The message getters: table text or built-in default, macros, blank marker.
#include <gtest/gtest.h>

#include "fake_macro_environment.h"
#include "payload/encoded_strings.h"
#include "resource_builder.h"
#include "text/message_table.h"

namespace brisk {
namespace {

// The slots that the launcher reads, with their built-in defaults.
struct SlotDefault {
  int slot;
  int defaultNumber;
};
constexpr SlotDefault kSlotDefaults[] = {
    {kOkBtnTitle, kOkButtonDefault},
    {kCancelBtnTitle, kCancelButtonDefault},
    {kWarningTitle, kWarningTitleDefault},
    {kEulaTitle, kEulaTitleDefault},
    {kIAgreeBtnTitle, kIAgreeButtonDefault},
    {kDeclineBtnTitle, kDeclineButtonDefault},
    {kAppPasswordProtected, kAppPasswordProtectedDefault},
    {kPasswordWord, kPasswordWordDefault},
    {kPasswordIsIncorrect, kPasswordIncorrectDefault},
    {kAppAlreadyStarted, kAppAlreadyStartedDefault},
};

class MessageText : public testing::Test {
 protected:
  MessageText() {
    environment_.values = {u"Budget", u"Budget planner", 0x01020300, u"C:\\Apps"};
    macros_.Refresh();
  }

  void Load(const test::ResourceBuilder& resource) {
    ByteReader reader(resource.Data());
    table_.LoadFromResource(reader);
  }
  void LoadOne(int slot, std::string_view text) {
    test::ResourceBuilder resource;
    resource.Header(1).Entry(static_cast<std::uint32_t>(slot), text);
    Load(resource);
  }

  test::FakeMacroEnvironment environment_;
  MacroTable macros_{&environment_};
  MessageTable table_;
};

TEST_F(MessageText, DefaultsWithoutTables) {
  for (const SlotDefault& entry : kSlotDefaults) {
    EXPECT_FALSE(GetEncodedStringW(entry.defaultNumber).empty()) << entry.defaultNumber;
    EXPECT_EQ(GetMessageTextW(nullptr, nullptr, entry.slot, entry.defaultNumber),
              GetEncodedStringW(entry.defaultNumber));
    EXPECT_EQ(GetMessageTextA(nullptr, nullptr, entry.slot, entry.defaultNumber),
              GetEncodedStringA(entry.defaultNumber));
  }
}

TEST_F(MessageText, OneByteResourceGivesTheDefaults) {
  test::ResourceBuilder resource;
  resource.Bytes("1");
  Load(resource);
  for (const SlotDefault& entry : kSlotDefaults) {
    EXPECT_EQ(GetMessageTextW(&table_, &macros_, entry.slot, entry.defaultNumber),
              macros_.ExpandW(GetEncodedStringW(entry.defaultNumber)));
    EXPECT_EQ(GetMessageTextA(&table_, &macros_, entry.slot, entry.defaultNumber),
              macros_.ExpandA(GetEncodedStringA(entry.defaultNumber)));
  }
}

TEST_F(MessageText, TableTextReplacesTheDefault) {
  LoadOne(kEulaTitle, "Lizenzvertrag f\xC3\xBCr <?APPNAME?>");
  EXPECT_EQ(GetMessageTextW(&table_, &macros_, kEulaTitle, kEulaTitleDefault), u"Lizenzvertrag f\u00FCr Budget");
  EXPECT_EQ(GetMessageTextA(&table_, &macros_, kEulaTitle, kEulaTitleDefault), "Lizenzvertrag f\xC3\xBCr Budget");
}

TEST_F(MessageText, LengthZeroEntryGivesTheDefault) {
  LoadOne(kWarningTitle, "");
  EXPECT_EQ(GetMessageTextW(&table_, &macros_, kWarningTitle, kWarningTitleDefault),
            GetEncodedStringW(kWarningTitleDefault));
}

TEST_F(MessageText, LaterEntryWins) {
  test::ResourceBuilder resource;
  resource.Header(2).Entry(kOkBtnTitle, "first").Entry(kOkBtnTitle, "second");
  Load(resource);
  EXPECT_EQ(GetMessageTextW(&table_, &macros_, kOkBtnTitle, kOkButtonDefault), u"second");
}

TEST_F(MessageText, BackslashNInTheTableGivesTwoLines) {
  LoadOne(kPasswordIsIncorrect, "Wrong\\npassword");
  EXPECT_EQ(GetMessageTextW(&table_, &macros_, kPasswordIsIncorrect, kPasswordIncorrectDefault), u"Wrong\npassword");
  EXPECT_EQ(GetMessageTextA(&table_, &macros_, kPasswordIsIncorrect, kPasswordIncorrectDefault), "Wrong\npassword");
}

TEST_F(MessageText, BackslashNInADefaultStays) {
  const std::string raw = GetEncodedStringA(kAppAlreadyStartedDefault);
  ASSERT_NE(raw.find("\\n"), std::string::npos) << "this default carries the escape";
  std::string narrow = GetMessageTextA(&table_, &macros_, kAppAlreadyStarted, kAppAlreadyStartedDefault);
  std::u16string wide = GetMessageTextW(&table_, &macros_, kAppAlreadyStarted, kAppAlreadyStartedDefault);
  EXPECT_EQ(narrow, macros_.ExpandA(raw));
  EXPECT_NE(narrow.find("\\n"), std::string::npos);
  EXPECT_NE(wide.find(u"\\n"), std::u16string::npos);
  EXPECT_EQ(narrow.find('\n'), std::string::npos);
}

TEST_F(MessageText, BlankMarkerGivesAnEmptyText) {
  LoadOne(kDeclineBtnTitle, "\\r");
  EXPECT_EQ(GetMessageTextW(&table_, &macros_, kDeclineBtnTitle, kDeclineButtonDefault), u"");
  EXPECT_EQ(GetMessageTextA(&table_, &macros_, kDeclineBtnTitle, kDeclineButtonDefault), "");
  EXPECT_EQ(GetMessageTextW(&table_, nullptr, kDeclineBtnTitle, kDeclineButtonDefault), u"");
}

TEST_F(MessageText, BlankMarkerAfterExpansionGivesAnEmptyText) {
  macros_.SetMacro(u"NOTHING", u"\\r");
  LoadOne(kIAgreeBtnTitle, "<?NOTHING?>");
  EXPECT_EQ(GetMessageTextW(&table_, &macros_, kIAgreeBtnTitle, kIAgreeButtonDefault), u"");
  EXPECT_EQ(GetMessageTextA(&table_, &macros_, kIAgreeBtnTitle, kIAgreeButtonDefault), "");
}

TEST_F(MessageText, BlankMarkerOnlyWhenItIsTheWholeText) {
  LoadOne(kDeclineBtnTitle, "\\r\\r");
  EXPECT_EQ(GetMessageTextW(&table_, &macros_, kDeclineBtnTitle, kDeclineButtonDefault), u"\\r\\r");
  LoadOne(kDeclineBtnTitle, " \\r");
  EXPECT_EQ(GetMessageTextA(&table_, &macros_, kDeclineBtnTitle, kDeclineButtonDefault), " \\r");
}

TEST_F(MessageText, InvalidUtf8FallsBackToTheDefaultOnlyWhenNothingConverts) {
  LoadOne(kEulaTitle, "\xFF\xFE licence");
  EXPECT_EQ(GetMessageTextW(&table_, &macros_, kEulaTitle, kEulaTitleDefault), GetEncodedStringW(kEulaTitleDefault));
  EXPECT_EQ(GetMessageTextA(&table_, &macros_, kEulaTitle, kEulaTitleDefault), "\xFF\xFE licence");
  LoadOne(kEulaTitle, "Licence \xFF rest");
  EXPECT_EQ(GetMessageTextW(&table_, &macros_, kEulaTitle, kEulaTitleDefault), u"Licence ");
}

TEST_F(MessageText, AppNameAndVersion) {
  LoadOne(kApplicationTitleSlot, "<?APPNAME?> <?APPVER?>");
  EXPECT_EQ(GetMessageTextW(&table_, &macros_, kApplicationTitleSlot, kWarningTitleDefault), u"Budget 1.2.3");
  EXPECT_EQ(GetMessageTextA(&table_, &macros_, kApplicationTitleSlot, kWarningTitleDefault), "Budget 1.2.3");
}

// Narrow message texts are UTF-8 and become notices shown after conversion
// from UTF-8: a macro value goes in as UTF-8, not in the ANSI code page.
TEST_F(MessageText, NarrowTextGetsValuesAsUtf8) {
  environment_.values.appName = u"Caf\u00E9";
  macros_.Refresh();
  LoadOne(kPasswordIsIncorrect, "<?APPNAME?>: \xC3\xA9");
  EXPECT_EQ(GetMessageTextA(&table_, &macros_, kPasswordIsIncorrect, kPasswordIncorrectDefault),
            "Caf\xC3\xA9: \xC3\xA9");
  // The plain narrow expansion, for ANSI texts, still uses the code page.
  EXPECT_EQ(macros_.ExpandA("<?APPNAME?>"), "Caf?");
  EXPECT_EQ(GetMessageTextW(&table_, &macros_, kPasswordIsIncorrect, kPasswordIncorrectDefault), u"Caf\u00E9: \u00E9");
}

TEST_F(MessageText, WithoutMacroTableMacrosStay) {
  LoadOne(kEulaTitle, "<?APPNAME?>");
  EXPECT_EQ(GetMessageTextW(&table_, nullptr, kEulaTitle, kEulaTitleDefault), u"<?APPNAME?>");
  EXPECT_EQ(GetMessageTextA(&table_, nullptr, kEulaTitle, kEulaTitleDefault), "<?APPNAME?>");
}

TEST_F(MessageText, GettersOverUserTextsUseItsTables) {
  LoadOne(kEulaTitle, "<?APPNAME?> licence");
  EXPECT_EQ(GetMessageTextW(UserTexts{}, kEulaTitle, kEulaTitleDefault), GetEncodedStringW(kEulaTitleDefault));
  const UserTexts texts{&table_, &macros_};
  std::u16string wide = GetMessageTextW(texts, kEulaTitle, kEulaTitleDefault);
  std::string narrow = GetMessageTextA(texts, kEulaTitle, kEulaTitleDefault);
  EXPECT_EQ(wide, u"Budget licence");
  EXPECT_EQ(narrow, "Budget licence");
}

}  // namespace
}  // namespace brisk

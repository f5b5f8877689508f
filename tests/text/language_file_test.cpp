// The text form of the message table.
#include <gtest/gtest.h>

#include <optional>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "resource_builder.h"
#include "text/language_file.h"
#include "text/language_file_io.h"
#include "text/message_table.h"

namespace brisk {
namespace {

using namespace std::string_literals;

// The stored text of EULA_TITLE after reading `file`, if any.
std::optional<std::string> EulaTitle(std::string_view file) {
  MessageTable table;
  table.LoadFromLanguageText(file);
  auto found = table.Texts().find(kEulaTitle);
  if (found == table.Texts().end()) return std::nullopt;
  return found->second;
}

struct FormCase {
  const char* name;
  std::string file;
  std::optional<std::string> eulaTitle;
};

class TextForm : public testing::TestWithParam<FormCase> {};

TEST_P(TextForm, EulaTitle) { EXPECT_EQ(EulaTitle(GetParam().file), GetParam().eulaTitle); }

const FormCase kFormCases[] = {
    {"Plain", "[content]\nEULA_TITLE=Licence\n", "Licence"},
    {"NoFinalLineFeed", "[content]\nEULA_TITLE=Licence", "Licence"},
    {"BlankBeforeEquals", "[content]\nEULA_TITLE =Licence\n", std::nullopt},
    {"BlanksAfterEqualsSkipped", "[content]\nEULA_TITLE= \t Licence\n", "Licence"},
    {"TrailingBlanksKept", "[content]\nEULA_TITLE=Licence \t\n", "Licence \t"},
    {"OnlyBlanksIsEmpty", "[content]\nEULA_TITLE=  \t\n", std::nullopt},
    {"EmptyValue", "[content]\nEULA_TITLE=\n", std::nullopt},
    {"LeadingBlanksBeforeKey", "[content]\n \t EULA_TITLE=Licence\n", "Licence"},
    {"ValueWithEquals", "[content]\nEULA_TITLE=a=b\n", "a=b"},
    {"Comment", "[content]\n;EULA_TITLE=Licence\n", std::nullopt},
    {"SemicolonAfterBlanksIsPartOfTheKey", "[content]\n ;EULA_TITLE=Licence\n", std::nullopt},
    {"KeyIsCaseSensitive", "[content]\nEula_Title=Licence\n", std::nullopt},
    {"FirstEntryWins", "[content]\nEULA_TITLE=first\nEULA_TITLE=second\n", "first"},
    {"EmptyFirstEntryHidesTheSecond", "[content]\nEULA_TITLE=\nEULA_TITLE=second\n", std::nullopt},
    {"ContentTwiceOnlyFirstRead", "[content]\nWARNING_TITLE=w\n[content]\nEULA_TITLE=second\n", std::nullopt},
    {"ContentTwiceFirstWins", "[content]\nEULA_TITLE=first\n[content]\nEULA_TITLE=second\n", "first"},
    {"OtherSectionIgnored", "[other]\nEULA_TITLE=Licence\n", std::nullopt},
    {"BeforeAnyHeaderIgnored", "EULA_TITLE=Licence\n[content]\n", std::nullopt},
    {"SectionNameCaseSensitive", "[Content]\nEULA_TITLE=Licence\n", std::nullopt},
    {"SectionNameLeadingBlanksRemoved", "  [ \tcontent]\nEULA_TITLE=Licence\n", "Licence"},
    {"SectionNameTrailingBlankKept", "[content ]\nEULA_TITLE=Licence\n", std::nullopt},
    {"TextAfterBracketIgnored", "[content] trailing\nEULA_TITLE=Licence\n", "Licence"},
    {"EmptyHeaderKeepsSection", "[content]\n[]\nEULA_TITLE=Licence\n", "Licence"},
    {"BlankHeaderKeepsSection", "[content]\n[  ]\nEULA_TITLE=Licence\n", "Licence"},
    {"EmptyHeaderKeepsOtherSection", "[other]\n[]\nEULA_TITLE=Licence\n[content]\n", std::nullopt},
    {"UnclosedHeaderIsAnEntry", "[content]\n[EULA_TITLE=x\nEULA_TITLE=Licence\n", "Licence"},
    {"EmptyKeyIgnored", "[content]\n=x\nEULA_TITLE=Licence\n", "Licence"},
    {"CrLf", "[content]\r\nEULA_TITLE=Licence\r\n", "Licence"},
    {"CutAtLastCarriageReturn", "[content]\nEULA_TITLE=a\rb\rc\n", "a\rb"},
    {"CarriageReturnWithoutLineFeed", "[content]\nEULA_TITLE=a\rb", "a"},
    {"CarriageReturnOnlyLinesAreOneLine", "[content]\rEULA_TITLE=Licence\r", std::nullopt},
    {"ZeroByteEndsTheLine", "[content]\nEULA_TITLE=ab\0cd\nWARNING_TITLE=w\n"s, "ab"},
    {"EscapeKeptInStore", "[content]\nEULA_TITLE=a\\nb\n", "a\\nb"},
    {"Utf8Kept", "[content]\nEULA_TITLE=Lizenz\xC3\xA4\n", "Lizenz\xC3\xA4"},
    {"EmptyFile", "", std::nullopt},
    {"OnlyHeader", "[content]", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Cases, TextForm, testing::ValuesIn(kFormCases),
                         [](const testing::TestParamInfo<FormCase>& info) { return info.param.name; });

TEST(TextForm, EveryKeyGoesToItsSlot) {
  std::string file = "[content]\n";
  for (const MessageKey& key : kMessageKeys) file += std::string(key.name) + "=text " + std::to_string(key.slot) + "\n";
  MessageTable table;
  table.LoadFromLanguageText(file);
  ASSERT_EQ(table.Texts().size(), kMessageKeys.size());
  for (const MessageKey& key : kMessageKeys) EXPECT_EQ(table.Texts().at(key.slot), "text " + std::to_string(key.slot));
}

TEST(TextForm, UnknownKeysAreNotStored) {
  MessageTable table;
  table.LoadFromLanguageText("[content]\nSOME_OTHER_KEY=x\n20=y\n");
  EXPECT_TRUE(table.Texts().empty());
}

// A line longer than a piece goes on as a line of its own.
TEST(TextForm, LongLinesAreReadInPiecesOf4095Bytes) {
  const std::string prefix = "EULA_TITLE=";
  const std::string value(kLanguageLinePiece - prefix.size(), 'a');
  MessageTable table;
  table.LoadFromLanguageText("[content]\n" + prefix + value + "WARNING_TITLE=w\nOK_BTN_TITLE=ok\n");
  EXPECT_EQ(table.Texts().at(kEulaTitle), value);
  EXPECT_EQ(table.Texts().at(kWarningTitle), "w");
  EXPECT_EQ(table.Texts().at(kOkBtnTitle), "ok");
}

TEST(TextForm, LineOfExactlyOnePieceIsWhole) {
  const std::string prefix = "EULA_TITLE=";
  const std::string value(kLanguageLinePiece - prefix.size() - 1, 'a');
  MessageTable table;
  table.LoadFromLanguageText("[content]\n" + prefix + value + "\nWARNING_TITLE=w\n");
  EXPECT_EQ(table.Texts().at(kEulaTitle), value);
  EXPECT_EQ(table.Texts().at(kWarningTitle), "w");
}

TEST(TextForm, SectionsAreKeptInFileOrder) {
  auto sections = ParseLanguageText("a=1\n[one]\nb=2\n[two]\nc=3\n[one]\nd=4\n");
  ASSERT_EQ(sections.size(), 4u);
  EXPECT_EQ(sections[0].name, "");
  EXPECT_EQ(sections[3].name, "one");
  EXPECT_EQ(*FindEntry(sections[3], "d"), "4");
  EXPECT_EQ(FindSection(sections, "one"), &sections[1]);
  EXPECT_EQ(FindSection(sections, "three"), nullptr);
}

TEST(TextForm, TheTableIsNeverCleared) {
  MessageTable table;
  test::ResourceBuilder resource;
  resource.Header(2).Entry(kWarningTitle, "from resource").Entry(kEulaTitle, "old");
  ByteReader reader(resource.Data());
  table.LoadFromResource(reader);
  table.LoadFromLanguageText("[content]\nEULA_TITLE=new\nWARNING_TITLE=\n");
  EXPECT_EQ(table.Texts().at(kWarningTitle), "from resource");
  EXPECT_EQ(table.Texts().at(kEulaTitle), "new");
}

class LanguageFile : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    folder_ = std::filesystem::temp_directory_path() /
              ("brisk_text_" + std::to_string(random()) + "_" + std::to_string(random()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
  }
  std::filesystem::path Write(const std::filesystem::path& name, std::string_view bytes) {
    std::filesystem::path path = folder_ / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  std::filesystem::path folder_;
};

// A note as the tools print it; empty for none.
std::string Text(const std::optional<LanguageNote>& note) { return note ? LanguageNoteText(*note) : ""; }

std::vector<std::string> Texts(const std::vector<LanguageNote>& notes) {
  std::vector<std::string> texts;
  for (const LanguageNote& note : notes) texts.push_back(LanguageNoteText(note));
  return texts;
}

TEST_F(LanguageFile, LoadsAFile) {
  MessageTable table;
  EXPECT_EQ(Text(LoadLanguageFile(table, Write("lang.ini", "; comment\r\n[content]\r\nEULA_TITLE=Licence\r\n"))), "");
  EXPECT_EQ(table.Texts(), (MessageTable::TextMap{{kEulaTitle, "Licence"}}));
}

TEST_F(LanguageFile, LoadsAFileWithANonAsciiPath) {
  MessageTable table;
  EXPECT_EQ(Text(LoadLanguageFile(table, Write(u8"spr\u00E5k \u8BED.ini", "[content]\nEULA_TITLE=Licence\n"))), "");
  EXPECT_EQ(table.Texts(), (MessageTable::TextMap{{kEulaTitle, "Licence"}}));
}

TEST_F(LanguageFile, MissingEmptyOrFolderPathChangesNothing) {
  MessageTable table;
  table.LoadFromLanguageText("[content]\nEULA_TITLE=kept\n");
  EXPECT_EQ(Text(LoadLanguageFile(table, {})), "cannot read the file: no file is named");
  EXPECT_EQ(Text(LoadLanguageFile(table, folder_ / "missing.ini")), "cannot read the file: no such file");
  EXPECT_EQ(Text(LoadLanguageFile(table, folder_)), "cannot read the file: it is a folder");
  EXPECT_EQ(table.Texts(), (MessageTable::TextMap{{kEulaTitle, "kept"}}));
}

TEST_F(LanguageFile, RefusedFileChangesNothing) {
  MessageTable table;
  table.LoadFromLanguageText("[content]\nEULA_TITLE=kept\n");
  EXPECT_EQ(Text(LoadLanguageFile(table, Write("utf16.ini", std::string("\xFF\xFE[\0c\0", 6)))),
            "the file is UTF-16; save it as UTF-8");
  const std::filesystem::path large = Write("large.ini", "[content]\n");
  std::filesystem::resize_file(large, 4 * 1024 * 1024 + 1);
  EXPECT_EQ(Text(LoadLanguageFile(table, large)), "larger than 4 MiB: not a language file");
  EXPECT_EQ(table.Texts(), (MessageTable::TextMap{{kEulaTitle, "kept"}}));
}

struct CheckCase {
  const char* name;
  std::string file;
  std::string error;  // empty: accepted
  std::vector<std::string> warnings = {};
};

class LanguageCheck : public testing::TestWithParam<CheckCase> {};

TEST_P(LanguageCheck, AcceptsOrNamesTheLine) {
  const LanguageTextCheck check = CheckLanguageText(GetParam().file);
  EXPECT_EQ(Text(check.error), GetParam().error);
  EXPECT_EQ(Texts(check.warnings), GetParam().warnings);
  if (GetParam().error.empty()) {
    MessageTable table;
    table.LoadFromLanguageText(check.text);
    EXPECT_EQ(table.Texts().at(kEulaTitle), "Licence");
  }
}

const CheckCase kCheckCases[] = {
    {"Plain", "[content]\nEULA_TITLE=Licence\n", ""},
    {"ByteOrderMark", "\xEF\xBB\xBF[content]\r\nEULA_TITLE=Licence\r\n", ""},
    {"CommentsBlanksOtherSections", "; note\n\n  \t\n[other]\nX=1\n[content]\n  ;x\nEULA_TITLE=Licence", ""},
    {"LongestWholeLine", "[content]\nEULA_TITLE=Licence\n;" + std::string(kLanguageLinePiece - 2, 'x') + "\n", ""},
    {"Utf16Le", "\xFF\xFE[\0", "the file is UTF-16; save it as UTF-8"},
    {"Utf16Be", "\xFE\xFF\0[", "the file is UTF-16; save it as UTF-8"},
    {"Utf16WithoutMark", std::string("[\0c\0o\0n\0", 8), "line 1: a zero byte (is the file UTF-16 or binary?)"},
    {"RandomBytes", "[content]\nEULA_TITLE=Licence\n\x8F\xFE\x12=\x80\n", "line 3: not UTF-8 text"},
    {"CarriageReturnsOnly", "[content]\rEULA_TITLE=Licence\r",
     "line 1: a carriage return inside the line (are the line ends CR only?)"},
    // Lines the launcher's reader passes over: warned about, not refused.
    {"Prose",
     "[content]\nEULA_TITLE=Licence\nDear reader\n",
     "",
     {"line 3: neither a [section], a ; comment nor a KEY=value entry; the launcher ignores it"}},
    {"NoKey",
     "[content]\n=Licence\nEULA_TITLE=Licence\n",
     "",
     {"line 2: an entry without a key; the launcher ignores it"}},
    {"HashComments",
     "# Deutsch\n[content]\n  # EULA_TITLE=Lizenz\nEULA_TITLE=Licence\n",
     "",
     {"line 1: '#' starts no comment (';' does); the launcher ignores it",
      "line 3: '#' starts no comment (';' does); the launcher ignores it"}},
    {"IgnoredLineBeforeAZeroByte", std::string("[content]\nnote\nEULA_TITLE=Licence\0\n", 35),
     "line 3: a zero byte (is the file UTF-16 or binary?)"},
    // Entries the launcher does not read: a key it does not know, with the
    // key meant; a blank before '='; a second entry of a key; a key of its
    // in a section it does not read.
    {"MisspeltKeys",
     "[content]\nEULA_TITEL=Lizenz\nok_btn_title=Ja\nCOLOUR=blau\nEULA_TITLE=Licence\n",
     "",
     {"line 2: 'EULA_TITEL' is no key of the launcher's (did you mean EULA_TITLE?); the launcher ignores it",
      "line 3: 'ok_btn_title' is no key of the launcher's (did you mean OK_BTN_TITLE?); the launcher ignores it",
      "line 4: 'COLOUR' is no key of the launcher's; the launcher ignores it"}},
    {"BlankBeforeEquals",
     "[content]\nEULA_TITLE = Lizenz\nEULA_TITLE= Licence\n",
     "",
     {"line 2: 'EULA_TITLE ' is not EULA_TITLE: a blank before '=' makes another key (write EULA_TITLE=...); the "
      "launcher ignores it"}},
    {"SecondEntryOfAKey",
     "[content]\nEULA_TITLE=Licence\nEULA_TITLE=Lizenz\n",
     "",
     {"line 3: a second EULA_TITLE (the launcher takes the one of line 2); the launcher ignores it"}},
    {"KeyOutsideContent",
     "EULA_TITLE=x\n[labels]\nOK_BTN_TITLE=Ja\nNOTE=1\n[content]\nEULA_TITLE=Licence\n[content]\nWARNING_TITLE=x\n",
     "",
     {"line 1: EULA_TITLE is in no section, and the launcher reads the first [content] section only; the launcher "
      "ignores it",
      "line 3: OK_BTN_TITLE is in section [labels], and the launcher reads the first [content] section only; the "
      "launcher ignores it",
      "line 8: WARNING_TITLE is in section [content], and the launcher reads the first [content] section only; the "
      "launcher ignores it"}},
    {"OpenHeader", "[content\nEULA_TITLE=Licence\n", "line 1: a section header without its ']'"},
    {"TooLong", "[content]\nEULA_TITLE=" + std::string(kLanguageLinePiece, 'x') + "\n",
     "line 2: longer than 4095 bytes"},
    {"NoContentSection", "[contents]\nEULA_TITLE=Licence\n", "no [content] section"},
    {"Empty", "", "no [content] section"},
};

INSTANTIATE_TEST_SUITE_P(Cases, LanguageCheck, testing::ValuesIn(kCheckCases),
                         [](const testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

}  // namespace
}  // namespace brisk

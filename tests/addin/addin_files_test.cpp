// The add-in's configuration, its embedded configuration path, the
// command-line file as the add-in reads it, and addin-check's options.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "tools/addin_protocol/addin_config.h"
#include "tools/addin_protocol/check_options.h"
#include "tools/addin_protocol/command_file.h"
#include "tools/addin_protocol/embedded_config.h"

namespace brisk::addin {
namespace {

TEST(AddinConfigTest, EmptyObjectSignalsBothEventsAtOnceWithoutLog) {
  const ConfigResult result = ParseAddinConfig("{}");
  EXPECT_THAT(result.faults, testing::IsEmpty());
  EXPECT_TRUE(result.config.logPath.empty());
  EXPECT_EQ(result.config.ready.action, SignalAction::Signal);
  EXPECT_EQ(result.config.close.action, SignalAction::Signal);
  EXPECT_EQ(result.config.ready.delayMs, 0u);
  EXPECT_EQ(result.config.dialog.message, 0u);
  EXPECT_EQ(result.config.hang.message, 0u);
  EXPECT_EQ(result.config.crashOnMessage, 0u);
}

TEST(AddinConfigTest, ReadsEveryMember) {
  const ConfigResult result = ParseAddinConfig(
      R"({"log":"C:\\t\\\u00e9.jsonl","ready":"delay","readyDelayMs":1500,"close":"never","closeDelayMs":7,)"
      R"("dialogOnMessage":1159,"dialogMs":2500,"hangOnMessage":128,"hangMs":700,"crashOnMessage":1171,)"
      R"("broadcastOnMessage":1157})");
  EXPECT_THAT(result.faults, testing::IsEmpty());
  EXPECT_EQ(result.config.logPath, u"C:\\t\\\u00e9.jsonl");
  EXPECT_EQ(result.config.ready.action, SignalAction::Delay);
  EXPECT_EQ(result.config.ready.delayMs, 1500u);
  EXPECT_EQ(result.config.close.action, SignalAction::Never);
  EXPECT_EQ(result.config.close.delayMs, 7u);
  EXPECT_EQ(result.config.dialog.message, 1159u);
  EXPECT_EQ(result.config.dialog.ms, 2500u);
  EXPECT_EQ(result.config.hang.message, 128u);
  EXPECT_EQ(result.config.hang.ms, 700u);
  EXPECT_EQ(result.config.crashOnMessage, 1171u);
  EXPECT_EQ(result.config.broadcastOnMessage, 1157u);
}

TEST(AddinConfigTest, MessagePlansTakeTheIconOrAHandOverNumber) {
  struct Case {
    const char* json;
    std::uint32_t dialogMessage;
    std::uint32_t dialogMs;
    std::uint32_t crashOnMessage;
    std::vector<std::string> faults;
  };
  const Case cases[] = {
      {R"({"dialogOnMessage":1155,"crashOnMessage":1181})", 1155, 0, 1181, {}},
      {R"({"dialogOnMessage":128,"dialogMs":0})", 128, 0, 0, {}},
      {R"({"dialogOnMessage":1154,"dialogMs":9})",
       0,
       0,
       0,
       {"\"dialogOnMessage\" must be 128 (WM_SETICON) or a message number from 1155 to 1181"}},
      {R"({"crashOnMessage":1182})",
       0,
       0,
       0,
       {"\"crashOnMessage\" must be 128 (WM_SETICON) or a message number from 1155 to 1181"}},
      {R"({"crashOnMessage":"1159","dialogOnMessage":-1159})",
       0,
       0,
       0,
       {"\"dialogOnMessage\" must be 128 (WM_SETICON) or a message number from 1155 to 1181",
        "\"crashOnMessage\" must be 128 (WM_SETICON) or a message number from 1155 to 1181"}},
      {R"({"dialogMs":500})", 0, 0, 0, {"\"dialogMs\" without \"dialogOnMessage\""}},
      {R"({"dialogOnMessage":1171,"dialogMs":-5})", 1171, 0, 0, {"\"dialogMs\" must be a number of milliseconds"}},
  };
  for (const Case& c : cases) {
    const ConfigResult result = ParseAddinConfig(c.json);
    EXPECT_EQ(result.faults, c.faults) << c.json;
    EXPECT_EQ(result.config.dialog.message, c.dialogMessage) << c.json;
    EXPECT_EQ(result.config.dialog.ms, c.dialogMs) << c.json;
    EXPECT_EQ(result.config.crashOnMessage, c.crashOnMessage) << c.json;
  }
  const ConfigResult hang = ParseAddinConfig(R"({"hangOnMessage":1200,"hangMs":"long"})");
  EXPECT_THAT(hang.faults,
              testing::ElementsAre("\"hangOnMessage\" must be 128 (WM_SETICON) or a message number from 1155 to 1181",
                                   "\"hangMs\" must be a number of milliseconds"));
  EXPECT_EQ(hang.config.hang.message, 0u);
}

TEST(AddinConfigTest, FaultsAreNamedAndTheRestStillCounts) {
  const ConfigResult result = ParseAddinConfig(
      R"({"log":5,"ready":"soon","readyDelayMs":-1,"close":"delay","closeDelayMs":4294967296,"colour":"red"})");
  EXPECT_THAT(result.faults, testing::ElementsAre("unknown member \"colour\"", "\"log\" must be a string",
                                                  "\"ready\" must be \"signal\", \"delay\" or \"never\"",
                                                  "\"readyDelayMs\" must be a number of milliseconds",
                                                  "\"closeDelayMs\" must be a number of milliseconds"));
  EXPECT_EQ(result.config.ready.action, SignalAction::Signal);
  EXPECT_EQ(result.config.close.action, SignalAction::Delay);
}

TEST(AddinConfigTest, TextThatIsNoObjectIsOneFault) {
  const ConfigResult result = ParseAddinConfig("log=C:\\x");
  ASSERT_EQ(result.faults.size(), 1u);
  EXPECT_THAT(result.faults[0], testing::StartsWith("configuration is not a JSON object: "));
}

// An image with the slot somewhere inside, as the compiler lays it out.
std::vector<std::uint8_t> ImageWithSlot(std::size_t before, std::size_t after) {
  std::vector<std::uint8_t> image(before, 0xCC);
  ConfigSlot slot = {};
  std::memcpy(slot.marker, kConfigSlotMarker, sizeof slot.marker);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&slot);
  image.insert(image.end(), bytes, bytes + sizeof slot);
  image.insert(image.end(), after, 0xDD);
  return image;
}

TEST(EmbeddedConfigTest, PathIsWrittenIntoTheSlotAndReadBack) {
  std::vector<std::uint8_t> image = ImageWithSlot(1001, 64);
  const std::vector<std::uint8_t> original = image;
  EXPECT_EQ(EmbeddedConfigPath(image), u"");
  EXPECT_EQ(EmbedConfigPath(image, u"C:\\long\\path\\config.json"), std::nullopt);
  EXPECT_EQ(EmbeddedConfigPath(image), u"C:\\long\\path\\config.json");
  EXPECT_EQ(EmbedConfigPath(image, u"D:\\c.json"), std::nullopt);
  EXPECT_EQ(EmbeddedConfigPath(image), u"D:\\c.json") << "a shorter path leaves no rest of the longer one";
  ASSERT_EQ(image.size(), original.size());
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 1001, original.begin()));
  EXPECT_TRUE(std::equal(image.end() - 64, image.end(), original.end() - 64));
  const std::size_t at = 1001 + kConfigSlotMarkerBytes;
  EXPECT_EQ(image[at], 'D');
  EXPECT_EQ(image[at + 1], 0) << "little-endian UTF-16";
}

TEST(EmbeddedConfigTest, RefusesImagesAndPathsThatDoNotFit) {
  std::vector<std::uint8_t> noSlot(4000, 0);
  EXPECT_EQ(EmbedConfigPath(noSlot, u"C:\\c.json"), "the image has no configuration slot");
  EXPECT_EQ(EmbeddedConfigPath(noSlot), std::nullopt);

  std::vector<std::uint8_t> twice = ImageWithSlot(10, 0);
  const std::vector<std::uint8_t> second = ImageWithSlot(3, 5);
  twice.insert(twice.end(), second.begin(), second.end());
  EXPECT_EQ(EmbedConfigPath(twice, u"C:\\c.json"), "the image has more than one configuration slot");

  std::vector<std::uint8_t> cut = ImageWithSlot(10, 0);
  cut.resize(cut.size() - 2);
  EXPECT_EQ(EmbedConfigPath(cut, u"C:\\c.json"), "the configuration slot is cut off");

  std::vector<std::uint8_t> image = ImageWithSlot(0, 0);
  const std::vector<std::uint8_t> original = image;
  EXPECT_EQ(EmbedConfigPath(image, u""), "the configuration path is empty");
  EXPECT_EQ(EmbedConfigPath(image, std::u16string(kConfigSlotPathUnits, u'a')),
            "the configuration path is longer than 259 units");
  EXPECT_EQ(image, original);
  EXPECT_EQ(EmbedConfigPath(image, std::u16string(kConfigSlotPathUnits - 1, u'a')), std::nullopt);
  EXPECT_EQ(EmbeddedConfigPath(image), std::u16string(kConfigSlotPathUnits - 1, u'a'));
}

TEST(CommandFileTest, SplitsAtTheLastLineFeed) {
  struct Case {
    std::string bytes;
    std::string commandLine;
    std::string workbookPath;
    bool lineFeed;
  };
  const Case cases[] = {
      {"\"C:\\A.exe\" -p x\nC:\\t\\A.xlsx", "\"C:\\A.exe\" -p x", "C:\\t\\A.xlsx", true},
      {"\"C:\\A.exe\"\n", "\"C:\\A.exe\"", "", true},
      {"A.exe \"two\nlines\"\nC:\\t\\A.xls", "A.exe \"two\nlines\"", "C:\\t\\A.xls", true},
      {"A.exe", "A.exe", "", false},
      {"", "", "", false},
  };
  for (const Case& c : cases) {
    const CommandFileContent content = SplitCommandFile(c.bytes);
    EXPECT_EQ(content.commandLine, c.commandLine) << c.bytes;
    EXPECT_EQ(content.workbookPath, c.workbookPath) << c.bytes;
    EXPECT_EQ(content.lineFeed, c.lineFeed) << c.bytes;
  }
}

TEST(CheckOptionsTest, ReadsEveryOption) {
  HandoverExpectation e;
  EXPECT_EQ(ParseExpectationOptions({"--pid",       "4242",       "--property1209", "-7", "--language",        "0x09",
                                     "--option",    "0xFFFFFFFF", "--exe-path",     "no", "--settings-record", "yes",
                                     "--completed", "yes",        "--external",     "no", "--visible-at-end",  "yes",
                                     "--icon",      "yes",        "--quit",         "no"},
                                    e),
            std::nullopt);
  EXPECT_EQ(e.launcherProcessId, 4242u);
  EXPECT_EQ(e.intProperty1209, -7);
  EXPECT_EQ(e.languageByte, 9);
  EXPECT_EQ(e.optionValue, -1) << "a 32-bit value in its unsigned spelling";
  EXPECT_EQ(e.exePathKnown, false);
  EXPECT_EQ(e.settingsRecord, true);
  EXPECT_EQ(e.completed, true);
  EXPECT_EQ(e.externalStorage, false);
  EXPECT_EQ(e.visibleAtEnd, true);
  EXPECT_EQ(e.iconBeforeHandover, true);
  EXPECT_EQ(e.quitPosted, false);
}

TEST(CheckOptionsTest, RefusesBadOptions) {
  const std::vector<std::vector<std::string>> cases = {
      {"--pid"},
      {"--pid", "x"},
      {"--pid", "--1"},
      {"--language", "256"},
      {"--option", "0x100000000"},
      {"--completed", "true"},
      {"--colour", "red"},
      {"--pid", ""},
      {"--quit", "1"},
  };
  for (const auto& args : cases) {
    HandoverExpectation e;
    EXPECT_NE(ParseExpectationOptions(args, e), std::nullopt) << args[0];
  }
}

}  // namespace
}  // namespace brisk::addin

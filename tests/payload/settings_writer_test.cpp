// The settings record writer against its parser.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "payload/build_settings.h"
#include "payload/byte_order.h"
#include "payload_fixtures.h"

namespace brisk {
namespace {

using test::AsString;
using test::EncodedUtf16;
using test::Utf16Le;

SettingsRecordContent EveryPart() {
  SettingsRecordContent content;
  content.appVersion = 0x01020304;
  content.flags = kFlagExternalStorage | kFlagSplashForced;
  content.magic = kSettingsMagic;
  content.workbookFormat = '2';
  content.builderVersion = 0x02050001;
  content.appName = u"Caf\u00E9";
  content.appInfo = u"Quarterly \U0001F600";
  content.partC = EncodedUtf16(u"see");
  content.partD = "dd";
  content.partE = "eee";
  content.partF = "f";
  content.partG = Utf16Le(u"G");
  content.middleBlock = std::string(12, '\x5A');
  content.password = EncodedUtf16(u"p\u00E4ss");
  content.partI = EncodedUtf16(u"eye");
  content.trailingList = "list";
  return content;
}

struct RoundTripCase {
  const char* name;
  SettingsRecordContent content;
  std::u16string password;
  std::u16string partCText;
  std::u16string partIText;
};

class PayloadSettingsWriterRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(PayloadSettingsWriterRoundTrip, ParserGivesBackWhatWasWritten) {
  const SettingsRecordContent& c = GetParam().content;
  PayloadBuffer record = SerializeBuildSettings(c);
  const BuildSettings s = ParseBuildSettings(record);
  EXPECT_EQ(s.headerSize, kSettingsHeaderSize);
  EXPECT_EQ(s.appVersion, c.appVersion);
  EXPECT_EQ(s.flags, c.flags);
  EXPECT_EQ(s.magic, c.magic);
  EXPECT_EQ(s.workbookFormat, c.workbookFormat);
  EXPECT_EQ(s.builderVersion, c.builderVersion);
  EXPECT_EQ(s.appNameBytes, c.appName.size() * 2);
  EXPECT_EQ(s.appInfoBytes, c.appInfo.size() * 2);
  EXPECT_EQ(s.partCBytes, c.partC.size());
  EXPECT_EQ(s.partDBytes, c.partD.size());
  EXPECT_EQ(s.partEBytes, c.partE.size());
  EXPECT_EQ(s.partFBytes, c.partF.size());
  EXPECT_EQ(s.partGBytes, static_cast<std::int16_t>(c.partG.size()));
  EXPECT_EQ(s.passwordBytes, c.password.size());
  EXPECT_EQ(s.partIBytes, c.partI.size());
  EXPECT_EQ(s.appName, c.appName);
  EXPECT_EQ(s.appInfo, c.appInfo);
  EXPECT_EQ(s.storedPassword, GetParam().password);
  EXPECT_EQ(s.partCText, GetParam().partCText);
  EXPECT_EQ(s.partIText, GetParam().partIText);
  EXPECT_EQ(AsString(s.trailingList), c.trailingList);
}

INSTANTIATE_TEST_SUITE_P(Contents, PayloadSettingsWriterRoundTrip,
                         ::testing::Values(RoundTripCase{"EveryPart", EveryPart(), u"p\u00E4ss", u"see", u"eye"},
                                           RoundTripCase{"Defaults", SettingsRecordContent{}, u"", u"", u""}),
                         [](const auto& info) { return std::string(info.param.name); });

// Where the fields lie, written out independently of the writer's offsets:
// records of this layout exist in builds already made.
TEST(PayloadSettingsWriter, PutsEveryHeaderFieldAtItsOffset) {
  const SettingsRecordContent c = EveryPart();
  const PayloadBuffer record = SerializeBuildSettings(c);
  ASSERT_GE(record.size(), 104u);
  struct Field {
    std::size_t offset;
    std::size_t width;
    std::uint32_t value;
  };
  const std::vector<Field> fields = {
      {0, 2, 104},
      {4, 4, c.appVersion},
      {24, 4, c.flags},
      {28, 1, static_cast<std::uint32_t>(c.appName.size() * 2)},
      {30, 2, static_cast<std::uint32_t>(c.appInfo.size() * 2)},
      {32, 4, static_cast<std::uint32_t>(c.partC.size())},
      {36, 4, 2},
      {40, 4, 3},
      {64, 4, 1},
      {68, 4, kSettingsMagic},
      {72, 2, 2},
      {76, 4, static_cast<std::uint32_t>(c.password.size())},
      {80, 4, static_cast<std::uint32_t>(c.partI.size())},
      {84, 4, '2'},
      {92, 4, 0x02050001},
  };
  std::vector<bool> covered(104, false);
  for (const Field& f : fields) {
    const std::uint32_t stored = f.width == 1   ? record[f.offset]
                                 : f.width == 2 ? le::ReadU16(record.data() + f.offset)
                                                : le::ReadU32(record.data() + f.offset);
    EXPECT_EQ(stored, f.value) << "offset " << f.offset;
    for (std::size_t i = 0; i < f.width; ++i) covered[f.offset + i] = true;
  }
  for (std::size_t i = 0; i < covered.size(); ++i) {
    if (!covered[i]) {
      EXPECT_EQ(record[i], 0) << "offset " << i;
    }
  }
  const std::string parts = AsString(record).substr(104);
  EXPECT_EQ(parts, Utf16Le(c.appName) + Utf16Le(c.appInfo) + c.partC + "dd" + "eee" + "f" + c.partG +
                       std::string(12, '\x5A') + c.password + c.partI + "list");
}

TEST(SettingsRecordTest, ReadsBackAsTheLauncherParsesIt) {
  SettingsRecordInput input{u"Budget", u"Planner \u00E9", 0x01020300, 0x20000 | 0x4000, u"p\u00E4ss\U0001F600", '2'};
  SettingsRecordResult written = WriteBuildSettingsRecord(input);
  ASSERT_TRUE(written.error.empty()) << written.error;
  const BuildSettings parsed = ParseBuildSettings(written.record);
  EXPECT_EQ(parsed.headerSize, 104);
  EXPECT_EQ(parsed.magic, kSettingsMagic);
  EXPECT_EQ(parsed.flags, input.flags);
  EXPECT_EQ(parsed.appVersion, input.appVersion);
  EXPECT_EQ(parsed.appName, input.appName);
  EXPECT_EQ(parsed.appInfo, input.appInfo);
  EXPECT_EQ(parsed.storedPassword, input.password);
  EXPECT_EQ(parsed.workbookFormat, static_cast<std::uint32_t>('2'));
}

TEST(SettingsRecordTest, RefusesValuesThatCannotBeStored) {
  SettingsRecordInput input;
  input.appName = std::u16string(128, u'n');
  EXPECT_NE(WriteBuildSettingsRecord(input).error, "");
  input.appName = std::u16string(127, u'n');
  EXPECT_EQ(WriteBuildSettingsRecord(input).error, "");
  input.password = std::u16string(u"a\0b", 3);
  EXPECT_NE(WriteBuildSettingsRecord(input).error.find("password"), std::string::npos);
}

// The builder's records carry the builder version of the current layout and
// nothing in the parts they do not use.
TEST(SettingsRecordTest, WritesTheCurrentBuilderVersionAndNoOtherParts) {
  SettingsRecordInput input;
  input.appName = u"Ab";
  input.password = u"pw";
  const SettingsRecordResult written = WriteBuildSettingsRecord(input);
  ASSERT_EQ(written.error, "");
  PayloadBuffer record = written.record;
  const BuildSettings parsed = ParseBuildSettings(record);
  EXPECT_EQ(parsed.builderVersion, kBuilderCurrentLayout);
  EXPECT_EQ(parsed.partCBytes + parsed.partDBytes + parsed.partEBytes + parsed.partFBytes + parsed.partIBytes, 0u);
  EXPECT_EQ(parsed.partGBytes, 0);
  EXPECT_EQ(written.record.size(), 104u + 4u + 12u + EncodedUtf16(u"pw").size());
}

}  // namespace
}  // namespace brisk

#include "payload/build_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "payload/container.h"
#include "payload_fixtures.h"

namespace brisk {
namespace {

using test::Append;
using test::AsString;
using test::CurrentRecord;
using test::EncodedUtf16;
using test::PutLe;
using test::Utf16Le;

BuildSettings Parse(PayloadBuffer record) { return ParseBuildSettings(record); }

TEST(PayloadBuildSettings, CurrentLayoutGivesEveryFieldAndPart) {
  CurrentRecord fixture;
  fixture.flags = kFlagExternalStorage | kFlagSingleInstance | 0x3;
  fixture.password = EncodedUtf16(u"p\u00E4ss \u20AC");
  fixture.trailingList = "list";
  const BuildSettings s = Parse(fixture.Build());

  EXPECT_EQ(s.headerSize, 104);
  EXPECT_EQ(s.appVersion, 0x01020300u);
  EXPECT_EQ(s.flags, fixture.flags);
  EXPECT_EQ(s.appNameBytes, 12);
  EXPECT_EQ(s.appInfoBytes, 18);
  EXPECT_EQ(s.partCBytes, fixture.partC.size());
  EXPECT_EQ(s.partDBytes, 2u);
  EXPECT_EQ(s.partEBytes, 4u);
  EXPECT_EQ(s.partFBytes, 2u);
  EXPECT_EQ(s.magic, kSettingsMagic);
  EXPECT_EQ(s.partGBytes, 2);
  EXPECT_EQ(s.passwordBytes, fixture.password.size());
  EXPECT_EQ(s.partIBytes, fixture.partI.size());
  EXPECT_EQ(s.workbookFormat, static_cast<std::uint32_t>('4'));
  EXPECT_EQ(s.builderVersion, 0x02050000u);
  EXPECT_EQ(s.appName, u"Budget");
  EXPECT_EQ(s.appInfo, u"Team tool");
  EXPECT_EQ(s.storedPassword, u"p\u00E4ss \u20AC");
  EXPECT_EQ(s.partCText, u"C");
  EXPECT_EQ(s.partIText, u"I");
  EXPECT_EQ(AsString(s.trailingList), "list");
}

TEST(PayloadBuildSettings, PackedRecordIsUnpackedInTheCallersBuffer) {
  const PayloadBuffer raw = CurrentRecord{}.Build();
  PayloadBuffer record;
  ASSERT_TRUE(PackContainer(raw.data(), raw.size(), record));
  BuildSettings settings;
  settings = ParseBuildSettings(record);
  EXPECT_EQ(record, raw);
  EXPECT_EQ(settings.appName, u"Budget");
  EXPECT_EQ(settings.storedPassword, u"secret");
  EXPECT_EQ(settings.magic, kSettingsMagic);
}

TEST(PayloadBuildSettings, EmptyOrTinyRecordsLeaveEverythingEmpty) {
  for (const PayloadBuffer& record : {PayloadBuffer{}, PayloadBuffer{0x68}, PayloadBuffer{'1'}}) {
    const BuildSettings s = Parse(record);
    EXPECT_EQ(s.flags, 0u);
    EXPECT_EQ(s.magic, 0u);
    EXPECT_TRUE(s.appName.empty());
    EXPECT_TRUE(s.storedPassword.empty());
    EXPECT_TRUE(s.trailingList.empty());
  }
}

TEST(PayloadBuildSettings, OddNameLengthTakesHalfTheCharactersAndTheFullBytes) {
  CurrentRecord fixture;
  fixture.appName = u"Ab";
  PayloadBuffer record = fixture.Build();
  // One extra byte in part A: five bytes long, two characters.
  PutLe(record, settings_layout::kAtAppNameBytes, 5, 1);
  record.insert(record.begin() + kSettingsHeaderSize + 4, 'x');
  const BuildSettings s = Parse(record);
  EXPECT_EQ(s.appNameBytes, 5);
  EXPECT_EQ(s.appName, u"Ab");
  EXPECT_EQ(s.appInfo, u"Team tool");
  EXPECT_EQ(s.storedPassword, u"secret");
}

TEST(PayloadBuildSettings, APartThatDoesNotFitStaysEmptyAndDoesNotMoveThePosition) {
  CurrentRecord fixture;
  fixture.appInfo = u"";
  fixture.partD = fixture.partE = fixture.partF = fixture.partG = "";
  fixture.partI = "";
  PayloadBuffer record = fixture.Build();
  PutLe(record, settings_layout::kAtAppInfoBytes, 0xFFFF, 2);  // far beyond the record
  PutLe(record, settings_layout::kAtPartF, 0xFFFFFFFF, 4);
  const BuildSettings s = Parse(record);
  EXPECT_EQ(s.appInfoBytes, 0xFFFF);
  EXPECT_TRUE(s.appInfo.empty());
  EXPECT_EQ(s.partCText, u"C");
  EXPECT_EQ(s.storedPassword, u"secret");
}

TEST(PayloadBuildSettings, NegativePartGCountsAsZero) {
  CurrentRecord fixture;
  fixture.partG = "";
  PayloadBuffer record = fixture.Build();
  PutLe(record, settings_layout::kAtPartG, 0xFFFC, 2);
  const BuildSettings s = Parse(record);
  EXPECT_EQ(s.partGBytes, -4);
  EXPECT_EQ(s.storedPassword, u"secret");
  EXPECT_EQ(s.partIText, u"I");
}

TEST(PayloadBuildSettings, FewerThanTwelveBytesAfterPartGMeanNoPasswordAndNoPartI) {
  CurrentRecord fixture;
  fixture.middleBlock = std::string(11, '\x01');
  fixture.password = fixture.partI = "";
  PayloadBuffer record = fixture.Build();
  PutLe(record, settings_layout::kAtPassword, 4, 4);
  PutLe(record, settings_layout::kAtPartI, 4, 4);
  const BuildSettings s = Parse(record);
  EXPECT_EQ(s.passwordBytes, 4u);
  EXPECT_TRUE(s.storedPassword.empty());
  EXPECT_TRUE(s.partIText.empty());
  EXPECT_TRUE(s.trailingList.empty());
  EXPECT_EQ(s.appName, u"Budget");
}

TEST(PayloadBuildSettings, TrailingListNeedsAtLeastTwoBytes) {
  CurrentRecord fixture;
  fixture.trailingList = "x";
  EXPECT_TRUE(Parse(fixture.Build()).trailingList.empty());
  fixture.trailingList = "xy";
  EXPECT_EQ(AsString(Parse(fixture.Build()).trailingList), "xy");
}

TEST(PayloadBuildSettings, EncodedPartsAreDecodedUpToTheirFirstZeroByte) {
  CurrentRecord fixture;
  fixture.password = EncodedUtf16(u"pw") + std::string("\0X9rO", 5);
  const BuildSettings s = Parse(fixture.Build());
  EXPECT_EQ(s.passwordBytes, fixture.password.size());
  EXPECT_EQ(s.storedPassword, u"pw");
  EXPECT_EQ(s.partIText, u"I");
}

// A header of headerSize bytes filled with old-layout fields at old offsets.
PayloadBuffer OldRecord(std::uint16_t headerSize, const std::vector<std::vector<std::uint64_t>>& fields) {
  PayloadBuffer record(headerSize, 0);
  PutLe(record, 0, headerSize, 2);
  for (const auto& field : fields) PutLe(record, field[0], field[2], field[1]);
  return record;
}

// headerSize 104 from builders before 0x02040000: 16-bit flags at 24, the name
// length at 26 and the info length at 28; before 0x02010409 also a 16-bit
// partFBytes at 64.
struct BuilderCase {
  const char* name;
  std::uint32_t builderVersion;
  std::uint32_t flags;
  std::uint8_t appNameBytes;
  std::uint16_t appInfoBytes;
  std::uint32_t partFBytes;
};

class PayloadBuildSettingsBuilder : public ::testing::TestWithParam<BuilderCase> {};

TEST_P(PayloadBuildSettingsBuilder, SelectsTheHeaderLayout) {
  const BuilderCase& c = GetParam();
  PayloadBuffer record = OldRecord(104, {{24, 2, 0x4080},
                                         {26, 1, 4},
                                         {28, 2, 2},
                                         {64, 4, 0x00010003},
                                         {68, 4, kSettingsMagic},
                                         {92, 4, c.builderVersion}});
  const BuildSettings s = Parse(record);
  EXPECT_EQ(s.builderVersion, c.builderVersion);
  EXPECT_EQ(s.flags, c.flags);
  EXPECT_EQ(s.appNameBytes, c.appNameBytes);
  EXPECT_EQ(s.appInfoBytes, c.appInfoBytes);
  EXPECT_EQ(s.partFBytes, c.partFBytes);
  EXPECT_EQ(s.magic, kSettingsMagic);
}

INSTANTIATE_TEST_SUITE_P(Versions, PayloadBuildSettingsBuilder,
                         ::testing::Values(BuilderCase{"Early", 0x00000001, 0x4080, 4, 2, 3},
                                           BuilderCase{"JustBelowLongPartF", 0x02010408, 0x4080, 4, 2, 3},
                                           BuilderCase{"LongPartF", 0x02010409, 0x4080, 4, 2, 0x00010003},
                                           BuilderCase{"JustBelowCurrent", 0x0203FFFF, 0x4080, 4, 2, 0x00010003},
                                           BuilderCase{"Current", 0x02040000, 0x00044080, 2, 0, 0x00010003},
                                           BuilderCase{"Unversioned", 0, 0x00044080, 2, 0, 0x00010003}),
                         [](const auto& info) { return std::string(info.param.name); });

// The parts are read with the mapped lengths, starting at the record's own
// headerSize, so an old record gives its texts back.
TEST(PayloadBuildSettings, OldBuilderRecordReadsItsPartsWithShortFields) {
  PayloadBuffer record = OldRecord(104, {{24, 2, kFlagExternalStorage >> 4},
                                         {26, 1, 4},
                                         {28, 2, 2},
                                         {64, 4, 0xABCD0003},
                                         {68, 4, kSettingsMagic},
                                         {72, 2, 0},
                                         {76, 4, EncodedUtf16(u"pw").size()},
                                         {92, 4, 0x02010300}});
  Append(record, Utf16Le(u"Ab") + Utf16Le(u"i") + "fff" + std::string(12, '\0') + EncodedUtf16(u"pw"));
  const BuildSettings s = Parse(record);
  EXPECT_EQ(s.partFBytes, 3u);
  EXPECT_EQ(s.appName, u"Ab");
  EXPECT_EQ(s.appInfo, u"i");
  EXPECT_EQ(s.storedPassword, u"pw");
}

struct Expected {
  std::uint32_t appVersion = 0, flags = 0, appNameBytes = 0, appInfoBytes = 0, partCBytes = 0, partDBytes = 0,
                partEBytes = 0, partFBytes = 0, magic = 0;
  std::int32_t partGBytes = 0;
  std::uint32_t passwordBytes = 0, partIBytes = 0, workbookFormat = 0, builderVersion = 0;
};

struct LayoutCase {
  const char* name;
  std::uint16_t headerSize;
  std::vector<std::vector<std::uint64_t>> fields;  // {old offset, width, value}
  Expected expected;
};

class PayloadBuildSettingsLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PayloadBuildSettingsLayout, MapsOntoTheCurrentLayoutAndStoresOnlyHeaderSizeBytes) {
  const LayoutCase& c = GetParam();
  const BuildSettings s = Parse(OldRecord(c.headerSize, c.fields));
  const Expected& e = c.expected;
  EXPECT_EQ(s.headerSize, c.headerSize);
  EXPECT_EQ(s.appVersion, e.appVersion);
  EXPECT_EQ(s.flags, e.flags);
  EXPECT_EQ(s.appNameBytes, e.appNameBytes);
  EXPECT_EQ(s.appInfoBytes, e.appInfoBytes);
  EXPECT_EQ(s.partCBytes, e.partCBytes);
  EXPECT_EQ(s.partDBytes, e.partDBytes);
  EXPECT_EQ(s.partEBytes, e.partEBytes);
  EXPECT_EQ(s.partFBytes, e.partFBytes);
  EXPECT_EQ(s.magic, e.magic);
  EXPECT_EQ(s.partGBytes, e.partGBytes);
  EXPECT_EQ(s.passwordBytes, e.passwordBytes);
  EXPECT_EQ(s.partIBytes, e.partIBytes);
  EXPECT_EQ(s.workbookFormat, e.workbookFormat);
  EXPECT_EQ(s.builderVersion, e.builderVersion);
}

// Every old field holds a value that shows where it went; widths larger than
// the mapping reads show the zero extension.
const std::vector<std::vector<std::uint64_t>> k96Fields = {
    {4, 4, 0x01020304}, {24, 2, 0x4080}, {26, 1, 0x11},       {28, 2, 0x2233},         {32, 4, 0x32},
    {36, 4, 0x36},      {40, 4, 0x40},   {64, 4, 0xAAAA0064}, {68, 4, kSettingsMagic}, {72, 4, 0xBBBBFFF0},
    {76, 4, 0x76},      {80, 4, 0x80},   {84, 4, '2'},        {92, 4, 0x02010409}};

INSTANTIATE_TEST_SUITE_P(
    Layouts, PayloadBuildSettingsLayout,
    ::testing::Values(
        LayoutCase{"Header96",
                   96,
                   k96Fields,
                   {0x01020304, 0x4080, 0x11, 0x2233, 0x32, 0x36, 0x40, 0x64, kSettingsMagic, -16, 0x76, 0x80, '2', 0}},
        LayoutCase{"Header88",
                   88,
                   {k96Fields.begin(), k96Fields.end() - 1},
                   {0x01020304, 0x4080, 0x11, 0x2233, 0x32, 0x36, 0x40, 0x64, kSettingsMagic, -16, 0x76, 0x80, '2', 0}},
        LayoutCase{"Header80",
                   80,
                   {{4, 4, 0x01020304},
                    {24, 2, 0x4080},
                    {26, 1, 0x11},
                    {28, 2, 0x2233},
                    {32, 4, 0x32},
                    {36, 4, 0x36},
                    {40, 4, 0x40},
                    {56, 2, 0x56},
                    {60, 4, kSettingsMagic},
                    {64, 2, 0xFFF0},
                    {68, 4, 0x68},
                    {72, 4, 0x72},
                    {76, 4, '4'}},
                   // partIBytes (mapped to 80) and workbookFormat (84) lie beyond the 80 stored bytes.
                   {0x01020304, 0x4080, 0x11, 0x2233, 0x32, 0x36, 0x40, 0x56, kSettingsMagic, -16, 0x68, 0, 0, 0}},
        LayoutCase{"Header72",
                   72,
                   {{4, 4, 0x01020304},
                    {24, 2, 0x4080},
                    {26, 1, 0x11},
                    {28, 2, 0x2233},
                    {32, 4, 0x32},
                    {36, 4, 0x36},
                    {40, 4, 0x40},
                    {56, 2, 0x56},
                    {60, 4, kSettingsMagic},
                    {64, 2, 0xFFF0},
                    {68, 4, 0x68}},
                   // partGBytes (72) and passwordBytes (76) are used but not stored.
                   {0x01020304, 0x4080, 0x11, 0x2233, 0x32, 0x36, 0x40, 0x56, kSettingsMagic, 0, 0, 0, 0, 0}},
        LayoutCase{"Header44",
                   44,
                   {{4, 4, 0x01020304},
                    {24, 2, 0x4080},
                    {26, 1, 0x11},
                    {28, 2, 0x2233},
                    {32, 4, 0x32},
                    {36, 4, 0x36},
                    {40, 4, 0x40}},
                   {0x01020304, 0x4080, 0x11, 0x2233, 0x32, 0x36, 0x40}},
        // The mapped name and info lengths (28, 30) lie beyond the 28 stored bytes.
        LayoutCase{"Header28",
                   28,
                   {{4, 4, 0x01020304}, {20, 2, 0x4080}, {22, 1, 0x11}, {24, 4, 0x99992233}},
                   {0x01020304, 0x4080}},
        // Even the mapped flags (24) lie beyond the 24 stored bytes.
        LayoutCase{
            "Header24", 24, {{4, 4, 0x01020304}, {16, 2, 0x4080}, {18, 1, 0x11}, {20, 4, 0x99992233}}, {0x01020304}},
        // An unknown smaller size is taken as it stands, but only its own bytes.
        LayoutCase{"Header60",
                   60,
                   {{4, 4, 0x01020304}, {24, 4, 0x12344080}, {28, 1, 0x11}, {30, 2, 0x2233}, {32, 4, 0x32}},
                   {0x01020304, 0x12344080, 0x11, 0x2233, 0x32}},
        // A larger size than the current one is from an unknown builder: nothing is taken.
        LayoutCase{
            "Header120", 120, {{4, 4, 0x01020304}, {24, 4, 0x4080}, {68, 4, kSettingsMagic}, {92, 4, 0x02050000}}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PayloadBuildSettings, Header72HasNoWorkbookFormatAndNoPartIWhateverFollows) {
  PayloadBuffer record =
      OldRecord(72, {{26, 1, 4}, {60, 4, kSettingsMagic}, {64, 2, 2}, {68, 4, EncodedUtf16(u"pw").size()}});
  Append(record, Utf16Le(u"Nm") + "gg" + std::string(12, '\0') + EncodedUtf16(u"pw") + EncodedUtf16(u"more") + "'4'");
  const BuildSettings s = Parse(record);
  EXPECT_EQ(s.appName, u"Nm");
  EXPECT_EQ(s.storedPassword, u"pw");
  EXPECT_EQ(s.passwordBytes, 0u);
  EXPECT_EQ(s.partGBytes, 0);
  EXPECT_TRUE(s.partIText.empty());
  EXPECT_EQ(s.workbookFormat, 0u);
  EXPECT_FALSE(s.trailingList.empty());
}

TEST(PayloadBuildSettings, Header80ReadsPartIButStoresNoWorkbookFormat) {
  const std::string partI = EncodedUtf16(u"eye");
  PayloadBuffer record = OldRecord(80, {{60, 4, kSettingsMagic}, {72, 4, partI.size()}, {76, 4, '4'}});
  Append(record, std::string(12, '\0') + partI);
  const BuildSettings s = Parse(record);
  EXPECT_EQ(s.partIText, u"eye");
  EXPECT_EQ(s.partIBytes, 0u);
  EXPECT_EQ(s.workbookFormat, 0u);
}

TEST(PayloadBuildSettings, Header24ReadsItsTextsWithLengthsItDoesNotStore) {
  PayloadBuffer record = OldRecord(24, {{16, 2, kFlagSingleInstance}, {18, 1, 6}, {20, 2, 4}});
  Append(record, Utf16Le(u"Old") + Utf16Le(u"ab"));
  const BuildSettings s = Parse(record);
  EXPECT_EQ(s.appName, u"Old");
  EXPECT_EQ(s.appInfo, u"ab");
  EXPECT_EQ(s.flags, 0u);
  EXPECT_EQ(s.appNameBytes, 0);
  EXPECT_EQ(s.appInfoBytes, 0);
}

TEST(PayloadBuildSettings, HeaderAbove104StartsItsPartsAfterItsOwnHeader) {
  PayloadBuffer record = OldRecord(120, {{28, 1, 2}, {68, 4, kSettingsMagic}});
  Append(record, std::string(12, 'b') + "rest");
  const BuildSettings s = Parse(record);
  EXPECT_EQ(s.appNameBytes, 0);
  EXPECT_TRUE(s.appName.empty());
  EXPECT_EQ(s.magic, 0u);
  EXPECT_EQ(AsString(s.trailingList), "rest");
}

TEST(PayloadBuildSettings, HeaderLongerThanTheRecordReadsNoParts) {
  CurrentRecord fixture;
  PayloadBuffer record = fixture.Build();
  record.resize(100);
  const BuildSettings s = Parse(record);
  EXPECT_EQ(s.magic, kSettingsMagic);
  EXPECT_TRUE(s.appName.empty());
  EXPECT_TRUE(s.storedPassword.empty());
}

}  // namespace
}  // namespace brisk

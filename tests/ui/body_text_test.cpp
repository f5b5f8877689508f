// How the notice dialog reads its body bytes, and the licence payload.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/macro_table.h"
#include "ui/body_text.h"

namespace brisk {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

std::u16string Units(const BodyText& body) { return BodyUnitsWithoutBom(body); }

class BodyTextTest : public testing::Test {
 protected:
  BodyTextTest() { macros_.SetMacro(u"APPNAME", u"Budget"); }
  MacroTable macros_;
};

TEST_F(BodyTextTest, Utf16IsExpandedAndStoredAsUtf16) {
  const BodyText body = PrepareBodyText(Utf16Bytes(u"\xFEFFWelcome to <?APPNAME?>."), true, &macros_);
  EXPECT_TRUE(body.isUtf16);
  EXPECT_EQ(Units(body), u"Welcome to Budget.");
}

TEST_F(BodyTextTest, Utf16WithoutMacroTableKeepsItsBytes) {
  const std::vector<std::uint8_t> bytes = Utf16Bytes(u"Welcome to <?APPNAME?>.");
  const BodyText body = PrepareBodyText(bytes, true, nullptr);
  EXPECT_TRUE(body.isUtf16);
  EXPECT_EQ(body.bytes, std::string(bytes.begin(), bytes.end()));
}

TEST_F(BodyTextTest, Utf8WithOrWithoutByteOrderMarkBecomesUtf16) {
  for (std::string_view text : {"\xEF\xBB\xBF<?APPNAME?> caf\xC3\xA9", "<?APPNAME?> caf\xC3\xA9"}) {
    const BodyText body = PrepareBodyText(Bytes(text), false, &macros_);
    EXPECT_TRUE(body.isUtf16);
    EXPECT_EQ(Units(body), u"Budget caf\u00E9");
  }
}

TEST_F(BodyTextTest, NarrowTextEndsAtItsFirstZeroByte) {
  const BodyText body = PrepareBodyText(Bytes(std::string_view("First\0Second", 12)), false, nullptr);
  EXPECT_EQ(Units(body), u"First");
}

TEST_F(BodyTextTest, InvalidUtf8StaysNarrowWithMacrosExpanded) {
  const BodyText body = PrepareBodyText(Bytes("<?APPNAME?> caf\xE9"), false, &macros_);
  EXPECT_FALSE(body.isUtf16);
  EXPECT_EQ(body.bytes, "Budget caf\xE9");
}

TEST_F(BodyTextTest, RtfIsStoredUnchangedAndNeverExpanded) {
  const std::string rtf = "{\\rtf1\\ansi <?APPNAME?> \\par}";
  const BodyText body = PrepareBodyText(Bytes(rtf), false, &macros_);
  EXPECT_FALSE(body.isUtf16);
  EXPECT_EQ(body.bytes, rtf);
}

TEST(RtfChunkReader, HandsOutTwoBytesLessThanAskedUpToTheFirstZero) {
  RtfChunkReader reader(std::string_view("{\\rtf1 abc}\0tail", 16));
  std::uint8_t buffer[16] = {};
  EXPECT_EQ(reader.Read(buffer, 6), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "{\\rt");
  EXPECT_EQ(reader.Read(buffer, 2), 0u);
  EXPECT_EQ(reader.Read(buffer, 1), 0u);
  EXPECT_EQ(reader.Read(buffer, 100), 7u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 7), "f1 abc}");
  EXPECT_EQ(reader.Read(buffer, 100), 0u);
}

TEST(LicenceText, NarrowBytesAreWidenedOneByOne) {
  EXPECT_EQ(LicenceWideText(Bytes("Terms \xE9"), false), u"Terms \u00E9");
}

TEST(LicenceText, Utf16BytesAreTakenAsUnitsUpToTheFirstZero) {
  std::vector<std::uint8_t> bytes = Utf16Bytes(u"Terms");
  bytes.insert(bytes.end(), {0, 0, 'x', 0});
  EXPECT_EQ(LicenceWideText(bytes, true), u"Terms");
}

TEST(LicenceText, EmptyWhenItStartsWithAZeroUnit) {
  EXPECT_TRUE(LicenceWideText(std::vector<std::uint8_t>{0, 0, 'a', 0}, true).empty());
}

TEST(LicenceText, OddTrailingByteOfUtf16IsDropped) {
  std::vector<std::uint8_t> bytes = Utf16Bytes(u"Terms");
  bytes.push_back('!');
  const std::u16string wide = LicenceWideText(bytes, true);
  EXPECT_EQ(wide, u"Terms");
  EXPECT_EQ(LicenceBodyBytes(bytes, true, wide), std::string("T\0e\0r\0m\0s\0", 10));
}

TEST(LicenceText, OddLengthRtfKeepsItsLastByte) {
  const std::string rtf = "{\\rtf1 Terms}";  // 13 bytes
  const std::u16string wide = LicenceWideText(Bytes(rtf), false);
  ASSERT_EQ(wide.size(), 7u);
  const std::string body = LicenceBodyBytes(Bytes(rtf), false, wide);
  EXPECT_EQ(body.substr(0, rtf.size()), rtf);
  EXPECT_EQ(PrepareBodyText(Bytes(body), false, nullptr).bytes.substr(0, rtf.size()), rtf);
}

TEST_F(BodyTextTest, Utf8LicenceReachesTheBodyAsUtf8) {
  const std::vector<std::uint8_t> payload = Bytes("<?APPNAME?> licence: caf\xC3\xA9");
  const std::u16string wide = LicenceWideText(payload, false);
  const std::string body = LicenceBodyBytes(payload, false, wide);
  EXPECT_EQ(Units(PrepareBodyText(Bytes(body), false, &macros_)), u"Budget licence: caf\u00E9");
}

TEST_F(BodyTextTest, Utf16LicenceReachesTheBodyUnchanged) {
  const std::vector<std::uint8_t> payload = Utf16Bytes(u"\xFEFF<?APPNAME?> \u00E9\u4E2D");
  const std::u16string wide = LicenceWideText(payload, true);
  const std::string body = LicenceBodyBytes(payload, true, wide);
  EXPECT_EQ(body, std::string(payload.begin(), payload.end()));
  EXPECT_EQ(Units(PrepareBodyText(Bytes(body), true, &macros_)), u"Budget \u00E9\u4E2D");
}

}  // namespace
}  // namespace brisk

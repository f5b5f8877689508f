// Icon files and icon groups; the version resource's bytes.
#include <gtest/gtest.h>

#include "icon_file.h"
#include "icon_fixture.h"
#include "version_resource.h"

namespace brisk {
namespace {

using test::IconSpec;
using test::MakeIconFile;

TEST(IconFileTest, ReadsEveryImageAndMakesTheGroup) {
  const PayloadBuffer file = MakeIconFile({{16, 0xFF0000, false, 32}, {48, 0x00FF00, false, 0}, {256, 0, true, 0}});
  const IconFileResult icon = ParseIconFile(file);
  ASSERT_EQ(icon.error, "");
  ASSERT_EQ(icon.images.size(), 3u);
  EXPECT_EQ(icon.images[0].width, 16);
  EXPECT_EQ(icon.images[0].bytes, test::BitmapIconImage(16, 0xFF0000));
  EXPECT_EQ(icon.images[1].bitCount, 32) << "a zero bit count comes from the bitmap header";
  EXPECT_EQ(icon.images[2].width, 256) << "0 in the directory means 256";
  EXPECT_EQ(icon.images[2].bitCount, 32) << "8-bit RGBA";
  EXPECT_EQ(icon.images[2].planes, 1);

  const PayloadBuffer group = MakeIconGroup(icon.images, 7);
  ASSERT_EQ(group.size(), 6u + 3 * 14);
  EXPECT_EQ(group[2], 1) << "type: icon";
  EXPECT_EQ(group[6 + 2 * 14], 0) << "256 is stored as 0";
  const auto entries = ParseIconGroup(group);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 3u);
  EXPECT_EQ((*entries)[0].width, 16);
  EXPECT_EQ((*entries)[0].id, 7);
  EXPECT_EQ((*entries)[1].height, 48);
  EXPECT_EQ((*entries)[1].bytes, icon.images[1].bytes.size());
  EXPECT_EQ((*entries)[2].width, 256);
  EXPECT_EQ((*entries)[2].id, 9);
}

TEST(IconFileTest, RefusesWhatIsNoIconFile) {
  const PayloadBuffer good = MakeIconFile({{16}, {32}});
  PayloadBuffer cursor = good;
  cursor[2] = 2;
  PayloadBuffer none = good;
  none[4] = 0;
  PayloadBuffer directoryCut(good.begin(), good.begin() + 20);
  PayloadBuffer imageCut(good.begin(), good.end() - 1);
  PayloadBuffer zeroSize = good;
  le::WriteU32(zeroSize.data() + 6 + 16 + 8, 0);
  PayloadBuffer offsetOutside = good;
  le::WriteU32(offsetOutside.data() + 6 + 12, 0xFFFFFFF0u);
  PayloadBuffer junkImage = good;
  junkImage[le::ReadU32(good.data() + 6 + 12)] = 0x77;
  struct Case {
    const char* name;
    PayloadBuffer file;
    std::string error;
  };
  const Case cases[] = {
      {"empty", {}, "not an icon file"},
      {"text", {'a', 'b', 'c', 'd', 'e', 'f', 'g'}, "not an icon file"},
      {"cursor file", cursor, "not an icon file"},
      {"no image", none, "holds no image"},
      {"cut directory", directoryCut, "cut-off icon directory"},
      {"cut image", imageCut, "icon image 2 lies outside the file"},
      {"empty image", zeroSize, "icon image 2 lies outside the file"},
      {"offset outside", offsetOutside, "icon image 1 lies outside the file"},
      {"junk image", junkImage, "icon image 1 is neither a PNG image nor a bitmap"},
  };
  for (const Case& c : cases) {
    const IconFileResult icon = ParseIconFile(c.file);
    EXPECT_TRUE(icon.images.empty()) << c.name;
    EXPECT_NE(icon.error.find(c.error), std::string::npos) << c.name << ": " << icon.error;
  }
  EXPECT_FALSE(ParseIconGroup(PayloadBuffer{0, 0, 1, 0, 5, 0}));
}

std::uint16_t U16(const PayloadBuffer& bytes, std::size_t at) { return le::ReadU16(bytes.data() + at); }

TEST(VersionResourceTest, LaysOutTheBlocksAsWindowsReadsThem) {
  VersionInfo info;
  info.fileVersion = {1, 2, 3, 4};
  info.productVersion = {1, 2, 3, 4};
  info.strings = {{u"ProductName", u"Budget"}, {u"FileVersion", u"1.2.3.4"}};
  const PayloadBuffer bytes = MakeVersionResource(info);

  // VS_VERSIONINFO: its length is the whole resource; the key, padded to
  // four bytes, then the 52-byte fixed information.
  EXPECT_EQ(U16(bytes, 0), bytes.size());
  EXPECT_EQ(U16(bytes, 2), 52);
  EXPECT_EQ(U16(bytes, 4), 0);
  EXPECT_EQ(U16(bytes, 6), u'V');
  constexpr std::size_t kFixed = 40;  // 6 + 32 bytes of "VS_VERSION_INFO" and its zero, padded
  EXPECT_EQ(le::ReadU32(bytes.data() + kFixed), 0xFEEF04BDu);
  EXPECT_EQ(le::ReadU32(bytes.data() + kFixed + 8), 0x00010002u);   // file version, high
  EXPECT_EQ(le::ReadU32(bytes.data() + kFixed + 12), 0x00030004u);  // file version, low
  EXPECT_EQ(le::ReadU32(bytes.data() + kFixed + 32), 0x00040004u);  // VOS_NT_WINDOWS32
  EXPECT_EQ(le::ReadU32(bytes.data() + kFixed + 36), 1u);           // VFT_APP

  // StringFileInfo right after, a text block without a value.
  constexpr std::size_t kStringInfo = kFixed + 52;
  EXPECT_EQ(U16(bytes, kStringInfo + 2), 0);
  EXPECT_EQ(U16(bytes, kStringInfo + 4), 1);
  EXPECT_EQ(U16(bytes, kStringInfo + 6), u'S');
  // Its string table "040904B0" follows its key ("StringFileInfo" and its
  // zero: 30 bytes, ending at a four-byte boundary).
  const std::size_t table = kStringInfo + 6 + 30;
  EXPECT_EQ(U16(bytes, table + 6), u'0');
  EXPECT_EQ(U16(bytes, table + 6 + 2 * 6), u'B');
  // The first string: "ProductName" (12 units), padded; the value counts
  // its units with the zero.
  const std::size_t string = table + 6 + 18;  // "040904B0" and its zero: 18 bytes, ending at a boundary
  EXPECT_EQ(U16(bytes, string + 2), 7) << "Budget and its zero";
  EXPECT_EQ(U16(bytes, string + 4), 1);
  EXPECT_EQ(U16(bytes, string + 6), u'P');
  EXPECT_EQ(string % 4, 0u);

  const auto parsed = ParseVersionResource(bytes);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->stringTable, u"040904B0");
  EXPECT_EQ(parsed->translations, (std::vector<std::uint32_t>{0x04B00409}));
  EXPECT_EQ(parsed->info.fileVersion, info.fileVersion);
  EXPECT_EQ(parsed->info.productVersion, info.productVersion);
  EXPECT_EQ(parsed->info.strings, info.strings);
}

TEST(VersionResourceTest, EveryBlockStartsAtAFourByteBoundary) {
  // Odd key and value lengths in every combination.
  VersionInfo info;
  info.strings = {
      {u"A", u""}, {u"AB", u"x"}, {u"ABC", u"xy"}, {u"ABCD", u"xyz"}, {u"CompanyName", u"Caf\u00E9 \u4E2D"}};
  const PayloadBuffer bytes = MakeVersionResource(info);
  EXPECT_EQ(bytes.size() % 2, 0u);
  const auto parsed = ParseVersionResource(bytes);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->info.strings, info.strings);
}

TEST(VersionResourceTest, RefusesMalformedBlocks) {
  VersionInfo info;
  info.strings = {{u"ProductName", u"Budget"}};
  const PayloadBuffer good = MakeVersionResource(info);
  PayloadBuffer longer = good;
  le::WriteU16(longer.data(), static_cast<std::uint16_t>(good.size() + 4));
  PayloadBuffer wrongKey = good;
  wrongKey[6] = 'X';
  PayloadBuffer noSignature = good;
  noSignature[40] = 0;
  for (const PayloadBuffer& bad :
       {PayloadBuffer{}, PayloadBuffer(good.begin(), good.begin() + 30), longer, wrongKey, noSignature}) {
    EXPECT_FALSE(ParseVersionResource(bad));
  }
}

}  // namespace
}  // namespace brisk

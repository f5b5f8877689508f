// The builder's PE reading and patching, on small images made by the test.
#include <gtest/gtest.h>

#include <algorithm>

#include "build_image.h"
#include "pe_image.h"
#include "test_image.h"

namespace brisk {
namespace {

using test::LauncherResources;
using test::MakeTestImage;
using test::TestImageOptions;
using test::TestResource;

std::uint32_t StampAt(const PayloadBuffer& file, std::size_t at) { return le::ReadU32(file.data() + at); }

TEST(PeImageTest, ReadsHeadersSectionsAndResources) {
  const PayloadBuffer file = MakeTestImage({{{pe::kTypeVersion, {}}, {1, {}}, 0x409, {1, 2, 3}},
                                            {{0, u"EXTRSC"}, {1020, {}}, 0x409, {4, 5}},
                                            {{0, u"EXTRSC"}, {0, u"NAMED"}, 0x407, {6}}});
  const pe::ImageResult parsed = pe::ParseImage(file);
  ASSERT_TRUE(parsed.image) << parsed.error;
  const pe::Image& image = *parsed.image;
  EXPECT_EQ(image.machine, pe::kMachineI386);
  EXPECT_EQ(image.optionalMagic, pe::kOptionalHeaderPe32);
  ASSERT_EQ(image.sections.size(), 2u);
  EXPECT_EQ(image.sections[1].name, ".rsrc");
  EXPECT_EQ(image.imageEnd, file.size());
  EXPECT_EQ(image.timeStampOffset, 0x48u);
  EXPECT_EQ(image.checksumOffset, test::kTestOptionalHeader + 64);

  const auto resources = pe::ListResources(file, image);
  ASSERT_TRUE(resources);
  ASSERT_EQ(resources->size(), 3u);
  // Named types come first, named entries before numbered ones.
  EXPECT_EQ((*resources)[0].type.text, u"EXTRSC");
  EXPECT_EQ((*resources)[0].name.text, u"NAMED");
  EXPECT_EQ((*resources)[0].language, 0x407);
  EXPECT_EQ((*resources)[1].name.id, 1020);
  const auto data = pe::ResourceBytes(file, image, (*resources)[1]);
  EXPECT_EQ(PayloadBuffer(data.begin(), data.end()), (PayloadBuffer{4, 5}));
  EXPECT_EQ((*resources)[2].type.id, pe::kTypeVersion);
  EXPECT_EQ((*resources)[2].size, 3u);
}

TEST(PeImageTest, RefusesWhatIsNoWholeImage) {
  const PayloadBuffer good = MakeTestImage(LauncherResources());
  struct Case {
    const char* name;
    PayloadBuffer file;
    std::string error;
  };
  PayloadBuffer noMz = good;
  noMz[0] = 'X';
  PayloadBuffer noPe = good;
  noPe[0x41] = 'X';
  PayloadBuffer cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() - 0x100));
  PayloadBuffer headersOnly(good.begin(), good.begin() + 0x100);
  PayloadBuffer noSections = good;
  le::WriteU16(noSections.data() + 0x46, 0);
  PayloadBuffer badMagic = good;
  le::WriteU16(badMagic.data() + test::kTestOptionalHeader, 0x1234);
  const Case cases[] = {
      {"no MZ", noMz, "no MZ header"},
      {"no PE", noPe, "no PE header"},
      {"cut-off section", cut, "section .rsrc lies beyond the end of the file"},
      {"headers only", headersOnly, "cut-off PE header"},
      {"no sections", noSections, "damaged section table"},
      {"unknown optional header", badMagic, "unknown optional header"},
      {"empty", {}, "no MZ header"},
  };
  for (const Case& c : cases) {
    const pe::ImageResult parsed = pe::ParseImage(c.file);
    EXPECT_FALSE(parsed.image) << c.name;
    EXPECT_NE(parsed.error.find(c.error), std::string::npos) << c.name << ": " << parsed.error;
  }
}

TEST(PeImageTest, DamagedResourceTreeIsNoList) {
  PayloadBuffer file = MakeTestImage(LauncherResources());
  const pe::Image image = *pe::ParseImage(file).image;
  // The root's first entry points at a directory far outside the section.
  le::WriteU32(file.data() + test::kTestResourceFileOffset + 16 + 4, 0x80000000u | 0x7FFFFF);
  EXPECT_FALSE(pe::ListResources(file, image));
  EXPECT_FALSE(pe::SetTimeStamps(file, image, 1));
}

TEST(PeImageTest, SetsEveryTimeStamp) {
  PayloadBuffer file =
      MakeTestImage({{{pe::kTypeVersion, {}}, {1, {}}, 0x409, {1}}, {{0, u"EXTRSC"}, {1020, {}}, 0x409, {2}}});
  const pe::Image image = *pe::ParseImage(file).image;
  ASSERT_TRUE(pe::SetTimeStamps(file, image, 0xCAFEF00D));
  EXPECT_EQ(StampAt(file, image.timeStampOffset), 0xCAFEF00Du);
  // The root (two entries), two type directories and two name directories
  // (one entry each), laid out in that order: every one stamped.
  const std::size_t rsrc = test::kTestResourceFileOffset;
  for (std::size_t directory : {0, 32, 56, 80, 104}) {
    EXPECT_EQ(StampAt(file, rsrc + directory + 4), 0xCAFEF00Du) << directory;
  }
}

TEST(PeImageTest, ChecksumFoldsCarriesSkipsItsFieldAndAddsTheLength) {
  const PayloadBuffer small = {0x01, 0x02, 0x03, 0x04, 0x05};
  EXPECT_EQ(pe::ComputeChecksum(small, 100), 0x0201u + 0x0403u + 0x0005u + 5u);
  // Two 0xFFFF words fold to 0xFFFF; the field's four bytes count as zero.
  const PayloadBuffer ones(8, 0xFF);
  EXPECT_EQ(pe::ComputeChecksum(ones, 0), 0xFFFFu + 8u);
  EXPECT_EQ(pe::ComputeChecksum(ones, 4), 0xFFFFu + 8u);
  // A field at an odd offset is cleared byte by byte.
  const PayloadBuffer odd = {0x10, 0xAA, 0xBB, 0xCC, 0xDD, 0x20};
  EXPECT_EQ(pe::ComputeChecksum(odd, 1), 0x0010u + 0x2000u + 6u);

  PayloadBuffer file = MakeTestImage(LauncherResources());
  const pe::Image image = *pe::ParseImage(file).image;
  pe::WriteChecksum(file, image);
  const std::uint32_t stored = le::ReadU32(file.data() + image.checksumOffset);
  EXPECT_EQ(stored, pe::ComputeChecksum(file, image.checksumOffset));
  file[0x300] ^= 1;
  EXPECT_NE(stored, pe::ComputeChecksum(file, image.checksumOffset));
}

// A certificate table as signing tools append it: padding to eight bytes,
// then the table, named by data directory entry 4, and the checksum anew.
PayloadBuffer Signed(PayloadBuffer file) {
  while (file.size() % 8 != 0) file.push_back(0);
  const std::uint32_t at = static_cast<std::uint32_t>(file.size());
  file.resize(file.size() + 64, 0x30);
  le::WriteU32(file.data() + test::kTestOptionalHeader + 96 + 8 * pe::kCertificateTable, at);
  le::WriteU32(file.data() + test::kTestOptionalHeader + 96 + 8 * pe::kCertificateTable + 4, 64);
  test::RewriteChecksum(file);
  return file;
}

TEST(PeImageTest, CertificateTableIsFoundAndRemoved) {
  const PayloadBuffer plain = MakeTestImage(LauncherResources());
  PayloadBuffer file = Signed(plain);
  const pe::Image image = *pe::ParseImage(file).image;
  EXPECT_TRUE(pe::HasCertificateTable(file, image));
  EXPECT_FALSE(pe::HasCertificateTable(plain, *pe::ParseImage(plain).image));
  ASSERT_TRUE(pe::RemoveCertificateTable(file, image));
  test::RewriteChecksum(file);
  EXPECT_EQ(file, plain);

  PayloadBuffer outside = Signed(plain);
  le::WriteU32(outside.data() + test::kTestOptionalHeader + 96 + 8 * pe::kCertificateTable + 4, 0x10000);
  EXPECT_FALSE(pe::HasCertificateTable(outside, *pe::ParseImage(outside).image));
}

TEST(LauncherCheckTest, TakesALauncherAndDropsItsSignature) {
  PayloadBuffer file = MakeTestImage(LauncherResources());
  const PayloadBuffer plain = file;
  LauncherCheck check = CheckLauncherImage(file);
  ASSERT_TRUE(check.image) << check.error;
  EXPECT_EQ(check.resources.size(), LauncherResources().size());

  file = Signed(plain);
  check = CheckLauncherImage(file);
  ASSERT_TRUE(check.image) << check.error;
  // The signature goes; the checksum, which is written anew with the build,
  // is the signed file's.
  file.resize(plain.size());
  const std::size_t checksum = check.image->checksumOffset;
  EXPECT_TRUE(std::equal(file.begin(), file.begin() + checksum, plain.begin()));
  EXPECT_TRUE(std::equal(file.begin() + checksum + 4, file.end(), plain.begin() + checksum + 4));
}

TEST(LauncherCheckTest, RefusesForeignAndDamagedImages) {
  const auto without = [](pe::ResourceName type, std::uint16_t id) {
    std::vector<TestResource> resources = LauncherResources();
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [&](const TestResource& r) { return r.type == type && r.name.id == id; }),
                    resources.end());
    return MakeTestImage(resources);
  };
  PayloadBuffer appended = MakeTestImage(LauncherResources());
  appended.push_back(0x42);
  PayloadBuffer cut = MakeTestImage(LauncherResources());
  cut.resize(cut.size() - 0x80);
  PayloadBuffer symbols = MakeTestImage(LauncherResources());
  le::WriteU32(symbols.data() + 0x44 + 8, static_cast<std::uint32_t>(symbols.size()));
  PayloadBuffer amd64 = MakeTestImage(LauncherResources());
  le::WriteU16(amd64.data() + 0x44, pe::kMachineAmd64);
  test::RewriteChecksum(amd64);
  // Bytes of its code changed after it was linked: the checksum tells.
  PayloadBuffer damaged = MakeTestImage(LauncherResources());
  damaged[0x210] ^= 0x5A;
  PayloadBuffer unsummed = MakeTestImage(LauncherResources());
  le::WriteU32(unsummed.data() + test::kTestOptionalHeader + 64, 0);
  std::vector<TestResource> badVersion = LauncherResources();
  for (TestResource& resource : badVersion) {
    if (resource.type == pe::ResourceName{pe::kTypeVersion, {}}) resource.bytes = PayloadBuffer(92, 5);
  }
  TestImageOptions dll;
  dll.characteristics = 0x2102;
  TestImageOptions console;
  console.subsystem = 3;
  struct Case {
    const char* name;
    PayloadBuffer file;
    std::string error;
  };
  const Case cases[] = {
      {"text file", PayloadBuffer{'h', 'e', 'l', 'l', 'o'}, "no MZ header"},
      {"cut off", cut, "beyond the end of the file"},
      {"x86-64 machine in a PE32 header", amd64, "not an i386 (PE32) or x86-64 (PE32+) executable"},
      {"code changed after linking", damaged, "its checksum does not match its bytes: it is damaged"},
      {"no checksum", unsummed, "it carries no checksum"},
      {"damaged version resource", MakeTestImage(badVersion), "its version resource is damaged"},
      {"DLL", MakeTestImage(LauncherResources(), dll), "not a Windows GUI program"},
      {"console", MakeTestImage(LauncherResources(), console), "not a Windows GUI program"},
      {"appended data", appended, "data is appended after its image"},
      {"symbol table", symbols, "it carries a symbol table (the launcher is linked with -s)"},
      {"no resources", MakeTestImage({}), "lacks the launcher's own resources"},
      {"no dialog", without({pe::kTypeDialog, {}}, 113), "lacks the launcher's own resources"},
      {"no symbol", without({0, u"PNG"}, 144), "lacks the launcher's own resources"},
      {"no version", without({pe::kTypeVersion, {}}, 1), "lacks the launcher's own resources"},
      {"no icon group", without({pe::kTypeGroupIcon, {}}, 1), "lacks the launcher's own resources"},
  };
  for (const Case& c : cases) {
    PayloadBuffer file = c.file;
    const LauncherCheck check = CheckLauncherImage(file);
    EXPECT_FALSE(check.image) << c.name;
    EXPECT_EQ(check.error.rfind("not a launcher of this project: ", 0), 0u) << c.name << ": " << check.error;
    EXPECT_NE(check.error.find(c.error), std::string::npos) << c.name << ": " << check.error;
  }
}

TEST(BuildImageTest, TimeStampComesFromSourceDateEpochOrIsRefused) {
  EXPECT_EQ(ChooseTimeStamp(std::nullopt).stamp, std::nullopt);
  EXPECT_EQ(ChooseTimeStamp(std::nullopt).error, "");
  EXPECT_EQ(ChooseTimeStamp(std::string()).stamp, std::nullopt) << "empty counts as not set";
  EXPECT_EQ(ChooseTimeStamp(std::string()).error, "");
  EXPECT_EQ(ChooseTimeStamp("1700000000").stamp, std::optional<std::uint32_t>(1700000000));
  EXPECT_EQ(ChooseTimeStamp("0").stamp, std::optional<std::uint32_t>(0));
  EXPECT_EQ(ChooseTimeStamp("4294967295").stamp, std::optional<std::uint32_t>(0xFFFFFFFF));
  for (const char* bad : {"4294967296", "-1", "12x", " 1", "1.5"}) {
    const TimeStampChoice choice = ChooseTimeStamp(std::string(bad));
    EXPECT_FALSE(choice.stamp) << bad;
    EXPECT_NE(choice.error.find("SOURCE_DATE_EPOCH"), std::string::npos) << bad;
  }
}

TEST(BuildImageTest, FinishedImagesDependOnTheirContentOnly) {
  const PayloadBuffer original = MakeTestImage(LauncherResources());
  PayloadBuffer first = original;
  PayloadBuffer second = original;
  le::WriteU32(second.data() + 0x48, 0x11111111);  // another link time
  ASSERT_TRUE(FinishBuildImage(first, std::nullopt));
  ASSERT_TRUE(FinishBuildImage(second, std::nullopt));
  EXPECT_EQ(first, second);
  const pe::Image image = *pe::ParseImage(first).image;
  EXPECT_EQ(le::ReadU32(first.data() + image.checksumOffset), pe::ComputeChecksum(first, image.checksumOffset));
  EXPECT_EQ(StampAt(first, test::kTestResourceFileOffset + 4), StampAt(first, image.timeStampOffset));

  PayloadBuffer other = original;
  other[0x201] = 0x90;  // different code: a different derived stamp
  ASSERT_TRUE(FinishBuildImage(other, std::nullopt));
  EXPECT_NE(StampAt(other, image.timeStampOffset), StampAt(first, image.timeStampOffset));

  PayloadBuffer epoch = original;
  ASSERT_TRUE(FinishBuildImage(epoch, 1700000000u));
  EXPECT_EQ(StampAt(epoch, image.timeStampOffset), 1700000000u);
  EXPECT_EQ(StampAt(epoch, test::kTestResourceFileOffset + 4), 1700000000u);
  EXPECT_EQ(le::ReadU32(epoch.data() + image.checksumOffset), pe::ComputeChecksum(epoch, image.checksumOffset));
}

}  // namespace
}  // namespace brisk

// The builder's manifest and payload resources.
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>
#include <fstream>
#include <map>

#include "build_resources.h"
#include "manifest.h"
#include "payload/build_settings.h"
#include "payload/container.h"
#include "payload/payload_ids.h"
#include "text/byte_reader.h"
#include "text/message_table.h"

namespace brisk {
namespace {

constexpr const char* kMinimal = "workbook = w.bin\naux-workbook = a.bin\naddin32 = s.dll\n";

TEST(ManifestTest, ReadsEveryKey) {
  const ManifestResult result = ParseManifest(
      "# sample\n"
      "name = Caf\xC3\xA9 Planner \n"
      "info=Quarterly\n"
      "version = 1.2.3\r\n"
      "flags = single-instance | host-invisible | 0x80\n"
      "password = s3cret\n"
      "format = 4\n"
      "magic = 0x12345678\n"
      "workbook = data/w.bin\n"
      "aux-workbook = a.bin\n"
      "addin32 = s32.dll\n"
      "addin64 = s64.dll\n"
      "licence = l.rtf\n"
      "splash = s.jpg\n"
      "language = de.lng\n",
      "base");
  ASSERT_TRUE(result.manifest) << result.error;
  const BuildManifest& m = *result.manifest;
  EXPECT_EQ(m.appName, u"Caf\u00E9 Planner");
  EXPECT_EQ(m.appInfo, u"Quarterly");
  EXPECT_EQ(m.appVersion, 0x01020300u);
  EXPECT_EQ(m.flags, 0x4000u | 0x40u | 0x80u);
  EXPECT_EQ(m.password, u"s3cret");
  EXPECT_EQ(m.workbookFormat, static_cast<std::uint32_t>('4'));
  EXPECT_EQ(m.magic, std::optional<std::uint32_t>(0x12345678));
  EXPECT_EQ(m.workbook, std::filesystem::path("base") / "data/w.bin");
  EXPECT_EQ(m.addin64, std::filesystem::path("base") / "s64.dll");
  EXPECT_EQ(m.language, std::filesystem::path("base") / "de.lng");
}

TEST(ManifestTest, RefusesBadInputWithTheLine) {
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {std::string(kMinimal) + "flags = single-instance | bogus\n", "line 4: bad flag"},
      {std::string(kMinimal) + "flags = |\n", "line 4: bad flag"},
      {std::string(kMinimal) + "version = 1.2\n", "line 4: version"},
      {std::string(kMinimal) + "version = 1.2.256\n", "line 4: version"},
      {std::string(kMinimal) + "format = 42\n", "line 4: format"},
      {std::string(kMinimal) + "colour = blue\n", "line 4: unknown key 'colour'"},
      {std::string(kMinimal) + "name = a\nname = b\n", "line 5: 'name' given twice"},
      {std::string(kMinimal) + "just text\n", "line 4: expected key = value"},
      {std::string(kMinimal) + "name = \xFF\n", "line 4: value is not UTF-8"},
      {"aux-workbook = a\naddin32 = b\n", "'workbook' is missing"},
      {"workbook = a\naddin32 = b\n", "'aux-workbook' is missing"},
      {"workbook = a\naux-workbook = b\n", "'addin32' is missing"},
  };
  for (const Case& c : cases) {
    const ManifestResult result = ParseManifest(c.text, ".");
    EXPECT_FALSE(result.manifest) << c.text;
    EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
    EXPECT_EQ(result.error.find('\n'), std::string::npos) << "one line";
  }
}

class BuildResourcesTest : public testing::Test {
 protected:
  BuildResourcesTest() {
    // Each test process gets a folder of its own: ctest runs the cases in parallel.
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              ("brisk-builder-" + std::to_string(::getpid()) + "-" + test->name());
    std::filesystem::create_directories(folder_);
    Write("w.bin", "WORKBOOK");
    Write("a.bin", "AUX");
    Write("s.dll", std::string(64, 'D'));
    Write("de.lng", "[content]\nWARNING_TITLE=Achtung\nEULA_TITLE=Lizenz\n");
  }
  ~BuildResourcesTest() override { std::filesystem::remove_all(folder_); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }

  std::map<int, PayloadBuffer> Build(const std::string& extra, std::string* error = nullptr) {
    const ManifestResult manifest = ParseManifest(std::string(kMinimal) + extra, folder_);
    EXPECT_TRUE(manifest.manifest) << manifest.error;
    const BuildResult build = MakeBuildResources(*manifest.manifest);
    if (error) *error = build.error;
    std::map<int, PayloadBuffer> byId;
    for (const BuiltResource& resource : build.resources) byId[resource.id] = resource.bytes;
    return byId;
  }

  static std::string Unpacked(const PayloadBuffer& container) {
    PayloadBuffer out;
    EXPECT_TRUE(UnpackContainer(container.data(), container.size(), out));
    return std::string(out.begin(), out.end());
  }

  std::filesystem::path folder_;
};

TEST_F(BuildResourcesTest, CarriesEveryPayloadInTheLaunchersForm) {
  auto resources = Build("name = Budget\nlanguage = de.lng\n");
  EXPECT_EQ(Unpacked(resources.at(kMainWorkbookResource)), std::string("\xEC\x02\x11\x57", 4) + "WORKBOOK");
  EXPECT_EQ(Unpacked(resources.at(kAuxWorkbookResource)), "AUX");
  EXPECT_EQ(Unpacked(resources.at(kAddin32Resource)), std::string(64, 'D'));
  EXPECT_EQ(resources.count(kAddin64Resource), 0u);
  EXPECT_EQ(resources.at(kLicenceTextResource), PayloadBuffer{'1'}) << "no licence: a one-byte placeholder";
  EXPECT_EQ(resources.at(kCarried1060Resource), PayloadBuffer{0x01});

  PayloadBuffer record = resources.at(kBuildSettingsResource);
  BuildSettings settings;
  ParseBuildSettings(record, settings);
  EXPECT_EQ(settings.appName, u"Budget");

  const std::string table = Unpacked(resources.at(kMessageTableResource));
  MessageTable loaded;
  ByteReader reader(table.data(), table.size());
  loaded.LoadFromResource(reader);
  EXPECT_EQ(loaded.Texts().at(kWarningTitle), "Achtung");
  EXPECT_EQ(loaded.Texts().at(kEulaTitle), "Lizenz");
}

TEST_F(BuildResourcesTest, MissingFileIsRefusedWithItsName) {
  std::string error;
  const auto resources = Build("licence = nowhere.txt\n", &error);
  EXPECT_TRUE(resources.empty());
  EXPECT_NE(error.find("nowhere.txt"), std::string::npos) << error;
}

}  // namespace
}  // namespace brisk

#include "storage_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "payload/container.h"
#include "payload/external_storage.h"

namespace brisk::e2e {
namespace {

// A current-layout record with a name and the external storage bit.
PayloadBuffer Record(std::uint32_t magic) {
  SettingsRecordInput input;
  input.appName = u"St";
  input.flags = 0x20000;
  input.workbookFormat = '2';
  input.magic = magic;
  const SettingsRecordResult written = WriteBuildSettingsRecord(input);
  EXPECT_EQ(written.error, "");
  return written.record;
}

class StorageFileTest : public ::testing::Test {
 protected:
  ~StorageFileTest() override {
    std::error_code error;
    std::filesystem::remove(path_, error);
  }

  bool Load(const PayloadBuffer& file, BuildSettings& settings, PayloadBuffer& record, PayloadBuffer& workbook) {
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return LoadExternalStorage(path_.u16string(), settings, record, workbook);
  }

  std::filesystem::path path_ = std::filesystem::temp_directory_path() / "brisk_e2e_storage.qstg";
};

TEST_F(StorageFileTest, TheLauncherReadsWhatIsWritten) {
  StorageFileParts parts;
  parts.part1 = "state";
  parts.settings = Record(kSettingsMagic);
  const PayloadBuffer workbookBytes = MarkedWorkbook("stored");
  ASSERT_TRUE(PackContainer(workbookBytes.data(), workbookBytes.size(), parts.workbook));
  parts.part4 = {9, 9};
  BuildSettings settings;
  settings.magic = kSettingsMagic;
  PayloadBuffer record{1};
  PayloadBuffer workbook;
  ASSERT_TRUE(Load(MakeStorageFile(parts), settings, record, workbook));
  EXPECT_EQ(settings.appName, u"St");
  EXPECT_EQ(settings.workbookFormat, static_cast<std::uint32_t>('2'));
  EXPECT_EQ(settings.flags, 0x20000u);
  EXPECT_EQ(record, parts.settings);
  EXPECT_EQ(workbook, workbookBytes) << "the packed workbook part is handed on unpacked";
}

TEST_F(StorageFileTest, BoundToAnotherMagicIsRefused) {
  StorageFileParts parts;
  parts.settings = Record(kSettingsMagic);
  parts.workbook = MarkedWorkbook("stored");
  parts.settingsMagic = kSettingsMagic ^ 0x100;
  BuildSettings settings;
  settings.magic = kSettingsMagic;
  PayloadBuffer record{1};
  PayloadBuffer workbook;
  EXPECT_FALSE(Load(MakeStorageFile(parts), settings, record, workbook));
  EXPECT_EQ(record, PayloadBuffer{1});
  EXPECT_TRUE(workbook.empty());
}

TEST(MarkedWorkbookTest, StartsWithTheMarkerInLittleEndian) {
  EXPECT_EQ(MarkedWorkbook("ab"), (PayloadBuffer{0xEC, 0x02, 0x11, 0x57, 'a', 'b'}));
}

}  // namespace
}  // namespace brisk::e2e

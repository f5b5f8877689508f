#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "payload/build_settings.h"
#include "payload/container.h"
#include "payload/external_storage.h"
#include "payload_fixtures.h"

namespace brisk {
namespace {

using test::AsString;
using test::CurrentRecord;
using test::PutLe;
using test::StorageFile;
using test::TempDir;

TEST(PayloadStoragePath, ReplacesTheExtensionOfTheFileName) {
  EXPECT_EQ(ExternalStoragePath(u"C:\\Apps\\Tool.exe"), u"C:\\Apps\\Tool.qstg");
  EXPECT_EQ(ExternalStoragePath(u"apps/Tool.exe"), u"apps/Tool.qstg");
  EXPECT_EQ(ExternalStoragePath(u"apps/my.tool.exe"), u"apps/my.tool.qstg");
  EXPECT_EQ(ExternalStoragePath(u"apps.v2/Tool"), u"apps.v2/Tool.qstg");
  EXPECT_EQ(ExternalStoragePath(u"C:Tool.exe"), u"C:Tool.qstg");
  EXPECT_EQ(ExternalStoragePath(u"Tool.EXE"), u"Tool.qstg");
}

TEST(PayloadStoragePath, BindingTagOfTheRequiredMagic) { EXPECT_EQ(StorageBindingTag(kSettingsMagic), 0x4777E89Du); }

class PayloadStorage : public ::testing::Test {
 protected:
  void SetUp() override {
    CurrentRecord original;
    original.appName = u"Original";
    original.flags = kFlagExternalStorage;
    rawRecord_ = original.Build();
    PayloadBuffer copy = rawRecord_;
    settings_ = ParseBuildSettings(copy);
    workbook_ = {0xEC, 0x02, 0x11, 0x57, 'o', 'l', 'd'};

    CurrentRecord replacement;
    replacement.appName = u"Stored";
    replacement.flags = kFlagExternalStorage | kFlagHostInvisible;
    newRecord_ = replacement.Build();
    file_.settings = AsString(newRecord_);
    file_.workbook = std::string("\xEC\x02\x11\x57new workbook", 16);
  }

  bool Load(const PayloadBuffer& bytes) { return Load(dir_.Write("Tool.qstg", bytes)); }

  bool Load(const std::filesystem::path& path) {
    return LoadExternalStorage(path.u16string(), settings_, rawRecord_, workbook_);
  }

  void ExpectUnchanged() {
    EXPECT_EQ(settings_.appName, u"Original");
    EXPECT_EQ(settings_.flags, kFlagExternalStorage);
    EXPECT_EQ(AsString(workbook_), std::string("\xEC\x02\x11\x57old", 7));
    CurrentRecord original;
    original.appName = u"Original";
    original.flags = kFlagExternalStorage;
    EXPECT_EQ(rawRecord_, original.Build());
  }

  TempDir dir_;
  BuildSettings settings_;
  PayloadBuffer rawRecord_;
  PayloadBuffer workbook_;
  PayloadBuffer newRecord_;
  StorageFile file_;
};

TEST_F(PayloadStorage, ValidFileReplacesRecordSettingsAndWorkbook) {
  ASSERT_TRUE(Load(file_.Build()));
  EXPECT_EQ(rawRecord_, newRecord_);
  EXPECT_EQ(settings_.appName, u"Stored");
  EXPECT_EQ(settings_.flags, kFlagExternalStorage | kFlagHostInvisible);
  EXPECT_EQ(AsString(workbook_), file_.workbook);
}

TEST_F(PayloadStorage, PackedSettingsPartIsUnpackedIntoTheRawRecord) {
  PayloadBuffer packed;
  ASSERT_TRUE(PackContainer(newRecord_.data(), newRecord_.size(), packed));
  file_.settings = AsString(packed);
  ASSERT_TRUE(Load(file_.Build()));
  EXPECT_EQ(rawRecord_, newRecord_);
  EXPECT_EQ(settings_.appName, u"Stored");
}

TEST_F(PayloadStorage, PackedWorkbookIsUnpackedWhenRead) {
  PayloadBuffer workbook(file_.workbook.begin(), file_.workbook.end());
  PayloadBuffer packed;
  ASSERT_TRUE(PackContainer(workbook.data(), workbook.size(), packed));
  file_.workbook = AsString(packed);
  ASSERT_TRUE(Load(file_.Build()));
  EXPECT_EQ(workbook_, workbook);
}

// A file that is sound but for its workbook part is ignored as a whole: the
// carried record and workbook stay, so the next start is not refused as a
// damaged build.
TEST_F(PayloadStorage, WorkbookPartThatDoesNotUnpackIgnoresTheFile) {
  PayloadBuffer workbook(4096, 0x5A);
  PayloadBuffer packed;
  ASSERT_TRUE(PackContainer(workbook.data(), workbook.size(), packed));
  PayloadBuffer truncated(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed.size() / 2));
  PayloadBuffer garbled = packed;
  for (std::size_t i = 24; i < garbled.size(); ++i) garbled[i] = static_cast<std::uint8_t>(i * 37 + 11);
  for (const PayloadBuffer& part : {truncated, garbled}) {
    file_.workbook = AsString(part);
    EXPECT_FALSE(Load(file_.Build()));
    ExpectUnchanged();
  }
}

TEST_F(PayloadStorage, EmptyWorkbookPartLeavesNoWorkbook) {
  file_.workbook.clear();
  ASSERT_TRUE(Load(file_.Build()));
  EXPECT_TRUE(workbook_.empty());
  EXPECT_EQ(settings_.appName, u"Stored");
}

TEST_F(PayloadStorage, PartsOneAndFourMayBeEmpty) {
  file_.part1.clear();
  file_.part4.clear();
  ASSERT_TRUE(Load(file_.Build()));
  EXPECT_EQ(AsString(workbook_), file_.workbook);
}

TEST_F(PayloadStorage, PartOneOf1024BytesIsAccepted) {
  file_.part1 = std::string(1024, 'n');
  ASSERT_TRUE(Load(file_.Build()));
  EXPECT_EQ(settings_.appName, u"Stored");
}

// The add-in never writes more than 1024 bytes of part 1.
TEST_F(PayloadStorage, PartOneLongerThan1024BytesIsRejected) {
  file_.part1 = std::string(1025, 'n');
  EXPECT_FALSE(Load(file_.Build()));
  ExpectUnchanged();
}

// Part 1 longer than 64 KiB: reading only the low 16 bits of its length
// would misplace every later part.
TEST_F(PayloadStorage, PartOneBeyondSixteenBitsIsRejected) {
  file_.part1 = std::string(0x10000 + 2, 'n');
  EXPECT_FALSE(Load(file_.Build()));
  ExpectUnchanged();
}

TEST_F(PayloadStorage, DeclaredLengthsOneByteOffTheFileSizeAreRejected) {
  PayloadBuffer longer = file_.Build();
  longer.push_back('+');
  EXPECT_FALSE(Load(longer));
  ExpectUnchanged();

  PayloadBuffer shorter = file_.Build();
  shorter.pop_back();
  EXPECT_FALSE(Load(shorter));
  ExpectUnchanged();

  PayloadBuffer declaredMore = file_.Build();
  PutLe(declaredMore, 36, file_.part4.size() + 1, 4);
  EXPECT_FALSE(Load(declaredMore));
  ExpectUnchanged();
}

// Lengths that wrap around in 32 bits must not add up to the file size.
TEST_F(PayloadStorage, LengthsThatOverflowAreRejected) {
  PayloadBuffer bytes = file_.Build();
  PutLe(bytes, 36, file_.part4.size() + 0x100000000ull - 16, 4);
  PutLe(bytes, 24, file_.part1.size() + 16, 4);
  EXPECT_FALSE(Load(bytes));
  ExpectUnchanged();
}

TEST_F(PayloadStorage, EmptySettingsPartIsRejected) {
  file_.settings.clear();
  EXPECT_FALSE(Load(file_.Build()));
  ExpectUnchanged();
}

TEST_F(PayloadStorage, WrongMagicOrHeaderSizeIsRejected) {
  StorageFile wrongMagic = file_;
  wrongMagic.magic = 0x48535252;
  EXPECT_FALSE(Load(wrongMagic.Build()));
  ExpectUnchanged();

  StorageFile wrongHeader = file_;
  wrongHeader.headerSize = 44;
  EXPECT_FALSE(Load(wrongHeader.Build()));
  ExpectUnchanged();
}

TEST_F(PayloadStorage, BindingTagMustMatchTheCurrentSettingsMagic) {
  file_.bindingTag = StorageBindingTag(0x12345678);
  EXPECT_FALSE(Load(file_.Build()));
  ExpectUnchanged();

  settings_.magic = 0x12345678;
  EXPECT_TRUE(Load(file_.Build()));
  EXPECT_EQ(settings_.appName, u"Stored");
}

TEST_F(PayloadStorage, StoredSettingsMustPassTheChecksOfTheCarriedOnes) {
  struct Case {
    const char* what;
    std::uint32_t magic;
    std::uint32_t flags;
  };
  const Case cases[] = {
      {"a wrong validity magic", 0x12345678, kFlagExternalStorage},
      {"external storage mode switched off", kSettingsMagic, kFlagHostInvisible},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CurrentRecord stored;
    stored.appName = u"Stored";
    stored.magic = c.magic;
    stored.flags = c.flags;
    StorageFile file = file_;
    file.settings = AsString(stored.Build());
    EXPECT_FALSE(Load(file.Build()));
    ExpectUnchanged();
  }
}

// A file larger than a 32-bit launcher can hold is ignored before a byte of
// it is read (the file is sparse: it costs no disk).
TEST_F(PayloadStorage, FileBeyondTheLauncherLimitIsIgnored) {
  file_.part4.clear();
  PayloadBuffer bytes = file_.Build();
  const std::uint64_t size = kMaxStorageFileBytes + 1;
  PutLe(bytes, 36, size - bytes.size(), 4);
  const auto path = dir_.Write("Huge.qstg", bytes);
  std::filesystem::resize_file(path, size);
  EXPECT_FALSE(Load(path));
  ExpectUnchanged();
}

TEST_F(PayloadStorage, MissingTinyOrFolderFilesAreIgnored) {
  EXPECT_FALSE(Load(dir_.Path() / "absent.qstg"));
  std::filesystem::create_directory(dir_.Path() / "folder.qstg");
  EXPECT_FALSE(Load(dir_.Path() / "folder.qstg"));
  PayloadBuffer headerOnly = file_.Build();
  headerOnly.resize(40);
  EXPECT_FALSE(Load(headerOnly));
  EXPECT_FALSE(Load(PayloadBuffer{}));
  ExpectUnchanged();
}

TEST_F(PayloadStorage, NonAsciiPathsAreRead) {
  const auto path = dir_.Write(std::filesystem::path(u8"Pr\u00FCfung \u65E5\u672C.qstg"), file_.Build());
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_TRUE(Load(path));
  EXPECT_EQ(settings_.appName, u"Stored");
}

}  // namespace
}  // namespace brisk

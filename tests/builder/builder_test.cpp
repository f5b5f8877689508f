// The builder's manifest and payload resources.
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>
#include <fstream>
#include <map>
#include <array>

#include "build_resources.h"
#include "icon_fixture.h"
#include "version_resource.h"
#include "manifest.h"
#include "sign_command.h"
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
      "language = de.lng\n"
      "icon = app.ico\n"
      "company = Example Ltd\n"
      "copyright = (c) Example\n"
      "description = Quarterly planner\n"
      "sign = sign-tool {file} && check {file}\n",
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
  EXPECT_EQ(m.icon, std::filesystem::path("base") / "app.ico");
  EXPECT_EQ(m.version, (std::array<std::uint16_t, 4>{1, 2, 3, 0}));
  EXPECT_EQ(m.versionText, u"1.2.3");
  EXPECT_EQ(m.company, u"Example Ltd");
  EXPECT_EQ(m.copyright, u"(c) Example");
  EXPECT_EQ(m.description, u"Quarterly planner");
  EXPECT_EQ(m.signCommand, "sign-tool {file} && check {file}");
}

TEST(SignCommandTest, EveryFilePlaceholderGetsTheQuotedPath) {
  EXPECT_EQ(ShellQuoted("/tmp/a b/it's.exe"), "'/tmp/a b/it'\\''s.exe'");
  EXPECT_EQ(ShellQuoted(""), "''");
  EXPECT_EQ(SubstituteFile("sign -in {file} -out {file}.s && mv {file}.s {file}", "'f'"),
            "sign -in 'f' -out 'f'.s && mv 'f'.s 'f'");
  EXPECT_EQ(SubstituteFile("{file}", "\"C:\\x.exe\""), "\"C:\\x.exe\"");
  EXPECT_EQ(SubstituteFile("{fil} {FILE}", "x"), "{fil} {FILE}");
}

TEST(ManifestTest, ReadsTheFormsEditorsSave) {
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"byte-order mark", "\xEF\xBB\xBFname = Budget\nworkbook = w.bin\naux-workbook = a.bin\naddin32 = s.dll\n"},
      {"comment after the mark", "\xEF\xBB\xBF# made by hand\nname = Budget\n" + std::string(kMinimal)},
      {"CR LF", "name = Budget\r\nworkbook = w.bin\r\naux-workbook = a.bin\r\naddin32 = s.dll\r\n"},
      {"CR only", "name = Budget\rworkbook = w.bin\raux-workbook = a.bin\raddin32 = s.dll\r"},
      {"no final line end", "name = Budget\nworkbook = w.bin\naux-workbook = a.bin\naddin32 = s.dll"},
      {"blanks and tabs", "\t name\t=\tBudget \t\n" + std::string(kMinimal)},
  };
  for (const Case& c : cases) {
    const ManifestResult result = ParseManifest(c.text, "base");
    ASSERT_TRUE(result.manifest) << c.name << ": " << result.error;
    EXPECT_EQ(result.manifest->appName, u"Budget") << c.name;
    EXPECT_EQ(result.manifest->addin32, std::filesystem::path("base") / "s.dll") << c.name;
  }
}

TEST(ManifestTest, VersionGoesToTheRecordAndTheResource) {
  const auto parse = [](const std::string& version) {
    return ParseManifest(std::string(kMinimal) + "version = " + version + "\n", ".");
  };
  ManifestResult result = parse("1.2.3.65535");
  ASSERT_TRUE(result.manifest) << result.error;
  EXPECT_EQ(result.manifest->appVersion, 0x01020300u) << "the record keeps three bytes";
  EXPECT_EQ(result.manifest->version, (std::array<std::uint16_t, 4>{1, 2, 3, 65535}));
  EXPECT_EQ(result.manifest->versionText, u"1.2.3.65535");
  result = parse("01.002.3");
  ASSERT_TRUE(result.manifest) << result.error;
  EXPECT_EQ(result.manifest->versionText, u"1.2.3");
  result = ParseManifest(kMinimal, ".");
  EXPECT_EQ(result.manifest->versionText, u"0.0.0");
  EXPECT_EQ(result.manifest->appVersion, 0u);
}

TEST(ManifestTest, RefusesBadInputWithTheLine) {
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {std::string(kMinimal) + "flags = single-instance | bogus\n", "line 4: bad flag"},
      {std::string(kMinimal) + "flags = |\n", "line 4: bad flag"},
      {std::string(kMinimal) + "flags = single-instance | 0x1\n", "line 4: flags 0x1 are not known to the launcher"},
      {std::string(kMinimal) + "flags = 0x80000040\n", "line 4: flags 0x80000000 are not known"},
      {std::string(kMinimal) + "version = 1.2\n", "line 4: version must be a.b.c or a.b.c.d"},
      {std::string(kMinimal) + "version = 1.2.3.4.5\n", "line 4: version must be"},
      {std::string(kMinimal) + "version = 1.2.65536\n", "line 4: version must be"},
      {std::string(kMinimal) + "version = 1.-2.3\n", "line 4: version must be"},
      {std::string(kMinimal) + "version = 1.2.3.\n", "line 4: version must be"},
      {std::string(kMinimal) + "version = 0x1.2.3\n", "line 4: version must be"},
      {std::string(kMinimal) + "version = 2024.1.0\n",
       "line 4: version 2024.1.0: the first three numbers must be 0-255"},
      {std::string(kMinimal) + "version = 1.2.256\n", "line 4: version 1.2.256: the first three"},
      {std::string(kMinimal) + "format = 42\n", "line 4: format"},
      {std::string(kMinimal) + "colour = blue\n", "line 4: unknown key 'colour'"},
      {std::string(kMinimal) + "name = a\nname = b\n", "line 5: 'name' given twice"},
      {std::string(kMinimal) + "just text\n", "line 4: expected key = value"},
      {std::string(kMinimal) + "name = \xFF\n", "line 4: value is not UTF-8"},
      {std::string(kMinimal) + "sign = osslsigncode sign file.exe\n", "line 4: the sign command must name the file"},
      {std::string(kMinimal) + "company = " + std::string(1001, 'c') + "\n", "line 4: 'company' is longer than 1000"},
      {"aux-workbook = a\naddin32 = b\n", "'workbook' is missing"},
      {"workbook = a\naddin32 = b\n", "'aux-workbook' is missing"},
      {"workbook = a\naux-workbook = b\n", "'addin32' is missing"},
      {"workbook =\naux-workbook = a\naddin32 = b\n", "line 1: 'workbook' is empty"},
      {std::string(kMinimal) + "icon =   \n", "line 4: 'icon' is empty"},
      {std::string(kMinimal) + "launcher =\n", "line 4: 'launcher' is empty"},
      {"\xFF\xFEw\0o\0r\0k\0", "the file is UTF-16 or binary; save it as UTF-8"},
      {"\xFE\xFF\0w\0o", "the file is UTF-16"},
      {std::string("w\0o\0r\0k\0", 8), "the file is UTF-16"},
      {"\xEF\xBB\xBF\xEF\xBB\xBFname = x\n", "line 1: unknown key"},
      {"name = a\rname = b\r", "line 2: 'name' given twice"},
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
    folder_ =
        std::filesystem::temp_directory_path() / ("brisk-builder-" + std::to_string(::getpid()) + "-" + test->name());
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
    const BuildResult build = MakeBuildResources(*manifest.manifest, u"Budget.exe", prepareAddin_);
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
  AddinPreparer prepareAddin_;
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
  const BuildSettings settings = ParseBuildSettings(record);
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

TEST_F(BuildResourcesTest, InputsThatAreNoFilesAreRefusedWithTheirName) {
  std::filesystem::create_directories(folder_ / "folder.txt");
  struct Case {
    std::string extra;
    std::string error;
  };
  const Case cases[] = {
      {"licence = nowhere.txt\n", "cannot read licence " + (folder_ / "nowhere.txt").string() + ": no such file"},
      {"licence = folder.txt\n", "licence " + (folder_ / "folder.txt").string() + ": it is a folder"},
      {"icon = nowhere.ico\n", "cannot read icon " + (folder_ / "nowhere.ico").string()},
      {"language = folder.txt\n", "language " + (folder_ / "folder.txt").string() + ": cannot read the file"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_TRUE(Build(c.extra, &error).empty()) << c.extra;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

// A workbook too large for the 32-bit launcher is refused before it is read:
// the files are sparse, so the test costs no disk and no memory.
TEST_F(BuildResourcesTest, PayloadBeyondTheLimitIsRefusedBeforeItIsRead) {
  std::filesystem::resize_file(folder_ / "w.bin", 300ull * 1024 * 1024);
  std::string error;
  EXPECT_TRUE(Build("", &error).empty());
  EXPECT_NE(error.find("workbook " + (folder_ / "w.bin").string() + " is 300 MiB"), std::string::npos) << error;
  EXPECT_NE(error.find("at most 256 MiB"), std::string::npos) << error;

  std::filesystem::resize_file(folder_ / "w.bin", kMaxBuildPayloadBytes - 10);
  std::filesystem::resize_file(folder_ / "a.bin", 11);
  EXPECT_TRUE(Build("", &error).empty());
  EXPECT_NE(error.find("the payload files add up to 257 MiB; a build carries at most 256 MiB"), std::string::npos)
      << error;
}

TEST_F(BuildResourcesTest, LanguageFilesAreCheckedLineByLine) {
  Write("bom.lng", "\xEF\xBB\xBF[content]\r\nEULA_TITLE=Lizenz\r\n");
  const std::string table = Unpacked(Build("language = bom.lng\n").at(kMessageTableResource));
  MessageTable loaded;
  ByteReader reader(table.data(), table.size());
  loaded.LoadFromResource(reader);
  EXPECT_EQ(loaded.Texts().at(kEulaTitle), "Lizenz");

  Write("utf16.lng", std::string("\xFF\xFE[\0c\0", 6));
  Write("random.lng", std::string("[content]\nOK_BTN_TITLE=Ja\n\x9C\x01\xF3\x88\x02\n", 32));
  Write("prose.lng", "[content]\nThis file holds a letter.\n");
  struct Case {
    std::string file;
    std::string error;
  };
  const Case cases[] = {
      {"utf16.lng", "the file is UTF-16; save it as UTF-8"},
      {"random.lng", "line 3: not UTF-8 text"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_TRUE(Build("language = " + c.file + "\n", &error).empty());
    EXPECT_EQ(error, "language " + (folder_ / c.file).string() + ": " + c.error);
  }

  // A line the launcher passes over is built, with a warning that names it.
  Write("s64.dll", std::string(64, 'd'));
  const ManifestResult manifest =
      ParseManifest(std::string(kMinimal) + "addin64 = s64.dll\nlanguage = prose.lng\n", folder_);
  ASSERT_TRUE(manifest.manifest) << manifest.error;
  const BuildResult build = MakeBuildResources(*manifest.manifest, u"Budget.exe");
  EXPECT_EQ(build.error, "");
  EXPECT_EQ(build.warnings, std::vector<std::string>{"language " + (folder_ / "prose.lng").string() +
                                                     ": line 2: neither a [section], a ; comment nor a KEY=value "
                                                     "entry; the launcher ignores it"});
}

// The 64-bit add-in is optional, but a build without it cannot start with a
// 64-bit host: the maker is warned.
TEST_F(BuildResourcesTest, BuildWithoutThe64BitAddinIsWarnedOf) {
  const ManifestResult manifest = ParseManifest(kMinimal, folder_);
  ASSERT_TRUE(manifest.manifest) << manifest.error;
  const BuildResult build = MakeBuildResources(*manifest.manifest, u"Budget.exe");
  EXPECT_EQ(build.error, "");
  EXPECT_EQ(build.warnings,
            std::vector<std::string>{"no addin64 is given: the build will not start with a 64-bit host"});
}

TEST_F(BuildResourcesTest, VersionResourceComesFromTheManifest) {
  auto version = [&](const std::string& extra) {
    const ManifestResult manifest = ParseManifest(std::string(kMinimal) + extra, folder_);
    EXPECT_TRUE(manifest.manifest) << manifest.error;
    return ParseVersionResource(MakeBuildResources(*manifest.manifest, u"Budget \u00C4.exe").version);
  };
  auto full = version(
      "name = Budget\nversion = 2.1.0.7\ncompany = Example Ltd\ncopyright = (c) 2024\n"
      "description = Quarterly planner\n");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->info.fileVersion, (std::array<std::uint16_t, 4>{2, 1, 0, 7}));
  EXPECT_EQ(full->info.productVersion, full->info.fileVersion);
  const std::vector<std::pair<std::u16string, std::u16string>> strings = {
      {u"CompanyName", u"Example Ltd"}, {u"FileDescription", u"Quarterly planner"},  {u"FileVersion", u"2.1.0.7"},
      {u"LegalCopyright", u"(c) 2024"}, {u"OriginalFilename", u"Budget \u00C4.exe"}, {u"ProductName", u"Budget"},
      {u"ProductVersion", u"2.1.0.7"}};
  EXPECT_EQ(full->info.strings, strings);

  auto plain = version("name = Budget\n");
  ASSERT_TRUE(plain);
  const std::vector<std::pair<std::u16string, std::u16string>> fewer = {{u"FileDescription", u"Budget"},
                                                                        {u"FileVersion", u"0.0.0"},
                                                                        {u"OriginalFilename", u"Budget \u00C4.exe"},
                                                                        {u"ProductName", u"Budget"},
                                                                        {u"ProductVersion", u"0.0.0"}};
  EXPECT_EQ(plain->info.strings, fewer);
}

TEST_F(BuildResourcesTest, IconReplacesTheLaunchersOrIsRefusedWithTheReason) {
  const PayloadBuffer icon = test::MakeIconFile({{16}, {32}});
  Write("app.ico", std::string(icon.begin(), icon.end()));
  Write("bad.ico", "GIF89a not an icon");
  const ManifestResult manifest = ParseManifest(std::string(kMinimal) + "icon = app.ico\n", folder_);
  ASSERT_TRUE(manifest.manifest) << manifest.error;
  const BuildResult build = MakeBuildResources(*manifest.manifest, u"Budget.exe");
  ASSERT_EQ(build.error, "");
  ASSERT_EQ(build.icon.size(), 2u);
  EXPECT_EQ(build.icon[1].width, 32);
  EXPECT_TRUE(MakeBuildResources(*ParseManifest(kMinimal, folder_).manifest, u"B.exe").icon.empty());

  std::string error;
  Build("icon = bad.ico\n", &error);
  EXPECT_EQ(error, "icon " + (folder_ / "bad.ico").string() + ": not an icon file (no icon header)");
}

TEST_F(BuildResourcesTest, AddinsGoThroughThePreparer) {
  std::vector<std::filesystem::path> seen;
  prepareAddin_ = [&](const std::filesystem::path& path, PayloadBuffer& bytes) -> std::string {
    seen.push_back(path);
    bytes.insert(bytes.end(), {'S', 'I', 'G'});
    return {};
  };
  Write("s64.dll", "64");
  const auto resources = Build("addin64 = s64.dll\n");
  EXPECT_EQ(seen, (std::vector<std::filesystem::path>{folder_ / "s.dll", folder_ / "s64.dll"}));
  EXPECT_EQ(Unpacked(resources.at(kAddin32Resource)), std::string(64, 'D') + "SIG");
  EXPECT_EQ(Unpacked(resources.at(kAddin64Resource)), "64SIG");
  EXPECT_EQ(Unpacked(resources.at(kMainWorkbookResource)), std::string("\xEC\x02\x11\x57", 4) + "WORKBOOK");

  prepareAddin_ = [](const std::filesystem::path&, PayloadBuffer&) -> std::string { return "signing failed"; };
  std::string error;
  EXPECT_TRUE(Build("", &error).empty());
  EXPECT_EQ(error, "signing failed");
}

}  // namespace
}  // namespace brisk

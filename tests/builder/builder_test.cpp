// The builder's manifest and payload resources.
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>
#include <fstream>
#include <iterator>
#include <map>
#include <array>

#include "build_files.h"
#include "build_resources.h"
#include "diagnostic.h"
#include "diagnostic_printer.h"
#include "icon_fixture.h"
#include "payload/byte_order.h"
#include "payload_check.h"
#include "test_image.h"
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
  ASSERT_TRUE(result.manifest) << FormatDiagnostic(result.error);
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

TEST(ScratchFileNameTest, OnlyTheBuildersOwnNamesOfThatOutput) {
  const struct {
    const char* name;
    bool scratch;
  } cases[] = {
      {"Out.exe.~build-1f-0.tmp", true},
      {"Out.exe.~build-1f-12.tmp.~log-1f-0.txt", true},
      {"Out.exe.~addin-abc-3.dll", true},
      {"Out.exe.~addin-abc-3", true},
      {"Out.exe.~addin-abc-3.DLL.~log-abc-4.txt", true},
      {"Out.exe.~build-1f-0.tmp.signed", false},  // the sign command's own
      {"Out.exe.~build-1f-0.tmp.~log-1f-0.txt.bak", false},
      {"Out.exe.~build-1F-0.tmp", false},  // the process id is written in lower case
      {"Out.exe.~build--0.tmp", false},
      {"Out.exe.~build-1f-.tmp", false},
      {"Out.exe.~build-1f-0", false},
      {"Out.exe.~addin-1f-0.dll.old", false},
      {"Out.exe.~lock", false},
      {"Out.exe", false},
      {"Other.exe.~build-1f-0.tmp", false},
      {"Out.exe2.~build-1f-0.tmp", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsScratchFileName(c.name, "Out.exe", false), c.scratch) << c.name;
  EXPECT_FALSE(IsScratchFileName("OUT.EXE.~build-1f-0.tmp", "Out.exe", false));
  EXPECT_TRUE(IsScratchFileName("OUT.EXE.~build-1f-0.tmp", "Out.exe", true)) << "file names on Windows";
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
    ASSERT_TRUE(result.manifest) << c.name << ": " << FormatDiagnostic(result.error);
    EXPECT_EQ(result.manifest->appName, u"Budget") << c.name;
    EXPECT_EQ(result.manifest->addin32, std::filesystem::path("base") / "s.dll") << c.name;
  }
}

TEST(ManifestTest, VersionGoesToTheRecordAndTheResource) {
  const auto parse = [](const std::string& version) {
    return ParseManifest(std::string(kMinimal) + "version = " + version + "\n", ".");
  };
  ManifestResult result = parse("1.2.3.65535");
  ASSERT_TRUE(result.manifest) << FormatDiagnostic(result.error);
  EXPECT_EQ(result.manifest->appVersion, 0x01020300u) << "the record keeps three bytes";
  EXPECT_EQ(result.manifest->version, (std::array<std::uint16_t, 4>{1, 2, 3, 65535}));
  EXPECT_EQ(result.manifest->versionText, u"1.2.3.65535");
  result = parse("01.002.3");
  ASSERT_TRUE(result.manifest) << FormatDiagnostic(result.error);
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
      {std::string(kMinimal) + "flags = single-instance | bogus\n",
       "manifest:4: error: bad flag 'bogus'; flags are host-invisible, version-checks, splash-forced, "
       "single-instance, external-storage or numbers, joined by |"},
      {std::string(kMinimal) + "flags = single_instance\n",
       "manifest:4: error: bad flag 'single_instance' (did you mean single-instance?); flags are"},
      {std::string(kMinimal) + "flags = |\n", "manifest:4: error: an empty flag; flags are"},
      {std::string(kMinimal) + "flags = single-instance | 0x1\n",
       "manifest:4: error: flags 0x1 are not known to the launcher"},
      {std::string(kMinimal) + "flags = 0x80000040\n", "manifest:4: error: flags 0x80000000 are not known"},
      {std::string(kMinimal) + "version = 1.2\n", "manifest:4: error: version must be a.b.c or a.b.c.d"},
      {std::string(kMinimal) + "version = 1.2.3.4.5\n", "manifest:4: error: version must be"},
      {std::string(kMinimal) + "version = 1.2.65536\n", "manifest:4: error: version must be"},
      {std::string(kMinimal) + "version = 1.-2.3\n", "manifest:4: error: version must be"},
      {std::string(kMinimal) + "version = 1.2.3.\n", "manifest:4: error: version must be"},
      {std::string(kMinimal) + "version = 0x1.2.3\n", "manifest:4: error: version must be"},
      {std::string(kMinimal) + "version = 2024.1.0\n",
       "manifest:4: error: version 2024.1.0: the first three numbers must be 0-255"},
      {std::string(kMinimal) + "version = 1.2.256\n", "manifest:4: error: version 1.2.256: the first three"},
      {std::string(kMinimal) + "format = 42\n",
       "manifest:4: error: format '42' is not known to the launcher: 4 (the "
       "workbook is named .xlsx), 2 (.xlsb) or 1 (.xls, as without a format)"},
      {std::string(kMinimal) + "format = x\n", "manifest:4: error: format 'x' is not known to the launcher"},
      {std::string(kMinimal) + "format = xlsx\n", "manifest:4: error: format 'xlsx' is not known"},
      {std::string(kMinimal) + "aux_workbook = a.bin\n",
       "manifest:4: error: unknown key 'aux_workbook'; did you mean 'aux-workbook'?"},
      {std::string(kMinimal) + "license = l.txt\n",
       "manifest:4: error: unknown key 'license'; did you mean 'licence'?"},
      {std::string(kMinimal) + "Splash = s.jpg\n", "manifest:4: error: unknown key 'Splash'; did you mean 'splash'?"},
      {std::string(kMinimal) + "colour = blue\n", "manifest:4: error: unknown key 'colour'"},
      {std::string(kMinimal) + "name = a\nname = b\n", "manifest:5: error: 'name' given twice"},
      {std::string(kMinimal) + "just text\n", "manifest:4: error: expected key = value"},
      {std::string(kMinimal) + "name = \xFF\n", "manifest:4: error: value is not UTF-8"},
      {std::string(kMinimal) + "sign = osslsigncode sign file.exe\n",
       "manifest:4: error: the sign command must name the file"},
      {std::string(kMinimal) + "company = " + std::string(1001, 'c') + "\n",
       "manifest:4: error: 'company' is longer than 1000"},
      {"aux-workbook = a\naddin32 = b\n", "manifest: error: 'workbook' is missing"},
      {"workbook = a\naddin32 = b\n", "'aux-workbook' is missing"},
      {"workbook = a\naux-workbook = b\n", "'addin32' is missing"},
      {"workbook =\naux-workbook = a\naddin32 = b\n", "manifest:1: error: 'workbook' is empty"},
      {std::string(kMinimal) + "icon =   \n", "manifest:4: error: 'icon' is empty"},
      {std::string(kMinimal) + "launcher =\n", "manifest:4: error: 'launcher' is empty"},
      {"\xFF\xFEw\0o\0r\0k\0", "the file is UTF-16 or binary; save it as UTF-8"},
      {"\xFE\xFF\0w\0o", "the file is UTF-16"},
      {std::string("w\0o\0r\0k\0", 8), "the file is UTF-16"},
      {"\xEF\xBB\xBF\xEF\xBB\xBFname = x\n", "manifest:1: error: unknown key"},
      {"name = a\rname = b\r", "manifest:2: error: 'name' given twice (first on line 1)"},
  };
  for (const Case& c : cases) {
    const ManifestResult result = ParseManifest(c.text, ".");
    EXPECT_FALSE(result.manifest) << c.text;
    const std::string line = FormatDiagnostic(result.error);
    EXPECT_NE(line.find(c.error), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos) << "one line";
  }
  // A near key only: a name that is far from every key gets no guess.
  const ManifestResult distant = ParseManifest(std::string(kMinimal) + "colour = blue\n", ".");
  EXPECT_EQ(distant.error.message, "unknown key 'colour'");
}

// The launcher names the unpacked workbook from the format: a workbook file
// of another spreadsheet extension is warned of at the line that decides.
TEST(ManifestTest, FormatThatDisagreesWithTheWorkbooksExtensionIsWarnedOf) {
  struct Case {
    std::string text;
    std::vector<Diagnostic> warnings;
  };
  const std::string inputs = "aux-workbook = a.bin\naddin32 = s.dll\n";
  const Case cases[] = {
      {"workbook = book.xlsx\nformat = 4\n" + inputs, {}},
      {"workbook = book.XLSB\nformat = 2\n" + inputs, {}},
      {"workbook = book.xls\n" + inputs, {}},
      {"workbook = book.bin\nformat = 2\n" + inputs, {}},
      {"workbook = book.xlsx\nformat = 2\n" + inputs,
       {{Severity::kWarning, "app.manifest", 2,
         "the workbook book.xlsx is a .xlsx file, but the launcher names it .xlsb (format 2); give format 4 for .xlsx, "
         "2 for .xlsb"}}},
      {"workbook = book.xlsm\n" + inputs,
       {{Severity::kWarning, "app.manifest", 1,
         "the workbook book.xlsm is a .xlsm file, but the launcher names it .xls (no format is given); give format 4 "
         "for .xlsx, 2 for .xlsb"}}},
  };
  for (const Case& c : cases) {
    const ManifestResult result = ParseManifest(c.text, ".", "app.manifest");
    ASSERT_TRUE(result.manifest) << FormatDiagnostic(result.error);
    EXPECT_EQ(result.manifest->warnings, c.warnings) << c.text;
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
    WriteBytes("s.dll", test::MakeTestDll(pe::kMachineI386));
    WriteBytes("s64.dll", test::MakeTestDll(pe::kMachineAmd64));
    Write("de.lng", "[content]\nWARNING_TITLE=Achtung\nEULA_TITLE=Lizenz\n");
  }
  ~BuildResourcesTest() override { std::filesystem::remove_all(folder_); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
  void WriteBytes(const std::string& name, const PayloadBuffer& bytes) {
    Write(name, std::string(bytes.begin(), bytes.end()));
  }
  std::string Bytes(const std::string& name) {
    std::ifstream in(folder_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // The resources of a build of the minimal manifest and `extra`; `error`
  // gets the refusal's line, `warnings` the warnings.
  std::map<int, PayloadBuffer> Build(const std::string& extra, std::string* error = nullptr,
                                     std::vector<Diagnostic>* warnings = nullptr) {
    const ManifestResult manifest = ParseManifest(std::string(kMinimal) + extra, folder_);
    EXPECT_TRUE(manifest.manifest) << FormatDiagnostic(manifest.error);
    const BuildResult build = MakeBuildResources(*manifest.manifest, u"Budget.exe", prepareAddin_);
    if (error) *error = build.error ? FormatDiagnostic(*build.error) : "";
    if (warnings) *warnings = build.warnings;
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
  EXPECT_EQ(Unpacked(resources.at(kAddin32Resource)), Bytes("s.dll"));
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
      {"language = folder.txt\n",
       "manifest:4: error: language " + (folder_ / "folder.txt").string() + ": cannot read the file: it is a folder"},
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
  const std::string random = (folder_ / "random.lng").string();
  struct Case {
    std::string file;
    std::string error;
  };
  const Case cases[] = {
      {"utf16.lng",
       "manifest:4: error: language " + (folder_ / "utf16.lng").string() + ": the file is UTF-16; save it as UTF-8"},
      {"random.lng", random + ":3: error: not UTF-8 text"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_TRUE(Build("language = " + c.file + "\n", &error).empty());
    EXPECT_EQ(error, c.error);
  }

  // A line the launcher passes over is built, with a warning that names it.
  std::vector<Diagnostic> warnings;
  std::string error;
  EXPECT_FALSE(Build("addin64 = s64.dll\nlanguage = prose.lng\n", &error, &warnings).empty());
  EXPECT_EQ(error, "");
  EXPECT_EQ(warnings, (std::vector<Diagnostic>{{Severity::kWarning, (folder_ / "prose.lng").string(), 2,
                                                "neither a [section], a ; comment nor a KEY=value entry; the "
                                                "launcher ignores it"}}));
}

// The 64-bit add-in is optional, but a build without it cannot start with a
// 64-bit host: the maker is warned.
TEST_F(BuildResourcesTest, BuildWithoutThe64BitAddinIsWarnedOf) {
  std::vector<Diagnostic> warnings;
  std::string error;
  EXPECT_FALSE(Build("", &error, &warnings).empty());
  EXPECT_EQ(error, "");
  EXPECT_EQ(warnings, (std::vector<Diagnostic>{{Severity::kWarning, "manifest", 0,
                                                "no addin64 is given: the build will not start with a 64-bit host"}}));
  EXPECT_EQ(FormatDiagnostic(warnings.front()),
            "manifest: warning: no addin64 is given: the build will not start with a 64-bit host");
}

TEST_F(BuildResourcesTest, VersionResourceComesFromTheManifest) {
  auto version = [&](const std::string& extra) {
    const ManifestResult manifest = ParseManifest(std::string(kMinimal) + extra, folder_);
    EXPECT_TRUE(manifest.manifest) << FormatDiagnostic(manifest.error);
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
  ASSERT_TRUE(manifest.manifest) << FormatDiagnostic(manifest.error);
  const BuildResult build = MakeBuildResources(*manifest.manifest, u"Budget.exe");
  ASSERT_FALSE(build.error);
  ASSERT_EQ(build.icon.size(), 2u);
  EXPECT_EQ(build.icon[1].width, 32);
  EXPECT_TRUE(MakeBuildResources(*ParseManifest(kMinimal, folder_).manifest, u"B.exe").icon.empty());

  std::string error;
  Build("icon = bad.ico\n", &error);
  EXPECT_EQ(error, "manifest:4: error: icon " + (folder_ / "bad.ico").string() + ": not an icon file (no icon header)");
}

TEST_F(BuildResourcesTest, AddinsGoThroughThePreparer) {
  std::vector<std::filesystem::path> seen;
  prepareAddin_ = [&](const std::filesystem::path& path, PayloadBuffer& bytes) -> std::string {
    seen.push_back(path);
    bytes.insert(bytes.end(), {'S', 'I', 'G'});
    return {};
  };
  const auto resources = Build("addin64 = s64.dll\n");
  EXPECT_EQ(seen, (std::vector<std::filesystem::path>{folder_ / "s.dll", folder_ / "s64.dll"}));
  EXPECT_EQ(Unpacked(resources.at(kAddin32Resource)), Bytes("s.dll") + "SIG");
  EXPECT_EQ(Unpacked(resources.at(kAddin64Resource)), Bytes("s64.dll") + "SIG");
  EXPECT_EQ(Unpacked(resources.at(kMainWorkbookResource)), std::string("\xEC\x02\x11\x57", 4) + "WORKBOOK");

  prepareAddin_ = [](const std::filesystem::path&, PayloadBuffer&) -> std::string { return "signing failed"; };
  std::string error;
  EXPECT_TRUE(Build("", &error).empty());
  EXPECT_EQ(error, "launcher-tool: signing failed");
}

// What the launcher cannot use is refused at the manifest's line that names
// it: an add-in in the wrong slot or no add-in at all, a splash picture its
// picture loader does not read, an empty workbook or licence.
TEST_F(BuildResourcesTest, WhatTheLauncherCannotUseIsRefusedAtItsLine) {
  test::TestImageOptions program;
  WriteBytes("program.exe", test::MakeTestImage({}, program));
  test::TestImageOptions arm;
  arm.machine = 0xAA64;
  arm.characteristics = 0x2022;
  WriteBytes("arm64.dll", test::MakeTestImage({}, arm));
  Write("notes.txt", "Not an add-in: the sample's place-holder, so that the sample builds as it is.\n");
  Write("tiny.dll", "MZ");
  Write("empty.bin", "");
  Write("splash.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
  Write("splash.txt", "a picture of the planner");
  Write("short.jpg", "\xFF\xD8\xFF\xE0");
  Write("splash.tif", std::string("II*\0", 4) + std::string(20, 'x'));
  struct Case {
    std::string extra;  // after the minimal manifest's three lines
    std::string error;  // the whole line, less the folder's path
  };
  const Case cases[] = {
      {"addin64 = s.dll\n",
       "manifest:4: error: addin64 s.dll is a 32-bit DLL; the slot of 64-bit (x86-64) hosts takes a 64-bit (x86-64) "
       "DLL (the other slot is addin32)"},
      {"addin64 = notes.txt\n", "manifest:4: error: addin64 notes.txt is no DLL: not an executable (no MZ header)"},
      {"addin64 = program.exe\n", "manifest:4: error: addin64 program.exe is a 32-bit program, not a DLL"},
      {"addin64 = arm64.dll\n",
       "manifest:4: error: addin64 arm64.dll is a DLL for machine 0xAA64, which no host loads (an add-in is an i386 or "
       "x86-64 DLL)"},
      {"addin64 = tiny.dll\n", "manifest:4: error: addin64 tiny.dll is only 2 bytes, no DLL"},
      {"splash = splash.png\n",
       "manifest:4: error: splash splash.png: a PNG picture, which the launcher cannot show; the launcher shows JPEG, "
       "BMP, GIF, icon (.ico) and metafile (.wmf, .emf) pictures"},
      {"splash = splash.txt\n", "manifest:4: error: splash splash.txt: not a picture the launcher reads; the launcher"},
      {"splash = splash.tif\n", "manifest:4: error: splash splash.tif: a TIFF picture, which the launcher cannot show"},
      {"splash = empty.bin\n", "manifest:4: error: splash empty.bin: it is empty; the launcher shows JPEG"},
      {"splash = short.jpg\n",
       "manifest:4: error: splash short.jpg: a JPEG picture of only 4 bytes, which the launcher takes for none"},
      {"licence = empty.bin\n",
       "manifest:4: error: licence empty.bin has 0 bytes, and the launcher shows no licence of 2 bytes or less"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_TRUE(Build(c.extra, &error).empty()) << c.extra;
    // The message names the file as the manifest resolves it.
    const std::string folder = (folder_ / "").string();
    for (std::size_t at; (at = error.find(folder)) != std::string::npos;) error.erase(at, folder.size());
    EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.extra;
  }

  // The slots in the manifest's own order: addin32 is its third line.
  std::string error;
  const ManifestResult swapped =
      ParseManifest("workbook = w.bin\naux-workbook = a.bin\naddin32 = s64.dll\naddin64 = s.dll\n", folder_);
  ASSERT_TRUE(swapped.manifest);
  const BuildResult build = MakeBuildResources(*swapped.manifest, u"Budget.exe");
  ASSERT_TRUE(build.error);
  EXPECT_EQ(build.error->line, 3u);
  EXPECT_EQ(build.error->message, "addin32 " + (folder_ / "s64.dll").string() +
                                      " is a 64-bit DLL; the slot of 32-bit (i386) hosts takes a 32-bit (i386) DLL "
                                      "(the other slot is addin64)");

  for (const char* workbook :
       {"workbook = empty.bin\naux-workbook = a.bin\n", "workbook = w.bin\naux-workbook = empty.bin\n"}) {
    const ManifestResult manifest = ParseManifest(std::string(workbook) + "addin32 = s.dll\n", folder_);
    ASSERT_TRUE(manifest.manifest);
    const BuildResult empty = MakeBuildResources(*manifest.manifest, u"Budget.exe");
    ASSERT_TRUE(empty.error) << workbook;
    EXPECT_NE(empty.error->message.find("empty.bin is empty"), std::string::npos) << empty.error->message;
  }
}

TEST_F(BuildResourcesTest, EverySplashFormatTheLauncherShowsIsTaken) {
  PayloadBuffer emf(88, 0);
  le::WriteU32(emf.data(), 1);
  le::WriteU32(emf.data() + 40, 0x464D4520);
  const std::pair<const char*, std::string> pictures[] = {
      {"JPEG", "\xFF\xD8\xFF\xE0 not much of a picture"},
      {"BMP", "BM" + std::string(60, '\0')},
      {"GIF", "GIF89a" + std::string(20, '\x01')},
      {"icon", std::string("\0\0\1\0\1\0", 6) + std::string(30, '\x02')},
      {"WMF", std::string("\xD7\xCD\xC6\x9A", 4) + std::string(30, '\0')},
      {"WMF", std::string("\1\0\x09\0\0\x03", 6) + std::string(30, '\0')},
      {"EMF", std::string(emf.begin(), emf.end())},
  };
  for (const auto& [format, bytes] : pictures) {
    Write("picture", bytes);
    std::string error;
    const auto resources = Build("splash = picture\n", &error);
    EXPECT_EQ(error, "") << format;
    EXPECT_EQ(InspectSplashPicture(PayloadBuffer(bytes.begin(), bytes.end())).format, format);
    ASSERT_TRUE(resources.count(kSplashPictureResource)) << format;
    EXPECT_EQ(resources.at(kSplashPictureResource), PayloadBuffer(bytes.begin(), bytes.end())) << "stored as it is";
  }
}

}  // namespace
}  // namespace brisk

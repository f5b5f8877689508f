// launcher-tool build run natively: the whole build on Linux, read back with
// the project's reader and with objdump, signed with osslsigncode.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "build_image.h"
#include "icon_fixture.h"
#include "payload/byte_order.h"
#include "payload/build_settings.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"
#include "pe_image.h"
#include "resource_section.h"
#include "sign_command.h"
#include "test_image.h"

namespace brisk {
namespace {

namespace fs = std::filesystem;

// Every run of the tool or of a shell command ends within this bound.
constexpr const char* kTimeout = "timeout -s KILL 120 ";

constexpr char kSignCommand[] =
    "osslsigncode sign -certs cert.pem -key key.pem -in {file} -out {file}.signed >/dev/null && mv {file}.signed "
    "{file}";

PayloadBuffer Bytes(const fs::path& path) {
  if (!fs::is_regular_file(path)) return {};
  std::ifstream in(path, std::ios::binary);
  return PayloadBuffer((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const PayloadBuffer& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A launcher of this project as the tests make one: the launcher's own
// resources, then relocations, as the linker lays out the real one.
PayloadBuffer TestLauncher() {
  test::TestImageOptions options;
  options.relocations = true;
  return test::MakeTestImage(test::LauncherResources(), options);
}

struct ToolRun {
  int code = -1;
  std::string output;  // stdout and stderr
};

class NativeToolBuildTest : public testing::Test {
 protected:
  NativeToolBuildTest() {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() / ("brisk-tool-" + std::to_string(::getpid()) + "-" + test->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    WriteText(folder_ / "book.bin", "WORKBOOK");
    WriteText(folder_ / "auxbook.bin", "AUX");
    WriteBytes(folder_ / "stub.dll", test::MakeTestDll(pe::kMachineI386));
    WriteBytes(folder_ / "stub64.dll", test::MakeTestDll(pe::kMachineAmd64));
    WriteText(folder_ / "licence.txt", "Licence of <?APPNAME?>.\r\n");
    WriteText(folder_ / "splash.jpg", "\xFF\xD8\xFF\xE0 not much of a picture");
    WriteText(folder_ / "de.lng", "[content]\nWARNING_TITLE=Achtung\n");
    WriteBytes(folder_ / "app.ico", test::MakeIconFile({{32, 0x3366CC}}));
    WriteBytes(folder_ / "launcher.exe", TestLauncher());
  }
  ~NativeToolBuildTest() override { fs::remove_all(folder_); }

  // A shell command line run in the test's folder.
  ToolRun Shell(const std::string& commandLine, const std::string& environment = "") {
    const fs::path log = folder_ / ".." / (folder_.filename().string() + ".log");
    const std::string line = "cd " + ShellQuoted(folder_.string()) + " && " + environment + " " + kTimeout + "sh -c " +
                             ShellQuoted(commandLine) + " >" + ShellQuoted(log.string()) + " 2>&1";
    const int status = std::system(line.c_str());
    ToolRun run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const PayloadBuffer output = Bytes(log);
    run.output.assign(output.begin(), output.end());
    fs::remove(log);
    return run;
  }

  ToolRun Tool(const std::string& arguments, const std::string& environment = "") {
    return Shell(ShellQuoted(BRISK_LAUNCHER_TOOL) + " " + arguments, environment);
  }

  ToolRun Build(const std::string& manifest, const std::string& out, const std::string& more = "",
                const std::string& environment = "") {
    return Tool("build " + ShellQuoted((folder_ / manifest).string()) + " " + ShellQuoted(out) +
                    " --launcher launcher.exe" + more,
                environment);
  }

  std::string Manifest(const std::string& extra, const std::string& name = "app.manifest") {
    WriteText(folder_ / name,
              "name = Budget\nversion = 2.1.0\nworkbook = book.bin\naux-workbook = auxbook.bin\n"
              "addin32 = stub.dll\n" +
                  extra);
    return name;
  }

  std::vector<std::string> Listing() {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder_)) names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder_;
};

struct ReadBack {
  std::optional<pe::Image> image;
  std::vector<pe::ResourceEntry> resources;
};

ReadBack Read(const PayloadBuffer& file) {
  ReadBack back;
  const pe::ImageResult parsed = pe::ParseImage(file);
  EXPECT_TRUE(parsed.image) << parsed.error;
  if (!parsed.image) return back;
  back.image = parsed.image;
  const auto listed = pe::ListResources(file, *parsed.image);
  EXPECT_TRUE(listed);
  if (listed) back.resources = *listed;
  EXPECT_EQ(le::ReadU32(file.data() + parsed.image->checksumOffset),
            pe::ComputeChecksum(file, parsed.image->checksumOffset));
  return back;
}

std::vector<int> PayloadIds(const ReadBack& back) {
  std::vector<int> ids;
  for (const pe::ResourceEntry& entry : back.resources) {
    if (entry.type.text == GetEncodedStringW(kPayloadResourceType)) ids.push_back(entry.name.id);
  }
  return ids;
}

bool Has(const std::vector<int>& ids, int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

// The build with payload resource `id` replaced by `bytes`, or without it.
PayloadBuffer WithPayload(const PayloadBuffer& build, int id, const std::optional<PayloadBuffer>& bytes) {
  PayloadBuffer file = build;
  const pe::Image image = *pe::ParseImage(file).image;
  std::vector<pe::ResourceItem> items;
  const std::vector<pe::ResourceEntry> entries = *pe::ListResources(file, image);
  for (const pe::ResourceEntry& entry : entries) {
    const bool payload = entry.type.text == GetEncodedStringW(kPayloadResourceType) && entry.name.id == id;
    if (!payload) items.push_back({entry.type, entry.name, entry.language, pe::ResourceBytes(build, image, entry)});
  }
  if (bytes)
    items.push_back(
        {{0, GetEncodedStringW(kPayloadResourceType)}, {static_cast<std::uint16_t>(id), {}}, 0x409, *bytes});
  EXPECT_EQ(pe::ReplaceResources(file, items), "");
  return file;
}

// A payload resource of a build, unpacked.
PayloadBuffer UnpackedPayload(const PayloadBuffer& build, int id) {
  const pe::Image image = *pe::ParseImage(build).image;
  const std::vector<pe::ResourceEntry> entries = *pe::ListResources(build, image);
  for (const pe::ResourceEntry& entry : entries) {
    if (entry.type.text == GetEncodedStringW(kPayloadResourceType) && entry.name.id == id) {
      const std::span<const std::uint8_t> stored = pe::ResourceBytes(build, image, entry);
      PayloadBuffer out;
      if (!UnpackContainer(stored.data(), stored.size(), out)) out.assign(stored.begin(), stored.end());
      return out;
    }
  }
  return {};
}

PayloadBuffer Packed(const std::string& text) {
  PayloadBuffer packed;
  PackContainer(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), packed);
  return packed;
}

PayloadBuffer Packed(const PayloadBuffer& bytes) { return Packed(std::string(bytes.begin(), bytes.end())); }

struct ManifestCase {
  const char* what;
  std::string extra;
  std::vector<int> payload;  // resources that this manifest adds
};

TEST_F(NativeToolBuildTest, EveryKindOfBuildIsReadBackWhole) {
  const ManifestCase cases[] = {
      {"minimal", "", {}},
      {"licence", "licence = licence.txt\n", {kLicenceTextResource}},
      {"splash", "splash = splash.jpg\n", {kSplashPictureResource}},
      {"language", "language = de.lng\n", {kMessageTableResource}},
      {"64-bit add-in", "addin64 = stub64.dll\n", {kAddin64Resource}},
      {"external storage", "flags = external-storage | single-instance\n", {}},
      {"icon", "icon = app.ico\ncompany = Example Ltd\n", {}},
  };
  const auto icons = [](const ReadBack& back) {
    return std::count_if(back.resources.begin(), back.resources.end(),
                         [](const pe::ResourceEntry& entry) { return entry.type.id == pe::kTypeIcon; });
  };
  for (const ManifestCase& c : cases) {
    SCOPED_TRACE(c.what);
    const ToolRun run = Build(Manifest(c.extra), "Out.exe");
    ASSERT_EQ(run.code, 0) << run.output;
    const PayloadBuffer file = Bytes(folder_ / "Out.exe");
    const ReadBack back = Read(file);
    const std::vector<int> ids = PayloadIds(back);
    for (int id : {kBuildSettingsResource, kMainWorkbookResource, kAuxWorkbookResource, kAddin32Resource}) {
      EXPECT_TRUE(Has(ids, id)) << id;
    }
    for (int id : c.payload) EXPECT_TRUE(Has(ids, id)) << id;
    // The icon's one image replaces the launcher's two.
    EXPECT_EQ(icons(back), c.extra.find("icon") != std::string::npos ? 1 : 2);
    // objdump, an independent reader, finds the image whole and every
    // resource the project's reader finds.
    const ToolRun objdump = Shell("objdump -p Out.exe | grep -c 'Leaf: Addr'");
    EXPECT_EQ(objdump.code, 0) << objdump.output;
    EXPECT_EQ(std::atoi(objdump.output.c_str()), static_cast<int>(back.resources.size()));
    const ToolRun show = Tool("show Out.exe");
    EXPECT_EQ(show.code, 0) << show.output;
    EXPECT_EQ(show.output.rfind("Out.exe: Budget 2.1.0, good\n", 0), 0u) << show.output;
    const ToolRun json = Tool("show --json Out.exe");
    EXPECT_EQ(json.code, 0) << json.output;
    EXPECT_NE(json.output.find("\"verdict\": \"good\""), std::string::npos) << json.output;
    EXPECT_NE(json.output.find("\"appName\": \"Budget\""), std::string::npos) << json.output;
    EXPECT_NE(json.output.find("\"ProductName\": \"Budget\""), std::string::npos) << json.output;
  }
}

// A language file with lines the launcher ignores makes a build, and the
// tool names each line; broken text is still refused.
TEST_F(NativeToolBuildTest, IgnoredLanguageLinesAreWarningsBrokenTextAnError) {
  WriteText(folder_ / "notes.lng", "# Deutsch, von Hand\n[content]\nWARNING_TITLE=Achtung\nSiehe unten\n");
  const ToolRun run = Build(Manifest("language = notes.lng\n"), "Out.exe");
  EXPECT_EQ(run.code, 0) << run.output;
  const std::string file = (folder_ / "notes.lng").string();
  const std::string manifest = (folder_ / "app.manifest").string();
  EXPECT_EQ(run.output, manifest + ": warning: no addin64 is given: the build will not start with a 64-bit host\n" +
                            file + ":1: warning: '#' starts no comment (';' does); the launcher ignores it\n" + file +
                            ":4: warning: neither a [section], a ; comment nor a KEY=value entry; the launcher ignores "
                            "it\n");
  WriteText(folder_ / "notes.lng", std::string("# Deutsch\n[content]\nWARNING_TITLE=Ach") + '\0' + "tung\n");
  const ToolRun refused = Build(Manifest("language = notes.lng\n"), "Other.exe");
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.output, file + ":3: error: a zero byte (is the file UTF-16 or binary?)\n");
  EXPECT_FALSE(fs::exists(folder_ / "Other.exe"));
}

// Two builds of the same inputs give the same bytes, with SOURCE_DATE_EPOCH
// (its stamp in the headers) and without (a stamp from the image).
TEST_F(NativeToolBuildTest, BuildsOfTheSameInputsAreByteIdentical) {
  const std::string manifest = Manifest("licence = licence.txt\nicon = app.ico\n");
  fs::create_directories(folder_ / "again");
  for (const std::string environment : {"", "SOURCE_DATE_EPOCH=1700000000"}) {
    SCOPED_TRACE(environment);
    ASSERT_EQ(Build(manifest, "Budget.exe", "", environment).code, 0);
    ASSERT_EQ(Build(manifest, "again/Budget.exe", "", environment).code, 0);
    const PayloadBuffer first = Bytes(folder_ / "Budget.exe");
    EXPECT_EQ(first, Bytes(folder_ / "again" / "Budget.exe"));
    const ReadBack back = Read(first);
    ASSERT_TRUE(back.image);
    const std::uint32_t stamp = le::ReadU32(first.data() + back.image->timeStampOffset);
    if (!environment.empty()) {
      EXPECT_EQ(stamp, 1700000000u);
    }
    // The launcher's resource section keeps its place.
    EXPECT_EQ(back.image->sections[1].rawOffset, test::kTestResourceFileOffset);
  }
}

// A build started from an earlier build carries only what its own manifest
// names: the same bytes as a build from the launcher itself.
TEST_F(NativeToolBuildTest, EarlierBuildAsLauncherGivesTheSameBuild) {
  ASSERT_EQ(Build(Manifest("licence = licence.txt\nsplash = splash.jpg\nlanguage = de.lng\n"), "First.exe").code, 0);
  fs::create_directories(folder_ / "a");
  fs::create_directories(folder_ / "b");
  const std::string plain = Manifest("", "plain.manifest");
  ASSERT_EQ(Build(plain, "a/App.exe").code, 0);
  const ToolRun run = Tool("build plain.manifest b/App.exe --launcher First.exe");
  ASSERT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(Bytes(folder_ / "a" / "App.exe"), Bytes(folder_ / "b" / "App.exe"));
}

TEST_F(NativeToolBuildTest, BadInputIsRefusedWithOneLineAndNothingWritten) {
  PayloadBuffer cut = TestLauncher();
  cut.resize(cut.size() / 2);
  WriteBytes(folder_ / "cut.exe", cut);
  PayloadBuffer debug = TestLauncher();
  const pe::Image image = *pe::ParseImage(debug).image;
  le::WriteU32(debug.data() + image.directoryOffset + 8 * pe::kDebugDirectory, 0x1100);
  le::WriteU32(debug.data() + image.directoryOffset + 8 * pe::kDebugDirectory + 4, 28);
  test::RewriteChecksum(debug);
  WriteBytes(folder_ / "debug.exe", debug);
  // Random bytes written into the launcher's code, after it was linked.
  PayloadBuffer damaged = TestLauncher();
  for (std::size_t at = 0x200; at < 0x240; ++at) damaged[at] = static_cast<std::uint8_t>(at * 37);
  WriteBytes(folder_ / "damaged.exe", damaged);
  WriteText(folder_ / "pic.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
  fs::create_directories(folder_ / "sub");
  struct BadInput {
    const char* what;
    std::string extra;
    std::string output;
    std::string more;
    std::string environment;
    std::string error;
  };
  const BadInput cases[] = {
      {"missing licence", "licence = nowhere.txt\n", "Out.exe", "", "", "nowhere.txt"},
      {"output is the launcher", "", "launcher.exe", "", "", "is the launcher itself; choose another output name"},
      {"output is the manifest", "", "app.manifest", "", "", "is the manifest itself"},
      {"output folder missing", "", "nowhere/Out.exe", "", "", "the output folder"},
      {"output is a folder", "", "sub", "", "", "is a folder"},
      {"damaged launcher", "", "Out.exe", " --launcher cut.exe", "", "is not a launcher of this project"},
      {"missing launcher", "", "Out.exe", " --launcher gone.exe", "", "cannot read the launcher"},
      {"launcher the writer cannot rewrite", "", "Out.exe", " --launcher debug.exe", "",
       "is refused: cannot rewrite its resources: it carries a debug directory"},
      {"bad SOURCE_DATE_EPOCH", "", "Out.exe", "", "SOURCE_DATE_EPOCH=soon", "SOURCE_DATE_EPOCH 'soon'"},
      {"random bytes in the launcher's code", "", "Out.exe", " --launcher damaged.exe", "",
       "is not a launcher of this project: its checksum does not match its bytes: it is damaged"},
      {"32-bit add-in as addin64", "addin64 = stub.dll\n", "Out.exe", "", "",
       "app.manifest:6: error: addin64 " + (folder_ / "stub.dll").string() + " is a 32-bit DLL"},
      {"64-bit add-in as addin32", "", "Out.exe", "", "", "app.manifest:5: error: addin32"},
      {"PNG splash", "splash = pic.png\n", "Out.exe", "", "",
       "app.manifest:6: error: splash " + (folder_ / "pic.png").string() +
           ": a PNG picture, which the launcher cannot "
           "show"},
      {"misspelt key", "licence_text = licence.txt\n", "Out.exe", "", "",
       "app.manifest:6: error: unknown key 'licence_text'"},
      {"add-in that cannot be signed", "sign = false {file}\n", "Out.exe", "", "",
       "signing the add-in " + (folder_ / "stub.dll").string() + " failed"},
  };
  for (const BadInput& c : cases) {
    SCOPED_TRACE(c.what);
    Manifest(c.extra);
    if (std::string(c.what) == "64-bit add-in as addin32") {
      WriteText(
          folder_ / "app.manifest",
          "name = Budget\nversion = 2.1.0\nworkbook = book.bin\naux-workbook = auxbook.bin\naddin32 = stub64.dll\n");
    }
    const std::vector<std::string> before = Listing();
    const PayloadBuffer previous = Bytes(folder_ / c.output);
    const ToolRun run = Build("app.manifest", c.output, c.more, c.environment);
    EXPECT_EQ(run.code, 1) << run.output;
    const bool aboutTheManifest = run.output.rfind((folder_ / "app.manifest").string() + ":", 0) == 0;
    EXPECT_TRUE(run.output.rfind("launcher-tool: ", 0) == 0 || aboutTheManifest) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_NE(run.output.find(c.error), std::string::npos) << run.output;
    EXPECT_EQ(Bytes(folder_ / c.output), previous);
    EXPECT_EQ(Listing(), before);
  }
}

// show tells a damaged build from a good one: each part the launcher would
// refuse, show broken or not use is named, and the exit status is 1.
TEST_F(NativeToolBuildTest, ShowNamesEveryDamagedPartAndExitsWithOne) {
  WriteText(folder_ / "splash.jpg", "\xFF\xD8\xFF\xE0 not much of a picture");
  const std::string manifest = Manifest(
      "addin64 = stub64.dll\nlicence = licence.txt\nsplash = splash.jpg\nlanguage = de.lng\nformat = 4\n"
      "flags = single-instance | host-invisible\npassword = s3cret\n");
  ASSERT_EQ(Build(manifest, "Good.exe").code, 0);
  const PayloadBuffer good = Bytes(folder_ / "Good.exe");
  const ToolRun shown = Tool("show Good.exe");
  EXPECT_EQ(shown.code, 0) << shown.output;
  for (const std::string line :
       {"Good.exe: Budget 2.1.0, good\n", "  hosts             32-bit and 64-bit\n",
        "  password prompt   yes (--show-password prints it)\n", "  licence           yes (text)\n",
        "  splash            yes (JPEG)\n", "  single instance   yes\n", "  external storage  no\n",
        "  flags             host-invisible | single-instance\n", "  workbook          .xlsx (format 4)\n",
        "  signature         not signed\n", "  good: a 64-bit DLL\n", "  good: 1 translated texts\n"}) {
    EXPECT_NE(shown.output.find(line), std::string::npos) << line << shown.output;
  }
  EXPECT_EQ(shown.output.find("s3cret"), std::string::npos) << "the password stays out of logs";
  EXPECT_NE(Tool("show --show-password Good.exe").output.find("  password prompt   yes: s3cret\n"), std::string::npos);
  const ToolRun json = Tool("show --json Good.exe");
  EXPECT_EQ(json.output.find("s3cret"), std::string::npos) << json.output;
  EXPECT_NE(json.output.find("    \"password\": true\n"), std::string::npos) << json.output;
  EXPECT_NE(json.output.find("  \"hosts\": [\"32-bit\", \"64-bit\"],\n"), std::string::npos) << json.output;
  EXPECT_NE(Tool("show --json --show-password Good.exe").output.find("\"storedPassword\": \"s3cret\""),
            std::string::npos);

  PayloadBuffer unmarked = UnpackedPayload(good, kMainWorkbookResource);
  unmarked[0] ^= 0xFF;
  PayloadBuffer garbled = Packed("a workbook that will not unpack");
  garbled.back() ^= 0x55;
  PayloadBuffer table = UnpackedPayload(good, kMessageTableResource);
  table.resize(table.size() - 2);
  SettingsRecordInput record{u"Budget", {}, 0x02010000, 0, {}, '4', 0x12345678};
  const PayloadBuffer wrongMagic = Packed(WriteBuildSettingsRecord(record).record);
  struct Case {
    const char* what;
    int id;
    std::optional<PayloadBuffer> bytes;
    std::string problem;
  };
  const Case cases[] = {
      {"workbook does not unpack", kMainWorkbookResource, garbled,
       "the main workbook (1020) is damaged: its container does not unpack"},
      {"workbook without its marker", kMainWorkbookResource, Packed(unmarked),
       "the main workbook (1020) is damaged: it lacks its marker: the launcher would hand over an empty workbook"},
      {"auxiliary workbook missing", kAuxWorkbookResource, std::nullopt, "the auxiliary workbook (1018) is missing"},
      {"64-bit add-in in the 32-bit slot", kAddin32Resource, Packed(test::MakeTestDll(pe::kMachineAmd64)),
       "the add-in for 32-bit hosts (1025) is damaged: a 64-bit DLL; the slot of 32-bit (i386) hosts takes a 32-bit "
       "(i386) DLL (the other slot is addin64)"},
      {"text in the 64-bit slot", kAddin64Resource, Packed("Not an add-in: a place-holder"),
       "the add-in for 64-bit hosts (1027) is damaged: no DLL: not an executable (no MZ header)"},
      {"message table cut short", kMessageTableResource, Packed(table),
       "the message table (1035) is damaged: entry 1 of 1 is cut short"},
      {"settings with a wrong magic", kBuildSettingsResource, wrongMagic,
       "the settings record (1100) is damaged: its validity magic is wrong"},
      {"PNG splash", kSplashPictureResource, PayloadBuffer{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0},
       "the splash picture (1050) is damaged: a PNG picture, which the launcher cannot show"},
      {"licence beyond the dialog's limit", kLicenceTextResource, Packed(std::string(600 * 1024, 'x')),
       "the licence (1105) is damaged: its container declares more than the launcher takes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(folder_ / "Damaged.exe", WithPayload(good, c.id, c.bytes));
    const ToolRun show = Tool("show Damaged.exe");
    EXPECT_EQ(show.code, 1) << show.output;
    EXPECT_EQ(show.output.rfind("Damaged.exe: ", 0), 0u) << show.output;
    EXPECT_NE(show.output.find(", DAMAGED\n"), std::string::npos) << show.output;
    EXPECT_NE(show.output.find("damaged: " + c.problem), std::string::npos) << show.output;
    const ToolRun json = Tool("show --json Damaged.exe");
    EXPECT_EQ(json.code, 1);
    EXPECT_NE(json.output.find("\"verdict\": \"damaged\""), std::string::npos) << json.output;
  }

  // Files that are no application build.
  WriteBytes(folder_ / "plain.dll", test::MakeTestDll(pe::kMachineI386));
  const std::pair<std::string, std::string> others[] = {
      {"launcher.exe",
       "launcher-tool: launcher.exe is no application build: it is the bare launcher, with no "
       "application in it\n"},
      {"plain.dll",
       "launcher-tool: plain.dll is no application build: it carries no payload: it is no build of "
       "this launcher\n"},
      {"licence.txt", "launcher-tool: licence.txt is no application build: not an executable (no MZ header)\n"},
      {"nowhere.exe", "launcher-tool: cannot read nowhere.exe: No such file or directory\n"},
  };
  for (const auto& [file, line] : others) {
    const ToolRun show = Tool("show " + file);
    EXPECT_EQ(show.code, 1) << file;
    EXPECT_EQ(show.output, line);
  }
}

TEST_F(NativeToolBuildTest, QuietAndWarningsAsErrors) {
  const std::string manifest = Manifest("");  // no addin64: one warning
  const ToolRun plain = Build(manifest, "Out.exe");
  EXPECT_EQ(plain.code, 0);
  EXPECT_EQ(plain.output, (folder_ / manifest).string() +
                              ": warning: no addin64 is given: the build will not start with a 64-bit host\n");
  const PayloadBuffer made = Bytes(folder_ / "Out.exe");
  fs::remove(folder_ / "Out.exe");
  const ToolRun quiet = Build(manifest, "Out.exe", " --quiet");
  EXPECT_EQ(quiet.code, 0);
  EXPECT_EQ(quiet.output, "");
  EXPECT_EQ(Bytes(folder_ / "Out.exe"), made);

  const std::vector<std::string> before = Listing();
  const ToolRun strict = Build(manifest, "Out.exe", " --warnings-as-errors --quiet");
  EXPECT_EQ(strict.code, 1);
  EXPECT_EQ(strict.output, (folder_ / manifest).string() +
                               ": error: no addin64 is given: the build will not start with a 64-bit host\n"
                               "launcher-tool: 1 warning(s) refused under --warnings-as-errors: nothing was written\n");
  EXPECT_EQ(Listing(), before);
  EXPECT_EQ(Build(Manifest("addin64 = stub64.dll\n"), "Out.exe", " --warnings-as-errors").code, 0);
  EXPECT_EQ(Tool("build --louder x y").code, 2);
}

// A folder the build may not write in is said as such, not taken for
// another build's lock.
TEST_F(NativeToolBuildTest, FolderWithoutWritePermissionIsSaidAsSuch) {
  const std::string manifest = Manifest("addin64 = stub64.dll\n");
  fs::create_directories(folder_ / "locked");
  fs::permissions(folder_ / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(folder_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  // Root may write anywhere: the tool then runs as nobody.
  const std::string user = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const ToolRun run =
      Shell(user + ShellQuoted(BRISK_LAUNCHER_TOOL) + " build " + manifest + " locked/Out.exe --launcher launcher.exe");
  EXPECT_EQ(run.code, 1) << run.output;
  EXPECT_EQ(run.output, "launcher-tool: cannot write in the output folder " + (folder_ / "locked").string() +
                            ": Permission denied\n");
  fs::permissions(folder_ / "locked", fs::perms::owner_all, fs::perm_options::add);

  // Something else in the lock file's place.
  fs::create_directories(folder_ / "Out.exe.~lock");
  const ToolRun blocked = Build(manifest, "Out.exe");
  EXPECT_EQ(blocked.code, 1);
  EXPECT_EQ(blocked.output, "launcher-tool: cannot write in the output folder " + folder_.string() +
                                ": its lock file Out.exe.~lock: Is a directory\n");
}

// Scratch files that killed builds of the same output left are removed by
// the next build, and nothing else: not another output's, not a file of
// another name, not a link or a folder of that name.
TEST_F(NativeToolBuildTest, StaleScratchFilesOfTheSameOutputGo) {
  const std::string manifest = Manifest("addin64 = stub64.dll\n");
  for (const char* stale : {"Out.exe.~build-1f-0.tmp", "Out.exe.~addin-1f-2.dll", "Out.exe.~addin-1f-3",
                            "Out.exe.~build-1f-0.tmp.~log-1f-0.txt", "Out.exe.~addin-a-0.dll.~log-a-1.txt"}) {
    WriteText(folder_ / stale, "left by a killed build");
  }
  const std::vector<std::string> kept = {"Out.exe.~build-1f-0.tmp.signed", "Other.exe.~build-1f-0.tmp",
                                         "Out.exe.~build-xyz.tmp",         "Out.exe.~build-1f-0.tmp.bak",
                                         "out.exe.~build-1-0.tmp",         "Out.exe.~addin-1f-2.dll.old"};
  for (const std::string& name : kept) WriteText(folder_ / name, "not the builder's");
  fs::create_directories(folder_ / "Out.exe.~addin-3-0.dll");
  WriteText(folder_ / "target.txt", "a file a link points at");
  fs::create_symlink(folder_ / "target.txt", folder_ / "Out.exe.~build-2-0.tmp");
  ASSERT_EQ(Build(manifest, "Out.exe").code, 0);
  std::vector<std::string> expected = {"Out.exe", "Out.exe.~addin-3-0.dll", "Out.exe.~build-2-0.tmp", "target.txt"};
  expected.insert(expected.end(), kept.begin(), kept.end());
  std::vector<std::string> scratch;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".~") != std::string::npos || name == "Out.exe" || name == "target.txt") scratch.push_back(name);
  }
  std::sort(scratch.begin(), scratch.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(scratch, expected);
  EXPECT_EQ(Bytes(folder_ / "target.txt").size(), 23u);
}

struct Interruption {
  const char* signal;
  int status;  // of the shell that ran the tool
};

class NativeToolInterruptionTest : public NativeToolBuildTest, public testing::WithParamInterface<Interruption> {};

// A build stopped while its sign command runs leaves nothing: no scratch
// file, no lock, the output as it was, and the sign command ended.
TEST_P(NativeToolInterruptionTest, InterruptedBuildLeavesNothing) {
  WriteText(folder_ / "Out.exe", "previous build");
  const std::string manifest =
      Manifest("addin64 = stub64.dll\nsign = touch started.flag; sleep 3; touch late.flag; true {file}\n");
  const std::vector<std::string> before = Listing();
  const ToolRun run = Shell(ShellQuoted(BRISK_LAUNCHER_TOOL) + " build " + manifest +
                            " Out.exe --launcher launcher.exe & tool=$!; "
                            "i=0; while [ ! -e started.flag ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done; "
                            "kill -" +
                            std::string(GetParam().signal) +
                            " $tool; wait $tool; echo status=$?; "
                            "sleep 4; rm -f started.flag");
  EXPECT_NE(run.output.find("status=" + std::to_string(GetParam().status)), std::string::npos) << run.output;
  EXPECT_EQ(Listing(), before) << run.output;
  EXPECT_EQ(Bytes(folder_ / "Out.exe"),
            PayloadBuffer({'p', 'r', 'e', 'v', 'i', 'o', 'u', 's', ' ', 'b', 'u', 'i', 'l', 'd'}));
}

INSTANTIATE_TEST_SUITE_P(Signals, NativeToolInterruptionTest,
                         testing::Values(Interruption{"INT", 130}, Interruption{"TERM", 143}),
                         [](const testing::TestParamInfo<Interruption>& info) {
                           return std::string(info.param.signal);
                         });

class NativeToolSigningTest : public NativeToolBuildTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(Shell("openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 "
                    "-subj /CN=Brisk-Test-Signer")
                  .code,
              0)
        << "openssl (scripts/setup.sh installs it)";
    test::TestImageOptions dll;
    dll.characteristics = 0x2102;
    WriteBytes(folder_ / "stub.dll", test::MakeTestImage({}, dll));
  }
  int Verify(const std::string& file) {
    return Shell("osslsigncode verify -CAfile cert.pem -in " + ShellQuoted(file) + " >/dev/null").code;
  }
};

TEST_F(NativeToolSigningTest, SignedBuildAndAddinVerify) {
  const ToolRun run = Build(Manifest(std::string("sign = ") + kSignCommand + "\n"), "Signed.exe");
  ASSERT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(Verify("Signed.exe"), 0);
  const ToolRun show = Tool("show --json Signed.exe");
  EXPECT_EQ(show.code, 0) << show.output;
  EXPECT_NE(show.output.find("\"signed\": true"), std::string::npos) << show.output;
  EXPECT_NE(show.output.find("\"signature\": {\"state\": \"signed\", \"digest\": \"SHA-256\"}"), std::string::npos)
      << show.output;
  EXPECT_NE(Tool("show Signed.exe")
                .output.find("  signature         signed (SHA-256): its image digest matches the file; "
                             "the certificate and its chain are not judged here\n"),
            std::string::npos);
  EXPECT_NE(show.output.find("\"id\": 1025, \"bytes\""), std::string::npos) << show.output;
  EXPECT_NE(show.output.find("\"signed\": true}"), std::string::npos) << "the add-in: " << show.output;
  const PayloadBuffer signedBuild = Bytes(folder_ / "Signed.exe");
  const ReadBack back = Read(signedBuild);
  ASSERT_TRUE(back.image);
  EXPECT_TRUE(pe::HasCertificateTable(signedBuild, *back.image));

  // A signed build as the launcher: the new build is not signed, and whole.
  const ToolRun again = Tool("build " + Manifest("", "plain.manifest") + " Again.exe --launcher Signed.exe");
  ASSERT_EQ(again.code, 0) << again.output;
  const PayloadBuffer unsignedBuild = Bytes(folder_ / "Again.exe");
  const ReadBack plain = Read(unsignedBuild);
  ASSERT_TRUE(plain.image);
  EXPECT_FALSE(pe::HasCertificateTable(unsignedBuild, *plain.image));
  EXPECT_NE(Verify("Again.exe"), 0);
}

TEST_F(NativeToolSigningTest, FailedSigningLeavesNoOutput) {
  const std::vector<std::string> before = Listing();
  const ToolRun run = Build(
      Manifest(std::string("sign = case {file} in *.dll) ") + kSignCommand + ";; *) echo no key here; exit 3;; esac\n"),
      "Out.exe");
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.output.find("failed: the sign command exited with 3: no key here"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(folder_ / "Out.exe"));
  std::vector<std::string> after = Listing();
  after.erase(std::remove(after.begin(), after.end(), (folder_ / "app.manifest").string()), after.end());
  std::vector<std::string> expected = before;
  expected.erase(std::remove(expected.begin(), expected.end(), (folder_ / "app.manifest").string()), expected.end());
  EXPECT_EQ(after, expected);
}

// "signed" only when the signature's digest is the file's: a byte changed
// after signing, in the build or in an add-in it carries, is damage.
TEST_F(NativeToolSigningTest, ByteChangedAfterSigningIsDamage) {
  ASSERT_EQ(Build(Manifest(std::string("sign = ") + kSignCommand + "\n"), "Signed.exe").code, 0);
  PayloadBuffer build = Bytes(folder_ / "Signed.exe");
  const ReadBack back = Read(build);
  ASSERT_TRUE(back.image);
  // A byte of the resource section, which the digest covers.
  PayloadBuffer changed = build;
  changed[test::kTestResourceFileOffset + 0x40] ^= 0x01;
  WriteBytes(folder_ / "Changed.exe", changed);
  const ToolRun show = Tool("show Changed.exe");
  EXPECT_EQ(show.code, 1) << show.output;
  EXPECT_NE(show.output.find("  signature         the signature does not match the file\n"), std::string::npos)
      << show.output;
  EXPECT_NE(show.output.find("damaged: the signature does not match the file: it changed after it was signed\n"),
            std::string::npos);
  EXPECT_NE(Verify("Changed.exe"), 0) << "osslsigncode agrees";

  // The add-in changed after it was signed, in a build that is not.
  PayloadBuffer addin = UnpackedPayload(build, kAddin32Resource);
  addin[0x200] ^= 0x01;
  ASSERT_TRUE(pe::RemoveCertificateTable(build, *back.image));
  WriteBytes(folder_ / "Addin.exe", WithPayload(build, kAddin32Resource, Packed(addin)));
  const ToolRun addinShow = Tool("show Addin.exe");
  EXPECT_EQ(addinShow.code, 1) << addinShow.output;
  EXPECT_NE(addinShow.output.find("damaged: the add-in for 32-bit hosts (1025) is damaged: its signature does not "
                                  "match it (changed after it was signed)"),
            std::string::npos)
      << addinShow.output;
  EXPECT_NE(addinShow.output.find("  signature         not signed\n"), std::string::npos);

  // A certificate table that holds no signature.
  PayloadBuffer junk = Bytes(folder_ / "Signed.exe");
  const pe::DataDirectory table = back.image->Directory(pe::kCertificateTable);
  for (std::size_t at = table.address + 8; at < junk.size(); ++at) junk[at] = 0x5A;
  WriteBytes(folder_ / "Junk.exe", junk);
  const ToolRun junkShow = Tool("show Junk.exe");
  EXPECT_EQ(junkShow.code, 1);
  EXPECT_NE(junkShow.output.find("damaged: the signature cannot be read: its certificate table holds no PKCS#7 "
                                 "signed data"),
            std::string::npos)
      << junkShow.output;
}

// The sign command's whole output goes into the error, both streams.
TEST_F(NativeToolSigningTest, FailedSignCommandKeepsItsWholeOutput) {
  const ToolRun run =
      Build(Manifest("sign = echo signing {file}; echo 'error: no key' >&2; echo; echo done; exit 4\n"), "Out.exe");
  EXPECT_EQ(run.code, 1);
  const std::string start = "launcher-tool: signing the add-in " + (folder_ / "stub.dll").string() +
                            " failed: the sign command exited with 4; its output:\n  signing " +
                            (folder_ / "Out.exe").string() + ".~addin-";
  EXPECT_EQ(run.output.substr(0, start.size()), start);
  EXPECT_NE(run.output.find(".dll\n  error: no key\n  \n  done\n"), std::string::npos) << run.output;
}

// Two builds of one output at a time: the second stops at once, the first
// completes, and no lock is left behind.
TEST_F(NativeToolSigningTest, SecondBuildOfTheSameOutputIsRefusedWhileTheFirstRuns) {
  const std::string slow = Manifest(std::string("sign = touch started.flag; sleep 3; ") + kSignCommand + "\n");
  const std::string plain = Manifest("", "plain.manifest");
  const ToolRun both = Shell(ShellQuoted(BRISK_LAUNCHER_TOOL) + " build " + slow +
                             " Budget.exe --launcher launcher.exe > first.log 2>&1 & first=$!; "
                             "i=0; while [ ! -e started.flag ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done; " +
                             ShellQuoted(BRISK_LAUNCHER_TOOL) + " build " + plain +
                             " Budget.exe --launcher launcher.exe; echo second=$?; "
                             "wait $first; echo first=$?");
  EXPECT_NE(both.output.find("launcher-tool: another build is writing " + (folder_ / "Budget.exe").string() +
                             "; try again when it has finished\nsecond=1\nfirst=0"),
            std::string::npos)
      << both.output;
  EXPECT_EQ(Verify("Budget.exe"), 0);
  for (const std::string& name : Listing()) EXPECT_EQ(name.find(".~"), std::string::npos) << name;
}

#ifdef BRISK_SHIPPING_LAUNCHER
// The shipping launcher's own resources, written back in its place, give
// the linker's bytes: the writer lays a section out as the linker does.
TEST(ShippingLauncherTest, ItsOwnResourcesWrittenBackGiveTheSameImage) {
  const PayloadBuffer launcher = Bytes(BRISK_SHIPPING_LAUNCHER);
  const ReadBack back = Read(launcher);
  ASSERT_TRUE(back.image);
  ASSERT_FALSE(back.resources.empty());
  std::vector<pe::ResourceItem> items;
  for (const pe::ResourceEntry& entry : back.resources) {
    items.push_back({entry.type, entry.name, entry.language, pe::ResourceBytes(launcher, *back.image, entry)});
  }
  PayloadBuffer rewritten = launcher;
  ASSERT_EQ(pe::ReplaceResources(rewritten, items), "");
  EXPECT_EQ(rewritten, launcher);
}
#endif

}  // namespace
}  // namespace brisk

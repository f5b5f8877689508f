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
#include <string>
#include <vector>

#include "build_image.h"
#include "icon_fixture.h"
#include "payload/byte_order.h"
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
    WriteText(folder_ / "stub.dll", std::string(100, 'D'));
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

struct ManifestCase {
  const char* what;
  std::string extra;
  std::vector<int> payload;  // resources that this manifest adds
};

TEST_F(NativeToolBuildTest, EveryKindOfBuildIsReadBackWhole) {
  WriteBytes(folder_ / "stub64.dll", PayloadBuffer(200, 0x64));
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
    EXPECT_NE(show.output.find("\"appName\": \"Budget\""), std::string::npos) << show.output;
    EXPECT_NE(show.output.find("\"ProductName\": \"Budget\""), std::string::npos) << show.output;
  }
}

// A language file with lines the launcher ignores makes a build, and the
// tool names each line; broken text is still refused.
TEST_F(NativeToolBuildTest, IgnoredLanguageLinesAreWarningsBrokenTextAnError) {
  WriteText(folder_ / "notes.lng", "# Deutsch, von Hand\n[content]\nWARNING_TITLE=Achtung\nSiehe unten\n");
  const ToolRun run = Build(Manifest("language = notes.lng\n"), "Out.exe");
  EXPECT_EQ(run.code, 0) << run.output;
  const std::string file = (folder_ / "notes.lng").string();
  EXPECT_EQ(run.output,
            "launcher-tool: warning: no addin64 is given: the build will not start with a 64-bit host\n"
            "launcher-tool: warning: language " +
                file +
                ": line 1: '#' starts no comment (';' does); the launcher ignores it\n"
                "launcher-tool: warning: language " +
                file + ": line 4: neither a [section], a ; comment nor a KEY=value entry; the launcher ignores it\n");
  WriteText(folder_ / "notes.lng", std::string("# Deutsch\n[content]\nWARNING_TITLE=Ach") + '\0' + "tung\n");
  const ToolRun refused = Build(Manifest("language = notes.lng\n"), "Other.exe");
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.output,
            "launcher-tool: language " + file + ": line 3: a zero byte (is the file UTF-16 or binary?)\n");
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
  WriteBytes(folder_ / "debug.exe", debug);
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
      {"add-in that cannot be signed", "sign = true {file}\n", "Out.exe", "", "", "cannot sign the add-in"},
  };
  for (const BadInput& c : cases) {
    SCOPED_TRACE(c.what);
    Manifest(c.extra);
    const std::vector<std::string> before = Listing();
    const PayloadBuffer previous = Bytes(folder_ / c.output);
    const ToolRun run = Build("app.manifest", c.output, c.more, c.environment);
    EXPECT_EQ(run.code, 1) << run.output;
    EXPECT_EQ(run.output.rfind("launcher-tool: ", 0), 0u) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_NE(run.output.find(c.error), std::string::npos) << run.output;
    EXPECT_EQ(Bytes(folder_ / c.output), previous);
    EXPECT_EQ(Listing(), before);
  }
}

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
  const ToolRun show = Tool("show Signed.exe");
  EXPECT_NE(show.output.find("\"signed\": true"), std::string::npos) << show.output;
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

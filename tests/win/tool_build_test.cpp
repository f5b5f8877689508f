// launcher-tool build and a build made with it, under Wine.
#include <gtest/gtest.h>

#include <windows.h>
#include <imagehlp.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/gdi_handles.h"
#include "base/unique_handle.h"
#include "base/wide_text.h"
#include "build_image.h"
#include "icon_file.h"
#include "payload/build_settings.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"
#include "pe_image.h"
#include "sign_command.h"
#include "payload/container.h"
#include "resource_writer_win.h"
#include "tests/builder/icon_fixture.h"
#include "tests/builder/test_image.h"
#include "tests/support/files.h"
#include "tests/support/process_windows.h"
#include "tests/support/processes.h"
#include "tools/addin_protocol/addin_log.h"
#include "tools/addin_protocol/embedded_config.h"
#include "tools/json/json_io.h"
#include "standin_registration.h"

namespace brisk::test {
namespace {

constexpr DWORD kWait = 30000;

void WriteText(const std::wstring& path, const std::string& text) { WriteFileBytes(path, text); }

std::vector<std::uint8_t> Bytes(const std::wstring& path) {
  const std::optional<std::string> text = ReadFileBytes(path);
  return text ? std::vector<std::uint8_t>(text->begin(), text->end()) : std::vector<std::uint8_t>();
}

struct ToolRun {
  DWORD code = 99;
  std::string output;  // standard output and error, each line ending in a line feed
};

// The C runtime of the tool writes its error lines in text mode.
std::string WithoutCarriageReturns(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

class ToolBuildTest : public testing::Test {
 protected:
  ToolBuildTest() {
    WriteText(folder_ / L"book.bin", "WORKBOOK");
    WriteText(folder_ / L"auxbook.bin", "AUXILIARY");
    WriteFileBytes(folder_ / L"stub.dll", MakeTestDll(pe::kMachineI386));
    WriteFileBytes(folder_ / L"stub64.dll", MakeTestDll(pe::kMachineAmd64));
  }

  DWORD RunTool(const std::wstring& manifest, const std::wstring& out) {
    ChildProcess tool(WinePath(BRISK_LAUNCHER_TOOL_EXE), L"build \"" + manifest + L"\" \"" + out + L"\"");
    const auto code = tool.WaitForExit(kWait);
    EXPECT_TRUE(code.has_value());
    return code.value_or(99);
  }

  // launcher-tool with the arguments, its output kept apart from the
  // test's folder.
  ToolRun Tool(const std::wstring& arguments,
               const std::vector<std::pair<std::wstring, std::wstring>>& environment = {}, DWORD wait = kWait) {
    ChildOptions options;
    options.environment = environment;
    options.outputFile = logs_ / (L"tool" + std::to_wstring(++runs_) + L".log");
    ChildProcess tool(WinePath(BRISK_LAUNCHER_TOOL_EXE), arguments, options);
    const auto code = tool.WaitForExit(wait);
    EXPECT_TRUE(code.has_value()) << "launcher-tool did not finish";
    return {code.value_or(99), WithoutCarriageReturns(ReadFileBytes(options.outputFile).value_or(""))};
  }

  ToolRun Build(const std::wstring& manifest, const std::wstring& out, const std::wstring& more = L"",
                const std::vector<std::pair<std::wstring, std::wstring>>& environment = {}) {
    return Tool(L"build \"" + manifest + L"\" \"" + out + L"\"" + more, environment);
  }

  std::wstring Manifest(const std::string& extra, const std::wstring& name = L"app.manifest") {
    WriteText(folder_ / name,
              "name = Budget\nversion = 2.1.0\nworkbook = book.bin\naux-workbook = auxbook.bin\n"
              "addin32 = stub.dll\n" +
                  extra);
    return folder_ / name;
  }

  TempFolder folder_;
  TempFolder logs_;
  int runs_ = 0;
};

TEST_F(ToolBuildTest, BuildCarriesTheSettingsRecord) {
  WriteText(folder_ / L"app.manifest",
            "name = Budget\nversion = 2.1.0\nworkbook = book.bin\naux-workbook = auxbook.bin\naddin32 = stub.dll\n");
  const std::wstring out = folder_ / L"Budget.exe";
  ASSERT_EQ(RunTool(folder_ / L"app.manifest", out), 0u);

  HMODULE build = LoadLibraryExW(out.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(build, nullptr);
  const std::u16string type = GetEncodedStringW(kPayloadResourceType);
  HRSRC found =
      FindResourceW(build, MAKEINTRESOURCEW(kBuildSettingsResource), reinterpret_cast<const wchar_t*>(type.c_str()));
  ASSERT_NE(found, nullptr);
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(build, found)));
  PayloadBuffer record(bytes, bytes + SizeofResource(build, found));
  FreeLibrary(build);
  const BuildSettings settings = ParseBuildSettings(record);
  EXPECT_EQ(settings.appName, u"Budget");
  EXPECT_EQ(settings.magic, kSettingsMagic);
  EXPECT_EQ(settings.appVersion, 0x02010000u);
}

TEST_F(ToolBuildTest, RefusedBuildLeavesNoOutput) {
  WriteText(folder_ / L"app.manifest", "workbook = book.bin\naux-workbook = gone.bin\naddin32 = stub.dll\n");
  const std::wstring out = folder_ / L"Budget.exe";
  EXPECT_EQ(RunTool(folder_ / L"app.manifest", out), 1u);
  EXPECT_FALSE(PathExists(out));
  EXPECT_FALSE(PathExists(out + L".partial"));
}

TEST_F(ToolBuildTest, BuildWithWrongMagicStopsWithTheNotice) {
  WriteText(folder_ / L"app.manifest",
            "magic = 0x1\nworkbook = book.bin\naux-workbook = auxbook.bin\naddin32 = stub.dll\n");
  const std::wstring out = folder_ / L"Broken.exe";
  ASSERT_EQ(RunTool(folder_ / L"app.manifest", out), 0u);

  ChildProcess launcher(out, L"");
  HWND box = WaitForDialog(launcher.id(), kWait);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ItemText(box, 0xFFFF), WideFromUtf8(GetEncodedStringA(kSettingsMagicWrong)));
  PressButton(box, IDOK);
  EXPECT_EQ(launcher.WaitForExit(kWait), std::optional<DWORD>(0));
}

// Two builds of the same inputs into two folders, at different times, give
// the same bytes: stamps from the image or SOURCE_DATE_EPOCH, a checksum
// Windows computes the same way, nothing after the image.
TEST_F(ToolBuildTest, BuildsOfTheSameInputsAreByteIdentical) {
  const std::wstring manifest = Manifest("licence = licence.txt\n");
  WriteText(folder_ / L"licence.txt", "Licence of <?APPNAME?>.\r\n");
  CreateDirectoryW((folder_ / L"one").c_str(), nullptr);
  CreateDirectoryW((folder_ / L"two").c_str(), nullptr);
  ASSERT_EQ(Build(manifest, folder_ / L"one\\Budget.exe").code, 0u);
  Sleep(1100);
  ASSERT_EQ(Build(manifest, folder_ / L"two\\Budget.exe").code, 0u);
  const std::vector<std::uint8_t> one = Bytes(folder_ / L"one\\Budget.exe");
  ASSERT_FALSE(one.empty());
  EXPECT_TRUE(one == Bytes(folder_ / L"two\\Budget.exe")) << "the two builds differ";

  const pe::ImageResult image = pe::ParseImage(one);
  ASSERT_TRUE(image.image) << image.error;
  EXPECT_EQ(image.image->imageEnd, one.size()) << "nothing is appended after the image";
  // The launcher's resource section starts on a page and the build keeps it
  // there, so that Wine maps the payload from the file.
  const std::optional<std::size_t> resources =
      image.image->FileOffset(image.image->Directory(pe::kResourceDirectory).address, 1);
  ASSERT_TRUE(resources.has_value());
  EXPECT_EQ(*resources % 4096, 0u) << "resource section at file offset " << *resources;
  DWORD headerSum = 0;
  DWORD computedSum = 0;
  const std::wstring first = folder_ / L"one\\Budget.exe";
  ASSERT_EQ(MapFileAndCheckSumW(first.c_str(), &headerSum, &computedSum), static_cast<DWORD>(CHECKSUM_SUCCESS));
  EXPECT_EQ(headerSum, computedSum);
  EXPECT_NE(headerSum, 0u);

  const std::wstring epochBuild = folder_ / L"two\\Budget.exe";
  ASSERT_EQ(Build(manifest, epochBuild, L"", {{L"SOURCE_DATE_EPOCH", L"1700000000"}}).code, 0u);
  const std::vector<std::uint8_t> epoch = Bytes(epochBuild);
  const pe::ImageResult epochImage = pe::ParseImage(epoch);
  ASSERT_TRUE(epochImage.image);
  EXPECT_EQ(le::ReadU32(epoch.data() + epochImage.image->timeStampOffset), 1700000000u);
  ASSERT_EQ(MapFileAndCheckSumW(epochBuild.c_str(), &headerSum, &computedSum), static_cast<DWORD>(CHECKSUM_SUCCESS));
  EXPECT_EQ(headerSum, computedSum);
}

std::wstring VersionString(const std::vector<std::uint8_t>& block, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || !value) return L"<absent>";
  return std::wstring(static_cast<const wchar_t*>(value));
}

BOOL CALLBACK CollectResourceId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::vector<int>*>(param)->push_back(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
  }
  return TRUE;
}

std::vector<int> ResourceIds(const std::wstring& exe, const wchar_t* type) {
  std::vector<int> ids;
  const UniqueModule module(
      LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!module) return ids;
  EnumResourceNamesW(module.get(), type, CollectResourceId, reinterpret_cast<LONG_PTR>(&ids));
  std::sort(ids.begin(), ids.end());
  return ids;
}

// The colour of the icon's middle pixel, 0xRRGGBB, and its width.
std::pair<std::uint32_t, int> IconColourAndWidth(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {0, 0};
  const UniqueBitmap colour(info.hbmColor);
  const UniqueBitmap mask(info.hbmMask);
  BITMAP bitmap{};
  GetObjectW(colour.get(), sizeof bitmap, &bitmap);
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = bitmap.bmWidth;
  format.bmiHeader.biHeight = -bitmap.bmHeight;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(bitmap.bmWidth) * bitmap.bmHeight);
  const WindowDC screen(nullptr);
  GetDIBits(screen.get(), colour.get(), 0, bitmap.bmHeight, pixels.data(), &format, DIB_RGB_COLORS);
  const std::size_t middle = static_cast<std::size_t>(bitmap.bmHeight / 2) * bitmap.bmWidth + bitmap.bmWidth / 2;
  return {pixels.empty() ? 0 : pixels[middle] & 0xFFFFFF, bitmap.bmWidth};
}

TEST_F(ToolBuildTest, VersionResourceAndIconAreReadBackByWindows) {
  const PayloadBuffer icon = MakeIconFile({{32, 0x00C000}});
  WriteFileBytes(folder_ / L"app.ico", icon);
  const std::wstring manifest = folder_ / L"full.manifest";
  WriteText(manifest,
            "name = Budget\nworkbook = book.bin\naux-workbook = auxbook.bin\naddin32 = stub.dll\n"
            "icon = app.ico\ncompany = Example Ltd\ncopyright = (c) 2024 Example\n"
            "description = Quarterly planner \xE2\x80\x93 figures\nversion = 3.4.5.6\n");
  const std::wstring out = folder_ / L"Planner.exe";
  const ToolRun run = Build(manifest, out);
  ASSERT_EQ(run.code, 0u) << run.output;

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(out.c_str(), &ignored);
  ASSERT_NE(size, 0u);
  std::vector<std::uint8_t> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(out.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00030004u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00050006u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00030004u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  DWORD* translation = nullptr;
  ASSERT_TRUE(
      VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  EXPECT_EQ(*translation, 0x04B00409u);
  EXPECT_EQ(VersionString(block, L"ProductName"), L"Budget");
  EXPECT_EQ(VersionString(block, L"FileDescription"), L"Quarterly planner \x2013 figures");
  EXPECT_EQ(VersionString(block, L"ProductVersion"), L"3.4.5.6");
  EXPECT_EQ(VersionString(block, L"FileVersion"), L"3.4.5.6");
  EXPECT_EQ(VersionString(block, L"CompanyName"), L"Example Ltd");
  EXPECT_EQ(VersionString(block, L"LegalCopyright"), L"(c) 2024 Example");
  EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"Planner.exe");

  // One image replaces the launcher's two: its second icon is gone.
  EXPECT_EQ(ResourceIds(out, RT_ICON), (std::vector<int>{1}));
  EXPECT_EQ(ResourceIds(out, RT_GROUP_ICON), (std::vector<int>{1}));
  EXPECT_EQ(ResourceIds(out, RT_VERSION), (std::vector<int>{1}));
  UniqueIcon large;
  UniqueIcon small;
  ASSERT_EQ(ExtractIconExW(out.c_str(), 0, large.put(), small.put(), 1), 2u);
  ASSERT_TRUE(large);
  const auto [colour, width] = IconColourAndWidth(large.get());
  EXPECT_EQ(width, 32);
  EXPECT_EQ(colour, 0x00C000u) << "the application's icon, not the launcher's";
}

TEST_F(ToolBuildTest, ShowPrintsIconVersionAndSignatureState) {
  const PayloadBuffer icon = MakeIconFile({{16, 0xFF0000}, {32, 0x00FF00}, {48, 0x0000FF, false, 0}});
  WriteFileBytes(folder_ / L"app.ico", icon);
  const std::wstring out = folder_ / L"Budget.exe";
  ASSERT_EQ(Build(Manifest("icon = app.ico\ncompany = Example Ltd\n"), out).code, 0u);
  const ToolRun show = Tool(L"show --json \"" + out + L"\"");
  ASSERT_EQ(show.code, 0u) << show.output;
  for (const std::string& line :
       {std::string("  \"verdict\": \"good\","), std::string("  \"signed\": false,"),
        std::string("    {\"width\": 16, \"height\": 16, \"bitCount\": 32, \"bytes\": " +
                    std::to_string(BitmapIconImage(16, 0).size()) + "},"),
        std::string("    {\"width\": 48, \"height\": 48, \"bitCount\": 32, \"bytes\": " +
                    std::to_string(BitmapIconImage(48, 0).size()) + "}"),
        std::string("    \"fileVersion\": \"2.1.0.0\","), std::string("    \"CompanyName\": \"Example Ltd\","),
        std::string("    \"ProductName\": \"Budget\","), std::string("    \"OriginalFilename\": \"Budget.exe\","),
        std::string("    {\"id\": 1025, \"bytes\": "),
        std::string("\"part\": \"add-in for 32-bit hosts\", \"state\": \"good\", \"detail\": \"a 32-bit DLL\", "
                    "\"signed\": false}")}) {
    EXPECT_NE(show.output.find(line), std::string::npos) << line << "\n" << show.output;
  }
}

// A build started from an earlier build carries only what its own manifest
// names.
TEST_F(ToolBuildTest, EarlierBuildAsLauncherKeepsNoneOfItsPayload) {
  WriteText(folder_ / L"de.lng", "[content]\nEULA_TITLE=Lizenz\n");
  WriteText(folder_ / L"splash.jpg", "\xFF\xD8\xFF\xE0 a JPEG picture");
  const std::wstring first = folder_ / L"First.exe";
  ASSERT_EQ(
      Build(Manifest("language = de.lng\naddin64 = stub64.dll\nsplash = splash.jpg\nlicence = de.lng\n"), first).code,
      0u);
  const std::wstring second = folder_ / L"Second.exe";
  const ToolRun run = Build(Manifest("", L"plain.manifest"), second, L" --launcher \"" + first + L"\"");
  ASSERT_EQ(run.code, 0u) << run.output;
  const std::u16string type = GetEncodedStringW(kPayloadResourceType);
  const std::vector<int> ids = ResourceIds(second, reinterpret_cast<const wchar_t*>(type.c_str()));
  EXPECT_EQ(ids, (std::vector<int>{1018, 1020, 1025, 1035, 1043, 1045, 1060, 1070, 1100, 1105, 1107, 1200}));
  // The same bytes as a build from the launcher itself but for the name.
  const std::wstring direct = folder_ / L"Direct.exe";
  ASSERT_EQ(Build(Manifest("", L"plain.manifest"), direct).code, 0u);
  EXPECT_EQ(ResourceIds(direct, reinterpret_cast<const wchar_t*>(type.c_str())), ids);
  EXPECT_EQ(Bytes(direct).size(), Bytes(second).size());
}

// Scratch files of the builder carry ".~" after the output's name.
bool HasScratchFiles(const std::wstring& folder) {
  for (const std::wstring& entry : ListTree(folder)) {
    if (entry.find(L".~") != std::wstring::npos) return true;
  }
  return false;
}

// The Windows tool tells a damaged build from a good one as the native one
// does: exit 1 and the part named.
TEST_F(ToolBuildTest, ShowNamesADamagedPartAndExitsWithOne) {
  WriteText(folder_ / L"splash.jpg", "\xFF\xD8\xFF\xE0 a JPEG picture");
  const std::wstring out = folder_ / L"Budget.exe";
  ASSERT_EQ(Build(Manifest("addin64 = stub64.dll\nsplash = splash.jpg\nformat = 2\npassword = s3cret\n"), out).code,
            0u);
  const ToolRun good = Tool(L"show \"" + out + L"\"");
  EXPECT_EQ(good.code, 0u) << good.output;
  for (const std::string line :
       {": Budget 2.1.0, good\n", "  hosts             32-bit and 64-bit\n",
        "  password prompt   yes (--show-password prints it)\n", "  splash            yes (JPEG)\n",
        "  workbook          .xlsb (format 2)\n", "  signature         not signed\n"}) {
    EXPECT_NE(good.output.find(line), std::string::npos) << line << good.output;
  }
  EXPECT_EQ(good.output.find("s3cret"), std::string::npos);

  PayloadBuffer dll = MakeTestDll(pe::kMachineAmd64);
  PayloadBuffer wrongSlot;
  ASSERT_TRUE(PackContainer(dll.data(), dll.size(), wrongSlot));
  PayloadBuffer garbled = wrongSlot;
  for (std::size_t at = 30; at < garbled.size(); ++at) garbled[at] = static_cast<std::uint8_t>(at * 37);
  const struct {
    int id;
    PayloadBuffer bytes;
    std::string problem;
  } cases[] = {
      {kAddin32Resource, wrongSlot,
       "damaged: the add-in for 32-bit hosts (1025) is damaged: a 64-bit DLL; the slot of "
       "32-bit (i386) hosts takes a 32-bit (i386) DLL (the other slot is addin64)\n"},
      {kMainWorkbookResource, garbled, "damaged: the main workbook (1020) is damaged: its container does not unpack\n"},
  };
  for (const auto& c : cases) {
    const std::wstring damaged = folder_ / (L"Damaged" + std::to_wstring(c.id) + L".exe");
    ASSERT_TRUE(CopyFileW(out.c_str(), damaged.c_str(), FALSE));
    ASSERT_TRUE(WritePayloadResources(damaged, {{c.id, std::vector<std::uint8_t>(c.bytes.begin(), c.bytes.end())}}));
    const ToolRun show = Tool(L"show \"" + damaged + L"\"");
    EXPECT_EQ(show.code, 1u) << show.output;
    EXPECT_NE(show.output.find(", DAMAGED\n"), std::string::npos) << show.output;
    EXPECT_NE(show.output.find(c.problem), std::string::npos) << show.output;
  }
  const ToolRun bare = Tool(L"show \"" + WinePath(BRISK_LAUNCHER_EXE) + L"\"");
  EXPECT_EQ(bare.code, 1u);
  EXPECT_EQ(bare.output, "launcher-tool: " + Utf8FromWide(WinePath(BRISK_LAUNCHER_EXE)) +
                             " is no application build: it is the bare launcher, with no application in it\n");
}

// Diagnostics about the maker's files in the form editors read, under Wine
// too; --warnings-as-errors refuses the build.
TEST_F(ToolBuildTest, WarningsNameTheFileAndLine) {
  WriteText(folder_ / L"de.lng", "[content]\nEULA_TITEL=Lizenz\n");
  const std::wstring manifest = Manifest("addin64 = stub64.dll\nlanguage = de.lng\n");
  const std::wstring out = folder_ / L"Budget.exe";
  const ToolRun run = Build(manifest, out);
  EXPECT_EQ(run.code, 0u);
  EXPECT_EQ(run.output, Utf8FromWide(folder_ / L"de.lng") +
                            ":2: warning: 'EULA_TITEL' is no key of the launcher's (did you mean EULA_TITLE?); the "
                            "launcher ignores it\n");
  DeleteFileW(out.c_str());
  const ToolRun strict = Build(manifest, out, L" --warnings-as-errors");
  EXPECT_EQ(strict.code, 1u);
  EXPECT_NE(strict.output.find(":2: error: 'EULA_TITEL'"), std::string::npos) << strict.output;
  EXPECT_FALSE(PathExists(out));
  EXPECT_FALSE(HasScratchFiles(folder_.path()));
}

struct BadInput {
  const char* name;
  std::string manifest;  // the manifest's lines after the base ones; or its whole text
  bool wholeManifest = false;
  std::wstring output = L"Out.exe";  // relative to the folder, or a whole path
  std::wstring more;                 // further arguments
  std::string error;                 // a part of the one line on stderr
};

TEST_F(ToolBuildTest, BadInputIsRefusedWithOneLineAndNothingWritten) {
  // 300 MiB that take no disk: Wine extends the file with a hole.
  {
    const UniqueFileHandle huge(
        CreateFileW((folder_ / L"huge.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(huge);
    LARGE_INTEGER size{};
    size.QuadPart = 300ll * 1024 * 1024;
    ASSERT_TRUE(SetFilePointerEx(huge.get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(huge.get()));
  }
  WriteText(folder_ / L"utf16.lng", std::string("\xFF\xFE[\0c\0", 6));
  WriteText(folder_ / L"bad.ico", "GIF89a");
  WriteText(folder_ / L"utf16.manifest", std::string("\xFF\xFEn\0a\0m\0e\0", 10));
  std::vector<std::uint8_t> launcher = Bytes(WinePath(BRISK_LAUNCHER_EXE));
  ASSERT_FALSE(launcher.empty());
  WriteFileBytes(folder_ / L"launcher-copy.exe", launcher);
  // Random bytes written into its code after it was linked.
  std::vector<std::uint8_t> damaged = launcher;
  for (std::size_t at = 0x1000; at < 0x1040; ++at) damaged[at] = static_cast<std::uint8_t>(at * 37);
  WriteFileBytes(folder_ / L"damaged.exe", damaged);
  launcher.resize(launcher.size() / 2);
  WriteFileBytes(folder_ / L"cut.exe", launcher);
  WriteText(folder_ / L"notes.txt", "Not an add-in: a place-holder.\n");
  const std::wstring manifestPath = folder_ / L"app.manifest";

  const auto launcherArgument = [](const std::wstring& path) { return L" --launcher \"" + path + L"\""; };
  const BadInput cases[] = {
      {"workbook too large", "workbook = huge.bin\naux-workbook = auxbook.bin\naddin32 = stub.dll\n", true, L"Out.exe",
       L"", "huge.bin is 300 MiB; a build carries at most 256 MiB of payload files"},
      {"output is the launcher", "", false, L"launcher-copy.exe", launcherArgument(folder_ / L"launcher-copy.exe"),
       "is the launcher itself; choose another output name"},
      {"output is the manifest", "", false, L"app.manifest", L"", "is the manifest itself"},
      {"output is the workbook", "", false, L"book.bin", L"", "is the workbook itself"},
      {"output is the add-in", "", false, L"stub.dll", L"", "is addin32 itself"},
      {"output folder missing", "", false, L"nowhere\\Out.exe", L"", "the output folder"},
      {"output is a folder", "", false, L"sub", L"", "is a folder"},
      {"damaged launcher", "", false, L"Out.exe", launcherArgument(folder_ / L"cut.exe"),
       "is not a launcher of this project: section"},
      {"random bytes in the launcher's code", "", false, L"Out.exe", launcherArgument(folder_ / L"damaged.exe"),
       "is not a launcher of this project: its checksum does not match its bytes: it is damaged"},
      {"text as the 64-bit add-in", "addin64 = notes.txt\n", false, L"Out.exe", L"",
       "app.manifest:6: error: addin64 " + Utf8FromWide(folder_ / L"notes.txt") + " is no DLL"},
      {"32-bit add-in as the 64-bit one", "addin64 = stub.dll\n", false, L"Out.exe", L"",
       "app.manifest:6: error: addin64 " + Utf8FromWide(folder_ / L"stub.dll") + " is a 32-bit DLL"},
      {"misspelt key", "aux_workbook = auxbook.bin\n", false, L"Out.exe", L"",
       "app.manifest:6: error: unknown key 'aux_workbook'; did you mean 'aux-workbook'?"},
      {"foreign launcher", "", false, L"Out.exe", launcherArgument(L"C:\\windows\\notepad.exe"),
       "is not a launcher of this project: it carries a symbol table"},
      {"console program as launcher", "", false, L"Out.exe", launcherArgument(WinePath(BRISK_LAUNCHER_TOOL_EXE)),
       "is not a launcher of this project: not a Windows GUI program"},
      {"missing launcher", "", false, L"Out.exe", launcherArgument(folder_ / L"gone.exe"), "cannot read the launcher"},
      {"empty workbook value", "workbook =\naux-workbook = auxbook.bin\naddin32 = stub.dll\n", true, L"Out.exe", L"",
       "app.manifest:1: error: 'workbook' is empty"},
      {"UTF-16 language", "language = utf16.lng\n", false, L"Out.exe", L"", "utf16.lng: the file is UTF-16"},
      {"bad icon", "icon = bad.ico\n", false, L"Out.exe", L"", "bad.ico: not an icon file"},
      {"unknown flag bits", "flags = 0x1\n", false, L"Out.exe", L"", "flags 0x1 are not known to the launcher"},
      {"bad version", "version = 1.2\nworkbook = book.bin\naux-workbook = auxbook.bin\naddin32 = stub.dll\n", true,
       L"Out.exe", L"", "app.manifest:1: error: version must be a.b.c or a.b.c.d"},
  };
  CreateDirectoryW((folder_ / L"sub").c_str(), nullptr);
  for (const BadInput& c : cases) {
    if (c.wholeManifest) {
      WriteText(manifestPath, c.manifest);
    } else {
      Manifest(c.manifest);
    }
    const std::vector<std::wstring> before = ListTree(folder_.path());
    const std::wstring output = folder_ / c.output;
    const std::optional<std::string> previous = ReadFileBytes(output);
    ChildOptions options;
    options.outputFile = logs_ / L"bad.log";
    ChildProcess tool(WinePath(BRISK_LAUNCHER_TOOL_EXE),
                      L"build \"" + manifestPath + L"\" \"" + output + L"\"" + c.more, options);
    const auto code = tool.WaitForExit(kWait);
    const std::string err = WithoutCarriageReturns(ReadFileBytes(options.outputFile).value_or(""));
    EXPECT_EQ(code, std::optional<DWORD>(1)) << c.name << ": " << err;
    const bool aboutTheManifest = err.rfind(Utf8FromWide(manifestPath) + ":", 0) == 0;
    EXPECT_TRUE(err.rfind("launcher-tool: ", 0) == 0 || aboutTheManifest) << c.name << ": " << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.name << ": " << err;
    EXPECT_NE(err.find(c.error), std::string::npos) << c.name << ": " << err;
    EXPECT_EQ(ReadFileBytes(output), previous) << c.name << ": the output changed";
    EXPECT_EQ(ListTree(folder_.path()), before) << c.name << ": files were left";
  }

  WriteText(manifestPath, "");
  const ToolRun utf16 = Build(folder_ / L"utf16.manifest", folder_ / L"Out.exe");
  EXPECT_EQ(utf16.code, 1u);
  EXPECT_NE(utf16.output.find("utf16.manifest: error: the file is UTF-16 or binary; save it as UTF-8 text"),
            std::string::npos)
      << utf16.output;
  EXPECT_FALSE(HasScratchFiles(folder_.path()));
}

// The user's own file under the name the old builder used for its scratch
// copy stays as it was.
TEST_F(ToolBuildTest, FilesBesideTheOutputStayAsTheyWere) {
  WriteText(folder_ / L"Budget.exe.partial", "the user's own file");
  const std::wstring out = folder_ / L"Budget.exe";
  ASSERT_EQ(Build(Manifest(""), out).code, 0u);
  EXPECT_EQ(ReadFileBytes(out + L".partial"), std::optional<std::string>("the user's own file"));
  EXPECT_FALSE(HasScratchFiles(folder_.path()));
}

// Signing with a certificate made for the test: osslsigncode signs in place
// through a scratch file of its own.
constexpr char kSignCommand[] =
    "osslsigncode sign -certs cert.pem -key key.pem -in {file} -out {file}.signed >/dev/null && mv {file}.signed "
    "{file}";

class ToolSigningTest : public ToolBuildTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(Shell("openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 "
                    "-subj /CN=Brisk-Test-Signer"),
              0)
        << "openssl (scripts/setup.sh installs it)";
  }

  // A command line of the build machine's shell, run in the test's folder;
  // its exit status.
  long Shell(const std::string& commandLine) {
    const std::wstring log = logs_ / (L"shell" + std::to_wstring(++runs_) + L".log");
    const ShellOutcome outcome = RunShellCommand(commandLine, folder_.path(), log);
    EXPECT_TRUE(outcome.started) << outcome.startError;
    if (outcome.status != 0) std::printf("%s: %s\n", commandLine.c_str(), ReadFileBytes(log).value_or("").c_str());
    return outcome.started ? outcome.status : -1;
  }

  long Verify(const std::wstring& build) {
    return Shell("osslsigncode verify -CAfile cert.pem -in " + QuotedForShell(build) + " >/dev/null");
  }
};

// Ends the stand-in hosts that a launch started (their ids are in the
// host's log) and removes the host's registration.
class StandinHost {
 public:
  StandinHost(const std::wstring& config, const std::wstring& log) : log_(log) {
    WriteText(config, "log=" + Utf8FromWide(log) + "\nversion=16.0\n");
    registered_ = standin::RegisterStandinHost(WinePath(BRISK_STANDIN_HOST_EXE), config) == ERROR_SUCCESS;
  }
  ~StandinHost() {
    for (const std::string& line : Lines(ReadFileBytes(log_).value_or(""))) {
      const std::optional<json::Json> record = json::ParseObject(line);
      if (!record || json::Member<std::string>(*record, "event") != std::optional<std::string>("start")) continue;
      if (const auto pid = json::Member<std::int64_t>(*record, "pid")) EndProcessById(static_cast<DWORD>(*pid), 5000);
    }
    standin::UnregisterStandinHost();
  }
  bool registered() const { return registered_; }

 private:
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t end = std::min(text.find('\n', start), text.size());
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    return lines;
  }

  std::wstring log_;
  bool registered_ = false;
};

TEST_F(ToolSigningTest, SignedBuildVerifiesAndLaunches) {
  // The stand-in add-in, told where to write its log.
  const std::wstring addinLog = logs_ / L"addin.jsonl";
  WriteText(logs_ / L"addin.json", "{\"log\": " + json::Json(Utf8FromWide(addinLog)).dump() + "}\n");
  std::vector<std::uint8_t> addin = Bytes(WinePath(BRISK_STANDIN_ADDIN_DLL));
  ASSERT_FALSE(addin.empty());
  ASSERT_EQ(addin::EmbedConfigPath(addin, ToU16(logs_ / L"addin.json")), std::nullopt);
  // In the slot of this tree's bitness, which is the stand-in host's: the
  // other slot holds a DLL of the other bitness, which the host never loads.
#ifdef _WIN64
  const wchar_t* slotFile = L"stub64.dll";
  const std::string slot = "addin64 = stub64.dll\n";
#else
  const wchar_t* slotFile = L"stub.dll";
  const std::string slot;
#endif
  WriteFileBytes(folder_ / slotFile, addin);
  WriteText(folder_ / L"auxbook.bin", "BRISK-AUX-WORKBOOK 1\nsigned build\n");

  const std::wstring out = folder_ / L"Signed.exe";
  const ToolRun run = Build(Manifest(slot + "sign = " + kSignCommand + "\n"), out);
  ASSERT_EQ(run.code, 0u) << run.output;
  EXPECT_EQ(Verify(out), 0) << "osslsigncode verify with the test certificate as CA";
  const ToolRun show = Tool(L"show --json \"" + out + L"\"");
  EXPECT_EQ(show.code, 0u) << show.output;
  EXPECT_NE(show.output.find("  \"signed\": true,"), std::string::npos) << show.output;
  EXPECT_NE(show.output.find("\"signature\": {\"state\": \"signed\", \"digest\": \"SHA-256\"}"), std::string::npos)
      << show.output;
  EXPECT_NE(show.output.find("\"signed\": true}"), std::string::npos) << "the embedded add-in is signed\n"
                                                                      << show.output;
  EXPECT_FALSE(HasScratchFiles(folder_.path()));
  EXPECT_EQ(Bytes(folder_ / slotFile), addin) << "the maker's add-in is left unsigned";
  DWORD headerSum = 0;
  DWORD computedSum = 0;
  ASSERT_EQ(MapFileAndCheckSumW(out.c_str(), &headerSum, &computedSum), static_cast<DWORD>(CHECKSUM_SUCCESS));
  EXPECT_EQ(headerSum, computedSum);

  // Test mode with the stand-in host: the signed add-in reaches the host.
  const StandinHost host(logs_ / L"host.cfg", logs_ / L"host.jsonl");
  ASSERT_TRUE(host.registered());
  TempFolder temp;
  ChildOptions options;
  options.environment = {{L"TMP", temp.path()}, {L"TEMP", temp.path()}};
  ChildProcess launcher(out, L"-xlstest", options);
  ASSERT_TRUE(launcher.started());
  EXPECT_EQ(launcher.WaitForExit(60000), std::optional<DWORD>(0));
  const addin::AddinLog log = addin::ParseAddinLog(ReadFileBytes(addinLog).value_or(""));
  EXPECT_EQ(log.attaches.size(), 1u) << "the add-in made first contact";

  // One byte of the DOS stub's text changed after signing: the digest covers
  // it, so the build no longer reads "signed".
  std::vector<std::uint8_t> changed = Bytes(out);
  changed[0x50] ^= 0x20;
  const std::wstring changedPath = folder_ / L"Changed.exe";
  WriteFileBytes(changedPath, changed);
  const ToolRun changedShow = Tool(L"show \"" + changedPath + L"\"");
  EXPECT_EQ(changedShow.code, 1u) << changedShow.output;
  EXPECT_NE(changedShow.output.find("  signature         the signature does not match the file\n"), std::string::npos)
      << changedShow.output;
  EXPECT_NE(Verify(changedPath), 0) << "osslsigncode agrees";
}

TEST_F(ToolSigningTest, FailedSigningOfTheBuildLeavesNoOutput) {
  const std::string sign = std::string("sign = case {file} in *.dll) ") + kSignCommand +
                           " ;; *) echo cannot reach the signing service; exit 3 ;; esac\n";
  const std::wstring out = folder_ / L"Signed.exe";
  WriteText(out, "previous build");
  const ToolRun run = Build(Manifest(sign), out);
  EXPECT_EQ(run.code, 1u);
  EXPECT_EQ(run.output, "launcher-tool: signing the build " + Utf8FromWide(out) +
                            " failed: the sign command exited with 3: cannot reach the signing service\n");
  EXPECT_EQ(ReadFileBytes(out), std::optional<std::string>("previous build"));
  EXPECT_FALSE(HasScratchFiles(folder_.path()));

  const ToolRun failing = Build(Manifest("sign = false {file}\n"), out);
  EXPECT_EQ(failing.code, 1u);
  EXPECT_EQ(failing.output, "launcher-tool: signing the add-in " + Utf8FromWide(folder_ / L"stub.dll") +
                                " failed: the sign command exited with 1\n");
  EXPECT_EQ(ReadFileBytes(out), std::optional<std::string>("previous build"));

  const ToolRun unsigned_ = Build(Manifest("sign = true {file}\n"), out);
  EXPECT_EQ(unsigned_.code, 1u);
  EXPECT_EQ(unsigned_.output, "launcher-tool: the sign command left the add-in " + Utf8FromWide(folder_ / L"stub.dll") +
                                  " without a signature\n");
  EXPECT_EQ(ReadFileBytes(out), std::optional<std::string>("previous build"));
  EXPECT_FALSE(HasScratchFiles(folder_.path()));
}

TEST_F(ToolSigningTest, SignedBuildAsLauncherGivesAnUnsignedBuild) {
  const std::wstring first = folder_ / L"Signed.exe";
  ASSERT_EQ(Build(Manifest(std::string("sign = ") + kSignCommand + "\n"), first).code, 0u);
  const std::wstring second = folder_ / L"Again.exe";
  const ToolRun run = Build(Manifest("", L"plain.manifest"), second, L" --launcher \"" + first + L"\"");
  ASSERT_EQ(run.code, 0u) << run.output;
  const std::vector<std::uint8_t> bytes = Bytes(second);
  const pe::ImageResult image = pe::ParseImage(bytes);
  ASSERT_TRUE(image.image) << image.error;
  EXPECT_FALSE(pe::HasCertificateTable(bytes, *image.image));
  EXPECT_EQ(image.image->imageEnd, bytes.size());
  EXPECT_NE(Verify(second), 0);
}

// Two builds of one output at a time: the second stops at once, the first
// completes.
TEST_F(ToolSigningTest, SecondBuildOfTheSameOutputIsRefusedWhileTheFirstRuns) {
  const std::wstring out = folder_ / L"Budget.exe";
  const std::wstring slow = Manifest(std::string("sign = touch started.flag; sleep 3; ") + kSignCommand + "\n");
  ChildOptions options;
  options.outputFile = logs_ / L"first.log";
  ChildProcess first(WinePath(BRISK_LAUNCHER_TOOL_EXE), L"build \"" + slow + L"\" \"" + out + L"\"", options);
  ASSERT_TRUE(first.started());
  for (int i = 0; i < 300 && !PathExists(folder_ / L"started.flag"); ++i) Sleep(100);
  ASSERT_TRUE(PathExists(folder_ / L"started.flag")) << "the first build did not reach its sign command";

  const ToolRun second = Build(Manifest("", L"plain.manifest"), folder_ / L"BUDGET.EXE");
  EXPECT_EQ(second.code, 1u);
  EXPECT_EQ(second.output, "launcher-tool: another build is writing " + Utf8FromWide(folder_ / L"BUDGET.EXE") +
                               "; try again when it has finished\n");
  EXPECT_EQ(first.WaitForExit(60000), std::optional<DWORD>(0)) << ReadFileBytes(options.outputFile).value_or("");
  EXPECT_EQ(Verify(out), 0);
  EXPECT_FALSE(HasScratchFiles(folder_.path()));
}

// A build killed while its sign command runs leaves its scratch files; the
// next build of the same output removes them (names compared without case,
// as the file system does), and nothing else.
TEST_F(ToolSigningTest, KilledBuildsScratchFilesGoWithTheNextBuild) {
  const std::wstring out = folder_ / L"Budget.exe";
  // The sign command becomes a sleep that the test ends by its id.
  const std::wstring slow = Manifest("sign = echo $$ >sign.pid; : {file}; touch started.flag; exec sleep 60\n");
  ChildOptions options;
  options.outputFile = logs_ / L"killed.log";
  {
    ChildProcess killed(WinePath(BRISK_LAUNCHER_TOOL_EXE), L"build \"" + slow + L"\" \"" + out + L"\"", options);
    ASSERT_TRUE(killed.started());
    for (int i = 0; i < 300 && !PathExists(folder_ / L"started.flag"); ++i) Sleep(100);
    ASSERT_TRUE(PathExists(folder_ / L"started.flag"));
    EXPECT_TRUE(killed.End());
  }
  EXPECT_EQ(Shell("kill $(cat sign.pid)"), 0);
  EXPECT_TRUE(HasScratchFiles(folder_.path())) << "a killed build cannot remove its files";
  WriteText(folder_ / L"Budget.exe.~build-1-0.tmp.signed", "not the builder's");
  const ToolRun next = Build(Manifest("", L"plain.manifest"), folder_ / L"BUDGET.EXE");
  EXPECT_EQ(next.code, 0u) << next.output;
  std::vector<std::wstring> left;
  for (const std::wstring& entry : ListTree(folder_.path())) {
    if (entry.find(L".~") != std::wstring::npos) left.push_back(entry);
  }
  EXPECT_EQ(left, std::vector<std::wstring>{L"Budget.exe.~build-1-0.tmp.signed"});
}

}  // namespace
}  // namespace brisk::test

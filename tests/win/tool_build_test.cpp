// launcher-tool build and a build made with it, under Wine.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "base/wide_text.h"
#include "payload/build_settings.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"
#include "tests/support/files.h"
#include "tests/support/process_windows.h"
#include "tests/support/processes.h"

namespace brisk::test {
namespace {

constexpr DWORD kWait = 30000;

void WriteText(const std::wstring& path, const std::string& text) {
  WriteFileBytes(path, text);
}

class ToolBuildTest : public testing::Test {
 protected:
  ToolBuildTest() {
    WriteText(folder_ / L"book.bin", "WORKBOOK");
    WriteText(folder_ / L"auxbook.bin", "AUXILIARY");
    WriteText(folder_ / L"stub.dll", std::string(100, 'D'));
  }

  DWORD RunTool(const std::wstring& manifest, const std::wstring& out) {
    ChildProcess tool(WinePath(BRISK_LAUNCHER_TOOL_EXE), L"build \"" + manifest + L"\" \"" + out + L"\"");
    const auto code = tool.WaitForExit(kWait);
    EXPECT_TRUE(code.has_value());
    return code.value_or(99);
  }

  TempFolder folder_;
};

TEST_F(ToolBuildTest, BuildCarriesTheSettingsRecord) {
  WriteText(folder_ / L"app.manifest",
            "name = Budget\nversion = 2.1.0\nworkbook = book.bin\naux-workbook = auxbook.bin\naddin32 = stub.dll\n");
  const std::wstring out = folder_ / L"Budget.exe";
  ASSERT_EQ(RunTool(folder_ / L"app.manifest", out), 0u);

  HMODULE build = LoadLibraryExW(out.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(build, nullptr);
  const std::u16string type = GetEncodedStringW(kPayloadResourceType);
  HRSRC found = FindResourceW(build, MAKEINTRESOURCEW(kBuildSettingsResource),
                              reinterpret_cast<const wchar_t*>(type.c_str()));
  ASSERT_NE(found, nullptr);
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(build, found)));
  PayloadBuffer record(bytes, bytes + SizeofResource(build, found));
  FreeLibrary(build);
  BuildSettings settings;
  ParseBuildSettings(record, settings);
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

}  // namespace
}  // namespace brisk::test

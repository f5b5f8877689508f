// Starts real copies of the launcher under Wine and answers them as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/wide_text.h"
#include "core/temp_cleanup_win.h"
#include "core/working_folder_win.h"
#include "core/working_folder.h"
#include "payload/build_settings.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"
#include "resource_writer_win.h"
#include "tests/support/files.h"
#include "tests/support/process_windows.h"
#include "tests/support/processes.h"

namespace brisk::test {
namespace {

constexpr DWORD kWindowWait = 30000;
constexpr DWORD kExitWait = 30000;
constexpr int kMessageBoxTextId = 0xFFFF;

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

// A current-layout settings record with an application name, packed.
std::vector<std::uint8_t> PackedSettingsRecord(std::uint32_t magic, std::uint32_t flags) {
  SettingsRecordInput input;
  input.appName = u"Tool";
  input.appVersion = 0x01020300;
  input.flags = flags;
  input.magic = magic;
  const SettingsRecordResult written = WriteBuildSettingsRecord(input);
  EXPECT_EQ(written.error, "");
  const PayloadBuffer& record = written.record;
  PayloadBuffer packed;
  EXPECT_TRUE(PackContainer(record.data(), record.size(), packed));
  return packed;
}

// A message table resource with one text, packed.
std::vector<std::uint8_t> PackedMessageTable(std::uint32_t slot, const std::string& text) {
  std::vector<std::uint8_t> table(20, 0);
  PutU32(table, 0, 12);
  PutU32(table, 4, 1);
  PutU32(table, 12, slot);
  PutU32(table, 16, static_cast<std::uint32_t>(text.size()));
  table.insert(table.end(), text.begin(), text.end());
  PayloadBuffer packed;
  EXPECT_TRUE(PackContainer(table.data(), table.size(), packed));
  return packed;
}

// A copy of the built launcher, to which a test adds payload resources.
std::wstring MakeLauncherCopy(const TempFolder& folder, const std::wstring& name) {
  const std::wstring copy = folder / name;
  CopyFileW(WinePath(BRISK_LAUNCHER_EXE).c_str(), copy.c_str(), FALSE);
  return copy;
}

// Runs the launcher until it shows its warning box; returns caption and
// text, presses OK and checks that the process then exits with 0.
struct WarningBox {
  std::wstring caption;
  std::wstring text;
};

WarningBox AnswerSingleWarning(const std::wstring& exe, const std::wstring& arguments,
                               const ChildOptions& options = {}) {
  ChildProcess launcher(exe, arguments, options);
  EXPECT_TRUE(launcher.started());
  HWND box = WaitForDialog(launcher.id(), kWindowWait);
  EXPECT_NE(box, nullptr) << "no warning box appeared";
  if (!box) return {};
  WarningBox seen{WindowText(box), ItemText(box, kMessageBoxTextId)};
  PressButton(box, IDOK);
  EXPECT_EQ(launcher.WaitForExit(kExitWait), std::optional<DWORD>(0));
  return seen;
}

TEST(LauncherStartTest, WrongMagicShowsOneWarningWithLocalisedCaption) {
  TempFolder folder;
  const std::wstring exe = MakeLauncherCopy(folder, L"Tool.exe");
  ASSERT_TRUE(WritePayloadResources(exe, {{kBuildSettingsResource, PackedSettingsRecord(0x12345678, 0)},
                                          {kMessageTableResource, PackedMessageTable(7,
                                                                                     "Achtung \xE2\x80\x93 Pr\xC3\xBC"
                                                                                     "fung")}}));

  const WarningBox box = AnswerSingleWarning(exe, L"");
  EXPECT_EQ(box.caption,
            L"Achtung \x2013 Pr\x00FC"
            L"fung");
  EXPECT_EQ(box.text, WideFromUtf8(GetEncodedStringA(kSettingsMagicWrong)));
  EXPECT_FALSE(box.text.empty());
}

// The events of a launch log, without their times.
std::vector<std::string> LogEvents(const std::string& log) {
  std::vector<std::string> events;
  std::size_t start = log.find('\n');  // after the header line
  while (start != std::string::npos && start + 1 < log.size()) {
    const std::size_t end = log.find('\n', start + 1);
    const std::string line = log.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    const std::size_t time = line.find_first_not_of(' ');
    const std::size_t event = line.find(' ', time);
    if (event != std::string::npos) events.push_back(line.substr(event + 1));
    start = end;
  }
  return events;
}

TEST(LauncherStartTest, LaunchLogTellsWhyTheLaunchEnded) {
  TempFolder folder;
  const std::wstring exe = MakeLauncherCopy(folder, L"Tool.exe");
  ASSERT_TRUE(WritePayloadResources(exe, {{kBuildSettingsResource, PackedSettingsRecord(0x12345678, 0)}}));
  const std::wstring logFile = folder / L"launch.log";
  ChildOptions withLog;
  withLog.environment = {{L"BRISK_LAUNCH_LOG", logFile}};
  AnswerSingleWarning(exe, L"", withLog);
  AnswerSingleWarning(exe, L"");

  const std::string log = ReadFileBytes(logFile).value_or("");
  EXPECT_EQ(log.rfind("launch of ", 0), 0u) << log;
  const std::vector<std::string> events = LogEvents(log);
  ASSERT_GE(events.size(), 4u) << log;
  EXPECT_EQ(events[0], "start");
  EXPECT_EQ(events[1], "sweep");
  EXPECT_EQ(events[2].rfind("settings: flags 0x", 0), 0u);
  EXPECT_EQ(events[events.size() - 3], "end: notice: " + GetEncodedStringA(kSettingsMagicWrong));
  EXPECT_EQ(events[events.size() - 2], "host closed");
  EXPECT_EQ(events.back(), "files removed");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), static_cast<long>(events.size()) + 1)
      << "one launch appended; the one without the variable wrote nothing";
}

TEST(LauncherStartTest, MissingSettingsRecordShowsBuiltInCaption) {
  TempFolder folder;
  const std::wstring exe = MakeLauncherCopy(folder, L"Bare.exe");
  const WarningBox box = AnswerSingleWarning(exe, L"");
  EXPECT_EQ(box.caption, ToWide(GetEncodedStringW(kWarningTitleDefault)));
  EXPECT_EQ(box.text, WideFromUtf8(GetEncodedStringA(kSettingsMagicWrong)));
}

TEST(LauncherStartTest, CleanupOptionWithoutValueLaunchesNormally) {
  TempFolder folder;
  const std::wstring exe = MakeLauncherCopy(folder, L"Tool.exe");
  ASSERT_TRUE(WritePayloadResources(exe, {{kBuildSettingsResource, PackedSettingsRecord(0, 0)}}));
  const WarningBox box = AnswerSingleWarning(exe, L"-clnx");
  EXPECT_EQ(box.text, WideFromUtf8(GetEncodedStringA(kSettingsMagicWrong)));
}

TEST(LauncherStartTest, CleanupModeDeletesFilesAndFolderAndExitsOne) {
  TempFolder folder;
  const std::wstring exe = MakeLauncherCopy(folder, L"Tool.exe");
  // A wrong magic: a normal launch would show a box, so none may appear.
  ASSERT_TRUE(WritePayloadResources(exe, {{kBuildSettingsResource, PackedSettingsRecord(0, 0)}}));
  // A working folder of the temporary root, marked as a launch's.
  wchar_t name[16];
  swprintf(name, 16, L"zl%06x", static_cast<unsigned>(GetCurrentProcessId() & 0xFFFFFF));
  const std::wstring work = TempRoot() + L"\\" + name;
  ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
  ASSERT_TRUE(WriteFolderMarker(work, FolderMarker{StampOfProcess(GetCurrentProcess()), {}}));
  const std::wstring workbook = work + L"\\Tool.xlsx";
  const std::wstring addin = work + L"\\briskstub.dll";
  ASSERT_TRUE(WriteFileBytes(workbook, {1, 2, 3}));
  ASSERT_TRUE(WriteFileBytes(addin, {4, 5, 6}));

  ChildProcess launcher(exe, L"-CLNX \"" + workbook + L"\" -clnd \"" + addin + L"\"");
  ASSERT_TRUE(launcher.started()) << "error " << launcher.startError();
  std::optional<DWORD> exitCode;
  bool windowSeen = false;
  for (int i = 0; i < 600 && !exitCode; ++i) {
    windowSeen = windowSeen || VisibleWindowOf(launcher.id()) != nullptr;
    exitCode = launcher.WaitForExit(50);
  }
  EXPECT_EQ(exitCode, std::optional<DWORD>(1));
  EXPECT_FALSE(windowSeen);
  EXPECT_FALSE(PathExists(workbook));
  EXPECT_FALSE(PathExists(addin));
  EXPECT_FALSE(PathExists(work));
}

TEST(LauncherStartTest, CleanupModeRefusesFilesOutsideTheWorkingFolders) {
  TempFolder folder;
  const std::wstring exe = MakeLauncherCopy(folder, L"Tool.exe");
  const std::wstring keep = folder / L"keep.xlsx";
  const std::wstring addin = folder / L"briskstub.dll";
  ASSERT_TRUE(WriteFileBytes(keep, {1}));
  ASSERT_TRUE(WriteFileBytes(addin, {2}));

  ChildProcess launcher(exe, L"-clnx \"" + keep + L"\" -clnd \"" + addin + L"\"");
  EXPECT_EQ(launcher.WaitForExit(kExitWait), std::optional<DWORD>(1));
  EXPECT_TRUE(PathExists(addin));
  EXPECT_TRUE(PathExists(keep));
}

}  // namespace
}  // namespace brisk::test

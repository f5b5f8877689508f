// Starts that reach the hand-over: the normal start with its splash, test
// mode and the hexadecimal option.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include <iostream>

#include "e2e_fixture.h"
#include "payload/encoded_strings.h"
#include "working_folders.h"

namespace brisk::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The splash must stay up for its 5 s; it is first seen a little after it
// appears, so a margin is left.
constexpr ULONGLONG kSplashShortestSeenMs = 4000;

std::string ApplicationTitle() { return GetEncodedStringA(kApplicationTitle); }

// The host calls of a completed launch with host version 16, up to the
// release of control, with the last visibility given.
std::vector<std::string> CompletedHostCalls(const std::vector<std::string>& finalVisibility) {
  std::vector<std::string> calls = {"application.558 put false", "application.392 get",
                                    "application.1798 get",      "application.291 get",
                                    "application.1801 get",      "language_settings.1 get",
                                    "application.572 get",       "workbooks.682 method",
                                    "application.1950 get",      "application.139 put " + ApplicationTitle(),
                                    "application.558 put false", "application.1209 get"};
  calls.insert(calls.end(), finalVisibility.begin(), finalVisibility.end());
  calls.push_back("application.1210 put true");
  calls.push_back("application.2788 put 1");
  return calls;
}

class StartTest : public E2eTest {
 protected:
  // The working folder after a completed default-mode launch: the add-in
  // and the workbook stay for a later clean-up run, with the marker that
  // names the launcher and the host; the command-line file and the
  // auxiliary workbook are gone.
  void ExpectWorkingFolderKept(const LauncherRun& run, const addin::AddinLog& log, const std::wstring& workbookName) {
    const std::wstring folder = WorkingFolderName(scenario_, log);
    ASSERT_FALSE(folder.empty());
    EXPECT_THAT(scenario_.TempTree(), ElementsAre(folder + L"\\", folder + L"\\" + workbookName,
                                                  folder + L"\\" + MarkerName(), folder + L"\\briskstub.dll"));
    EXPECT_EQ(ReadFileBytes(scenario_.tempFolder() + L"\\" + folder + L"\\" + workbookName),
              scenario_.workbookContent());
    const std::optional<FolderMarker> marker = ReadWorkingFolderMarker(scenario_, folder);
    ASSERT_TRUE(marker.has_value()) << "the working folder carries no valid marker";
    EXPECT_EQ(marker->launcher.id, run.id());
    EXPECT_NE(marker->launcher.startTime, 0u);
    const std::vector<DWORD> hosts = scenario_.HostProcesses();
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_EQ(marker->host.id, hosts.front()) << "the marker does not name the host";
    EXPECT_EQ(marker->host, StampOfProcessId(hosts.front()));
  }

  HWND OnlyHostWindow() {
    const std::vector<DWORD> hosts = scenario_.HostProcesses();
    EXPECT_EQ(hosts.size(), 1u);
    return hosts.empty() ? nullptr : scenario_.HostMainWindow(hosts.front());
  }
};

TEST_F(StartTest, NormalStartShowsTheSplashAndLeavesTheHostVisible) {
  scenario_.SetAddin({});
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"");
  ASSERT_TRUE(run->started());
  EXPECT_NE(run->WaitForSplash(), nullptr);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->SeenDialogs(), IsEmpty());
  const std::optional<SeenWindow> splash = run->SeenSplash();
  ASSERT_TRUE(splash.has_value());
  EXPECT_GE(splash->lastSeen - splash->firstSeen, kSplashShortestSeenMs) << "the splash closed before its 5 s";

  const addin::AddinLog log = scenario_.AddinLog();
  addin::HandoverExpectation expect = CompletedHandover(run->id());
  expect.visibleAtEnd = true;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsx"), IsEmpty());
  ASSERT_EQ(log.signals.size(), 2u);
  EXPECT_EQ(log.signals[0].event, "ready");
  EXPECT_EQ(log.signals[0].state, "signalled");
  EXPECT_EQ(log.signals[1].state, "missing") << "no close event outside external storage mode";

  const HostCallLog host = scenario_.HostLog();
  EXPECT_THAT(host.faults(), IsEmpty());
  EXPECT_EQ(host.CallSummary(), CompletedHostCalls({"application.558 put true"}));
  ASSERT_EQ(host.Events("released").size(), 1u);
  EXPECT_EQ(json::Member<bool>(host.Events("released").front()->line, "user_control"), std::optional<bool>(true));

  HWND hostWindow = OnlyHostWindow();
  ASSERT_NE(hostWindow, nullptr);
  EXPECT_TRUE(IsWindowVisible(hostWindow));
  EXPECT_EQ(Utf8(WindowText(hostWindow)), ApplicationTitle());
  EXPECT_EQ(reinterpret_cast<std::uint64_t>(hostWindow), log.messages.front().window);
  ExpectWorkingFolderKept(*run, log, L"Sample.xlsx");
  // The executable's icon reached the host window before the hand-over;
  // seen only where the system carries icons to another process.
  if (IconsReachOtherProcesses(scenario_, hostWindow)) {
    expect.iconBeforeHandover = true;
    EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  } else {
    std::cerr << "note: this system carries no WM_SETICON to another process; the host's icon is not checked\n";
  }
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

TEST_F(StartTest, TestModeShowsNothingAndKeepsTheHostInvisible) {
  scenario_.SetAddin({});
  scenario_.SetHost({});
  BuildSetup build;
  build.licence = true;  // not shown in test mode
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"-XlsTest");
  ASSERT_TRUE(run->started());
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->seen(), IsEmpty()) << "no licence, no splash and no dialog in test mode";

  const addin::AddinLog log = scenario_.AddinLog();
  addin::HandoverExpectation expect = CompletedHandover(run->id());
  expect.visibleAtEnd = false;
  expect.iconBeforeHandover = false;  // test mode takes no icon from the executable
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsx"), IsEmpty());

  const HostCallLog host = scenario_.HostLog();
  EXPECT_EQ(host.CallSummary(), CompletedHostCalls({"application.558 put false"}));
  HWND hostWindow = OnlyHostWindow();
  ASSERT_NE(hostWindow, nullptr);
  EXPECT_FALSE(IsWindowVisible(hostWindow));
  EXPECT_EQ(Utf8(WindowText(hostWindow)), ApplicationTitle());
  ExpectWorkingFolderKept(*run, log, L"Sample.xlsx");
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

TEST_F(StartTest, HexadecimalOptionSkipsLicenceAndSplashAndSilencesTheHost) {
  scenario_.SetAddin({});
  scenario_.SetHost({});
  BuildSetup build;
  build.licence = true;
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"-bopt=1A2b");
  ASSERT_TRUE(run->started());
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->seen(), IsEmpty()) << "neither licence nor splash with the hexadecimal option";

  const addin::AddinLog log = scenario_.AddinLog();
  addin::HandoverExpectation expect = CompletedHandover(run->id());
  expect.optionValue = 0x1A2B;
  expect.visibleAtEnd = false;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsx"), IsEmpty());

  const HostCallLog host = scenario_.HostLog();
  EXPECT_EQ(host.CallSummary(), CompletedHostCalls({"application.343 put false", "application.558 put false"}));
  HWND hostWindow = OnlyHostWindow();
  ASSERT_NE(hostWindow, nullptr);
  EXPECT_FALSE(IsWindowVisible(hostWindow));
  ExpectWorkingFolderKept(*run, log, L"Sample.xlsx");
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

struct OptionCase {
  const char* name;
  std::wstring arguments;
  std::int32_t optionValue;  // 0: counts as absent
  // Failure messages name the case instead of dumping its bytes.
  friend void PrintTo(const OptionCase& c, std::ostream* out) { *out << c.name; }
};

class HexadecimalOptionTest : public StartTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(HexadecimalOptionTest, ReachesTheAddinAsWritten) {
  const OptionCase& c = GetParam();
  scenario_.SetAddin({});
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(c.arguments);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  const addin::AddinLog log = scenario_.AddinLog();
  addin::HandoverExpectation expect = CompletedHandover(run->id());
  expect.optionValue = c.optionValue;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  EXPECT_EQ(scenario_.HostLog().BoolPuts(343), c.optionValue != 0 ? std::vector<bool>{false} : std::vector<bool>{})
      << "the host's alerts go off with the option only";
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

INSTANTIATE_TEST_SUITE_P(Values, HexadecimalOptionTest,
                         ::testing::Values(OptionCase{"UpperCasePrefixAnd0x", L"-xlstest -BOPT=0x1f", 0x1F},
                                           OptionCase{"Negative", L"-xlstest -bopt=-10", -0x10},
                                           OptionCase{"SaturatesAtTheSigned32BitLimit", L"-xlstest -bopt=80000000",
                                                      0x7FFFFFFF},
                                           OptionCase{"NoDigitsCountsAsAbsent", L"-xlstest -bopt=xyz", 0},
                                           OptionCase{"ZeroCountsAsAbsent", L"-xlstest -bopt=0", 0}),
                         [](const ::testing::TestParamInfo<OptionCase>& info) { return std::string(info.param.name); });

TEST_F(StartTest, ExecutableNameAndEveryArgumentReachTheAddin) {
  // The workbook takes the executable's stem, in its own case, even when the
  // suffix is written in capitals.
  scenario_.SetExeName(L"Plan \u00DCber 2.EXE");
  scenario_.SetAddin({});
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest \"two words\" caf\u00E9 -unknown -p");
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->seen(), IsEmpty());
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_THAT(addin::CheckHandover(log, CompletedHandover(run->id())), IsEmpty());
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Plan \u00DCber 2.xlsx"), IsEmpty());
  ExpectWorkingFolderKept(*run, log, L"Plan \u00DCber 2.xlsx");
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

TEST_F(StartTest, CleanupRunRemovesWhatANormalStartLeft) {
  scenario_.SetAddin({});
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build({}), "");
  auto run = scenario_.Start(L"-xlstest");
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  const addin::AddinLog log = scenario_.AddinLog();
  ASSERT_THAT(log.commandFiles, ::testing::SizeIs(1));
  const std::wstring workbook = Wide(log.commandFiles.front().workbookPath);
  const std::wstring addinFile = Wide(log.attaches.front().module);
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
  ASSERT_TRUE(PathExists(workbook));
  ASSERT_TRUE(PathExists(addinFile));

  auto cleanup = scenario_.Start(L"-clnx \"" + workbook + L"\" -clnd \"" + addinFile + L"\"");
  EXPECT_EQ(cleanup->WaitForExit(), std::optional<DWORD>(1));
  EXPECT_THAT(cleanup->seen(), IsEmpty());
  EXPECT_THAT(scenario_.TempTree(), IsEmpty());
  EXPECT_THAT(scenario_.HostProcesses(), ::testing::SizeIs(1)) << "the clean-up run started a host";
}

TEST_F(StartTest, CleanupRunActsOnlyInsideMarkedWorkingFolders) {
  scenario_.SetAddin({});
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build({}), "");
  const std::wstring temp = scenario_.tempFolder();
  const std::string marker = FormatFolderMarker({StampOfProcessId(GetCurrentProcessId()), {}});
  ASSERT_TRUE(LayOutFolder(scenario_, L"qunmarkd", std::nullopt));
  ASSERT_TRUE(LayOutFolder(scenario_, L"qbadmark", std::string("brisk working folder 1\n")));
  ASSERT_TRUE(LayOutFolder(scenario_, L"Not-a-run", marker));
  ASSERT_TRUE(LayOutFolder(scenario_, L"qmarked1", marker));
  ASSERT_TRUE(CreateDirectoryW((temp + L"\\qmarked1\\inner").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(temp + L"\\qmarked1\\inner\\keep.txt", "kept\n"));
  ASSERT_TRUE(WriteFileBytes(temp + L"\\loose.txt", "kept\n"));
  ASSERT_TRUE(WriteFileBytes(scenario_.Path(L"outside.txt"), "kept\n"));
  const std::vector<std::wstring> laidOut = scenario_.TempTree();

  // Each refused without a word: the temporary root itself, a folder without
  // a valid marker, a marked folder whose name a launch never draws, a
  // folder inside a working folder, the marker, a file outside the root.
  const std::wstring refused[] = {
      temp + L"\\loose.txt",           temp + L"\\qunmarkd\\keep.txt",        temp + L"\\qbadmark\\keep.txt",
      temp + L"\\Not-a-run\\keep.txt", temp + L"\\qmarked1\\inner\\keep.txt", temp + L"\\qmarked1\\" + MarkerName(),
      scenario_.Path(L"outside.txt"),
  };
  for (const std::wstring& path : refused) {
    SCOPED_TRACE(Utf8(path));
    auto cleanup = scenario_.Start(L"-clnx \"" + path + L"\" -clnd \"" + path + L"\"");
    EXPECT_EQ(cleanup->WaitForExit(), std::optional<DWORD>(1));
    EXPECT_THAT(cleanup->seen(), IsEmpty());
  }
  EXPECT_EQ(scenario_.TempTree(), laidOut);
  EXPECT_TRUE(PathExists(scenario_.Path(L"outside.txt")));

  // Inside a marked working folder: -clnx removes its file alone; -clnd its
  // file and everything else but a folder, and the marker stays while the
  // folder still holds a folder.
  auto first = scenario_.Start(L"-clnx \"" + temp + L"\\qmarked1\\keep.txt\"");
  EXPECT_EQ(first->WaitForExit(), std::optional<DWORD>(1));
  EXPECT_FALSE(PathExists(temp + L"\\qmarked1\\keep.txt"));
  EXPECT_TRUE(PathExists(temp + L"\\qmarked1\\" + MarkerName()));
  ASSERT_TRUE(WriteFileBytes(temp + L"\\qmarked1\\Sample.xlsx", "workbook\n"));
  ASSERT_TRUE(WriteFileBytes(temp + L"\\qmarked1\\other.txt", "other\n"));
  auto second = scenario_.Start(L"-clnd \"" + temp + L"\\qmarked1\\Sample.xlsx\"");
  EXPECT_EQ(second->WaitForExit(), std::optional<DWORD>(1));
  EXPECT_FALSE(PathExists(temp + L"\\qmarked1\\Sample.xlsx"));
  EXPECT_FALSE(PathExists(temp + L"\\qmarked1\\other.txt"));
  EXPECT_TRUE(PathExists(temp + L"\\qmarked1\\" + MarkerName())) << "the marker went before the folder could";
  EXPECT_TRUE(PathExists(temp + L"\\qmarked1\\inner\\keep.txt"));
  EXPECT_THAT(scenario_.HostProcesses(), IsEmpty()) << "a clean-up run started a host";
}

}  // namespace
}  // namespace brisk::e2e

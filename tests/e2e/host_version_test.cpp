// The host's version: builds too old for their major version, a very old
// host, a new-format workbook on an old host, and the final visibility that
// depends on the version and the settings.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include "e2e_fixture.h"
#include "payload/encoded_strings.h"

namespace brisk::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

std::wstring EncodedText(int number) { return Wide(GetEncodedStringA(number)); }

std::wstring StandinFixture(const char* version) {
  return WinePath(std::string(BRISK_STANDIN_FIXTURES_DIR) + "/" + version);
}

class HostVersionTest : public E2eTest {
 protected:
  void ExpectHostQuitAndNothingLeft() {
    const HostCallLog host = scenario_.HostLog();
    EXPECT_THAT(host.Calls("application", 302), SizeIs(1)) << "the host was not asked to quit";
    EXPECT_TRUE(scenario_.WaitForHostsToExit()) << "the host is still running";
    EXPECT_THAT(scenario_.TempTree(), IsEmpty());
  }
};

struct GateCase {
  const char* name;
  std::string version;
  std::wstring installPath;
  int notice;  // 0: the gate passes
  // Failure messages name the case instead of dumping its bytes.
  friend void PrintTo(const GateCase& c, std::ostream* out) { *out << c.name; }
};

class HostBuildGateTest : public HostVersionTest, public ::testing::WithParamInterface<GateCase> {};

TEST_P(HostBuildGateTest, RefusesBuildsBelowTheMinimumOfTheirMajorVersion) {
  const GateCase& c = GetParam();
  scenario_.SetAddin({});
  scenario_.SetHost({c.version, c.installPath, {}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  ASSERT_TRUE(run->started());
  if (c.notice == 0) {
    EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
    EXPECT_THAT(run->seen(), IsEmpty());
    const addin::AddinLog log = scenario_.AddinLog();
    EXPECT_THAT(addin::CheckHandover(log, CompletedHandover(run->id())), IsEmpty());
    EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsx"), IsEmpty());
    EXPECT_TRUE(scenario_.CloseHostsAsUser());
    return;
  }
  const MessageBoxText box = AnswerMessageBox(*run);
  EXPECT_EQ(box.text, EncodedText(c.notice));
  EXPECT_EQ(box.caption, EncodedText(kWarningTitleDefault));
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));
  EXPECT_THAT(scenario_.HostLog().Calls("workbooks", 682), IsEmpty()) << "nothing may be opened in a refused host";
  EXPECT_THAT(scenario_.AddinLog().attaches, IsEmpty());
  ExpectHostQuitAndNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(
    Versions, HostBuildGateTest,
    ::testing::Values(GateCase{"Build11TooOld", "11.0", StandinFixture("11.0.8172.0"), kHostBuildTooOld11},
                      GateCase{"Build11Minimum", "11.0", StandinFixture("11.0.8173.0"), 0},
                      GateCase{"Build12TooOld", "12.0", StandinFixture("12.0.6606.0"), kHostBuildTooOld12},
                      GateCase{"Build13AlwaysPasses", "13.0", StandinFixture("13.0.1.0"), 0},
                      GateCase{"Build14TooOld", "14.0", WinePath(BRISK_E2E_FIXTURES_DIR "/14.0.7014.0"),
                               kHostBuildTooOld14},
                      GateCase{"Build15TooOld", "15.0", StandinFixture("15.0.4568.0"), kHostBuildTooOld15}),
    [](const ::testing::TestParamInfo<GateCase>& info) { return std::string(info.param.name); });

TEST_F(HostVersionTest, VeryOldHostIsRefusedAfterTheSplashCloses) {
  scenario_.SetAddin({});
  scenario_.SetHost({"9.0", {}, {}});
  BuildSetup build;
  build.flags = {"version-checks"};
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"");
  HWND box = run->WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(run->WaitUntil([&] { return !run->SplashShown(); }, kDialogMs)) << "the splash stays over the box";
  const MessageBoxText seen = ReadMessageBox(box);
  EXPECT_EQ(seen.text, EncodedText(kHostTooOldWarning));
  EXPECT_EQ(seen.caption, EncodedText(kWarningTitleDefault));
  EXPECT_EQ(seen.owner, nullptr);
  PressButton(box, IDOK);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));

  const HostCallLog host = scenario_.HostLog();
  EXPECT_THAT(host.Calls("workbooks", 277), SizeIs(1)) << "the host's workbooks were not closed";
  EXPECT_THAT(host.Calls("workbooks", 682), IsEmpty());
  ExpectHostQuitAndNothingLeft();
}

struct FormatCase {
  const char* name;
  char format;
  bool refused;
  std::wstring workbookName;
  // Failure messages name the case instead of dumping its bytes.
  friend void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.name; }
};

class NewFormatTest : public HostVersionTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(NewFormatTest, OnHost11WithVersionChecks) {
  const FormatCase& c = GetParam();
  scenario_.SetAddin({});
  scenario_.SetHost({"11.0", StandinFixture("11.0.8173.0"), {}});
  BuildSetup build;
  build.flags = {"version-checks"};
  build.format = c.format;
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"-xlstest");
  ASSERT_TRUE(run->started());
  addin::HandoverExpectation expect = CompletedHandover(run->id());
  if (!c.refused) {
    EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
    EXPECT_THAT(run->seen(), IsEmpty());
    const addin::AddinLog log = scenario_.AddinLog();
    EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
    EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, c.workbookName), IsEmpty());
    EXPECT_TRUE(scenario_.CloseHostsAsUser());
    return;
  }
  HWND box = run->WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  const MessageBoxText seen = ReadMessageBox(box);
  const addin::AddinLog during = scenario_.AddinLog();
  ASSERT_FALSE(during.messages.empty());
  EXPECT_EQ(seen.text, EncodedText(kNewFormatNeedsHost12));
  EXPECT_EQ(seen.caption, L"Error");
  EXPECT_EQ(reinterpret_cast<std::uint64_t>(seen.owner), during.messages.front().window)
      << "the error box belongs over the host window";
  PressButton(box, IDOK);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));

  const addin::AddinLog log = scenario_.AddinLog();
  expect.completed = false;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, c.workbookName), IsEmpty());
  const HostCallLog host = scenario_.HostLog();
  EXPECT_THAT(host.Calls("workbooks", 277), Not(IsEmpty())) << "the host's workbooks were not closed";
  ExpectHostQuitAndNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(Formats, NewFormatTest,
                         ::testing::Values(FormatCase{"Format4", '4', true, L"Sample.xlsx"},
                                           FormatCase{"Format2", '2', true, L"Sample.xlsb"},
                                           FormatCase{"OtherFormat", '1', false, L"Sample.xls"}),
                         [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST_F(HostVersionTest, AbortedLaunchEndsTheHostWithWmQuitOnItsWindow) {
  // A host that stays after Quit, and after its last reference goes (the
  // user has control by then): only WM_QUIT on its window ends it.
  scenario_.SetAddin({});
  scenario_.SetHost({"11.0", StandinFixture("11.0.8173.0"), {"quit_on_quit=0"}});
  BuildSetup build;
  build.flags = {"version-checks"};
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"-xlstest");
  HWND box = run->WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ReadMessageBox(box).text, EncodedText(kNewFormatNeedsHost12));
  PressButton(box, IDOK);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));

  const addin::AddinLog log = scenario_.AddinLog();
  addin::HandoverExpectation expect = CompletedHandover(run->id());
  expect.completed = false;
  expect.quitPosted = true;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  const HostCallLog host = scenario_.HostLog();
  EXPECT_THAT(host.Calls("application", 302), SizeIs(2)) << "the host outlived each Quit";
  ASSERT_THAT(host.Events("exit"), SizeIs(1));
  EXPECT_EQ(json::Member<std::int64_t>(host.Events("exit").front()->line, "quit_code"), std::optional<std::int64_t>(0));
  EXPECT_TRUE(scenario_.WaitForHostsToExit()) << "the host is still running";
  EXPECT_THAT(scenario_.TempTree(), IsEmpty());
}

struct VisibilityCase {
  const char* name;
  std::string version;
  std::vector<std::string> flags;
  std::vector<bool> visibilityPuts;
  // Failure messages name the case instead of dumping its bytes.
  friend void PrintTo(const VisibilityCase& c, std::ostream* out) { *out << c.name; }
};

class FinalVisibilityTest : public HostVersionTest, public ::testing::WithParamInterface<VisibilityCase> {};

TEST_P(FinalVisibilityTest, AfterANormalStart) {
  const VisibilityCase& c = GetParam();
  scenario_.SetAddin({});
  scenario_.SetHost({c.version, {}, {}});
  BuildSetup build;
  build.flags = c.flags;
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"");
  EXPECT_NE(run->WaitForSplash(), nullptr);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->SeenDialogs(), IsEmpty());

  const addin::AddinLog log = scenario_.AddinLog();
  addin::HandoverExpectation expect = CompletedHandover(run->id());
  expect.visibleAtEnd = false;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  const HostCallLog host = scenario_.HostLog();
  EXPECT_EQ(host.BoolPuts(558), c.visibilityPuts);
  EXPECT_THAT(host.BoolPuts(1210), ElementsAre(true));
  EXPECT_THAT(host.IntPuts(2788), ElementsAre(1));
  const std::vector<DWORD> hosts = scenario_.HostProcesses();
  ASSERT_THAT(hosts, SizeIs(1));
  HWND window = scenario_.HostMainWindow(hosts.front());
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, FinalVisibilityTest,
    ::testing::Values(VisibilityCase{"Host15KeepsItsVisibility", "15.0", {}, {false, false}},
                      VisibilityCase{"HostInvisibleBit", "16.0", {"host-invisible"}, {false, false, false}}),
    [](const ::testing::TestParamInfo<VisibilityCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brisk::e2e

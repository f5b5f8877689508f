// External storage mode: the storage file next to the build, and the end of
// the wait, by the close event or by the end of the host, that lets the
// launcher remove its files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include <functional>

#include "e2e_fixture.h"
#include "payload/build_settings.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "storage_file.h"
#include "working_folders.h"

namespace brisk::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

constexpr char kStoredWorkbook[] = "workbook saved by the add-in\n";
constexpr char16_t kStoredName[] = u"Stored Planner";
constexpr char16_t kStoredPassword[] = u"kept-7";
// After its release of the host, a launcher that is to wait shows it by
// still running after this pause.
constexpr DWORD kStillWaitingMs = 1000;
// The launcher tries again for up to 5 s to delete an add-in that the host
// still holds; it has tried for at least this long when it gives up.
constexpr ULONGLONG kShortestDeleteRetriesMs = 3000;
// How long the launcher waits for the host to end after the close event
// before it removes the files.
constexpr ULONGLONG kHostEndWaitMs = 10000;

// A storage file whose record differs from the build's in name, password
// and workbook format, and whose workbook is packed; the record's flags and
// validity magic as given.
StorageFileParts StoredParts(std::uint32_t flags = kFlagExternalStorage, std::uint32_t magic = kSettingsMagic) {
  SettingsRecordInput input;
  input.appName = kStoredName;
  input.appVersion = 0x01020400;
  input.flags = flags;
  input.password = kStoredPassword;
  input.workbookFormat = '2';
  input.magic = magic;
  const SettingsRecordResult record = WriteBuildSettingsRecord(input);
  EXPECT_EQ(record.error, "");
  StorageFileParts parts;
  parts.part1 = "state of the add-in";
  parts.settings = record.record;
  const PayloadBuffer workbook = MarkedWorkbook(kStoredWorkbook);
  EXPECT_TRUE(PackContainer(workbook.data(), workbook.size(), parts.workbook));
  parts.part4 = {1, 2, 3};
  return parts;
}

std::string Bytes(const PayloadBuffer& buffer) { return std::string(buffer.begin(), buffer.end()); }

std::wstring CloseEventName(const LauncherRun& run) { return L"Local\\BriskClose_" + std::to_wstring(run.id()); }

class StorageTest : public E2eTest {
 protected:
  std::wstring StorageFile() const { return scenario_.appFolder() + L"\\Sample.qstg"; }

  // Registers the host and makes a build in external storage mode; the
  // add-in gives no close signal unless told (the test gives it, or the user
  // closes the host). Empty on success, else what went wrong.
  std::string PrepareExternalBuild(AddinSetup addin = WithoutCloseSignal(), std::vector<std::string> hostLines = {}) {
    scenario_.SetAddin(addin);
    scenario_.SetHost({"16.0", {}, std::move(hostLines)});
    BuildSetup build;
    build.flags = {"external-storage"};
    return scenario_.Build(build);
  }

  static AddinSetup WithoutCloseSignal() {
    AddinSetup addin;
    addin.close = "never";
    return addin;
  }

  addin::HandoverExpectation ExternalHandover(const LauncherRun& run) const {
    addin::HandoverExpectation expect = CompletedHandover(run.id());
    expect.externalStorage = true;
    return expect;
  }

  bool Released() const { return !scenario_.HostLog().Events("released").empty(); }

  // After the close event the launcher waits a bounded time for the host to
  // end; the add-in stays loaded in the living host, so after trying for a
  // few seconds more the launcher leaves it, with the marker, for a later
  // start's sweep, and ends. `closed` is when the close event came.
  void ExpectAddinLeftWhileTheHostHoldsIt(LauncherRun& run, const std::wstring& folder, ULONGLONG closed) {
    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
    const ULONGLONG took = GetTickCount64() - closed;
    EXPECT_GE(took, kHostEndWaitMs + kShortestDeleteRetriesMs)
        << "the launcher did not wait for the host, or gave up on the add-in at once";
    EXPECT_LE(took, kHostEndWaitMs + kHostExitMs) << "the launcher waited for the host without a bound";
    EXPECT_THAT(scenario_.TempTree(),
                ElementsAre(folder + L"\\", folder + L"\\" + MarkerName(), folder + L"\\briskstub.dll"));
    EXPECT_THAT(scenario_.HostProcesses(), SizeIs(1));
    for (DWORD host : scenario_.HostProcesses()) EXPECT_FALSE(WaitForProcessExit(host, 0)) << "the host was to live on";
  }

  // The user closes the application: the launcher's wait ends with the
  // host, and it removes every file of the launch.
  void ExpectFilesRemovedOnceTheUserClosesTheHost(LauncherRun& run) {
    EXPECT_TRUE(scenario_.CloseHostsAsUser());
    EXPECT_EQ(run.WaitForExit(kHostExitMs), std::optional<DWORD>(0)) << "the launcher outlived the host";
    EXPECT_THAT(scenario_.TempTree(), IsEmpty());
  }
};

TEST_F(StorageTest, ValidStorageFileSuppliesSettingsAndWorkbook) {
  ASSERT_EQ(PrepareExternalBuild(), "");
  ASSERT_TRUE(WriteFileBytes(StorageFile(), Bytes(MakeStorageFile(StoredParts()))));

  auto run = scenario_.Start(L"-xlstest");
  // The stored record asks for its password, under its own name.
  HWND prompt = run->WaitForDialog();
  ASSERT_NE(prompt, nullptr) << "the stored settings' password was not asked for";
  EXPECT_EQ(WindowText(prompt), Wide(GetEncodedStringA(kApplicationTitle)) + L" " +
                                    std::wstring(std::begin(kStoredName), std::end(kStoredName) - 1));
  HWND field = FindChild(prompt, L"Edit");
  ASSERT_NE(field, nullptr);
  TypeInto(field, std::wstring(std::begin(kStoredPassword), std::end(kStoredPassword) - 1));
  PressButton(prompt, IDOK);

  ASSERT_TRUE(run->WaitUntil([&] { return Released(); }, kLaunchMs));
  EXPECT_FALSE(run->WaitForExit(kStillWaitingMs).has_value()) << "the launcher did not wait for the close event";
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_THAT(addin::CheckHandover(log, ExternalHandover(*run)), IsEmpty());
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsb"), IsEmpty());
  ASSERT_THAT(log.commandFiles, SizeIs(1));
  EXPECT_EQ(ReadFileBytes(Wide(log.commandFiles.front().workbookPath)), std::optional<std::string>(kStoredWorkbook));

  // The user closes the application without a close signal.
  ExpectFilesRemovedOnceTheUserClosesTheHost(*run);
  EXPECT_TRUE(PathExists(StorageFile())) << "the launcher only reads the storage file";
}

struct InvalidCase {
  const char* name;
  std::function<PayloadBuffer()> file;
  // Failure messages name the case instead of dumping its bytes.
  friend void PrintTo(const InvalidCase& c, std::ostream* out) { *out << c.name; }
};

class InvalidStorageTest : public StorageTest, public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(InvalidStorageTest, IsIgnored) {
  ASSERT_EQ(PrepareExternalBuild(), "");
  ASSERT_TRUE(WriteFileBytes(StorageFile(), Bytes(GetParam().file())));

  auto run = scenario_.Start(L"-xlstest");
  ASSERT_TRUE(run->WaitUntil([&] { return Released(); }, kLaunchMs));
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsx"), IsEmpty());
  EXPECT_THAT(run->seen(), IsEmpty()) << "no password prompt: the build's own settings hold";
  EXPECT_THAT(addin::CheckHandover(log, ExternalHandover(*run)), IsEmpty());
  EXPECT_FALSE(run->WaitForExit(kStillWaitingMs).has_value()) << "the build's own external storage mode was lost";
  ExpectFilesRemovedOnceTheUserClosesTheHost(*run);
}

INSTANTIATE_TEST_SUITE_P(
    Files, InvalidStorageTest,
    ::testing::Values(InvalidCase{"OneByteTooLong",
                                  [] {
                                    PayloadBuffer file = MakeStorageFile(StoredParts());
                                    file.push_back(0);
                                    return file;
                                  }},
                      InvalidCase{"BoundToAnotherMagic",
                                  [] {
                                    StorageFileParts parts = StoredParts();
                                    parts.settingsMagic ^= 0x00010000;
                                    return MakeStorageFile(parts);
                                  }},
                      InvalidCase{"EmptySettingsPart",
                                  [] {
                                    StorageFileParts parts = StoredParts();
                                    parts.settings.clear();
                                    return MakeStorageFile(parts);
                                  }},
                      // Bound to the build, but settings that every later start
                      // would refuse, or that would end external storage mode.
                      InvalidCase{
                          "SettingsWithAnotherValidityMagic",
                          [] { return MakeStorageFile(StoredParts(kFlagExternalStorage, kSettingsMagic ^ 1)); }},
                      InvalidCase{"SettingsWithoutExternalStorage", [] { return MakeStorageFile(StoredParts(0)); }},
                      // Sound but for its workbook part, which does not unpack:
                      // taken, it would fail every later start as damaged.
                      InvalidCase{"WorkbookPartDoesNotUnpack",
                                  [] {
                                    StorageFileParts parts = StoredParts();
                                    parts.workbook.resize(parts.workbook.size() / 2);
                                    return MakeStorageFile(parts);
                                  }}),
    [](const ::testing::TestParamInfo<InvalidCase>& info) { return std::string(info.param.name); });

TEST_F(StorageTest, CloseEventDuringTheSplashTailEndsTheLaunchWithTheSplash) {
  // The add-in signals ready and close at the end of the hand-over.
  ASSERT_EQ(PrepareExternalBuild({}), "");

  auto run = scenario_.Start(L"");
  ASSERT_NE(run->WaitForSplash(), nullptr);
  ASSERT_TRUE(run->WaitUntil([&] { return scenario_.AddinLog().signals.size() == 2; }, kLaunchMs));
  EXPECT_TRUE(run->SplashShown()) << "the close event was to come during the splash tail";
  ASSERT_TRUE(run->WaitUntil([&] { return !run->SplashShown(); }, kLaunchMs)) << "the splash never closed";
  const ULONGLONG splashClosed = GetTickCount64();
  const std::wstring folder = WorkingFolderName(scenario_, scenario_.AddinLog());
  ASSERT_FALSE(folder.empty());
  ExpectAddinLeftWhileTheHostHoldsIt(*run, folder, splashClosed);
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_EQ(log.signals[1].event, "close");
  EXPECT_EQ(log.signals[1].state, "signalled");
  addin::HandoverExpectation expect = ExternalHandover(*run);
  expect.visibleAtEnd = true;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsx"), IsEmpty());
}

TEST_F(StorageTest, CloseEventAfterTheSplashTailEndsTheWait) {
  ASSERT_EQ(PrepareExternalBuild(), "");

  auto run = scenario_.Start(L"");
  ASSERT_NE(run->WaitForSplash(), nullptr);
  ASSERT_TRUE(run->WaitUntil([&] { return !run->SplashShown(); }, kLaunchMs)) << "the splash never closed";
  EXPECT_FALSE(run->WaitForExit(kStillWaitingMs).has_value()) << "the launcher did not wait for the close event";
  const addin::AddinLog log = scenario_.AddinLog();
  const std::wstring folder = WorkingFolderName(scenario_, log);
  ASSERT_FALSE(folder.empty());
  EXPECT_THAT(scenario_.TempTree(), ElementsAre(folder + L"\\", folder + L"\\Sample.xlsx",
                                                folder + L"\\" + MarkerName(), folder + L"\\briskstub.dll"));

  // The close signal while the application still runs.
  EXPECT_TRUE(SignalNamedEvent(CloseEventName(*run)));
  ExpectAddinLeftWhileTheHostHoldsIt(*run, folder, GetTickCount64());
  addin::HandoverExpectation expect = ExternalHandover(*run);
  expect.visibleAtEnd = true;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());

  // Once the user has closed the application, the next start sweeps what
  // was left.
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
  ExpectTheNextStartSweepsItAway();
}

// The close signal comes while the host still holds the add-in, and the host
// ends soon after: the launcher waits for it, then removes every file,
// instead of leaving the add-in to a later sweep.
TEST_F(StorageTest, HostThatEndsSoonAfterTheCloseSignalTakesEveryFileWithIt) {
  ASSERT_EQ(PrepareExternalBuild(), "");

  auto run = scenario_.Start(L"-xlstest");
  ASSERT_TRUE(run->WaitUntil([&] { return Released(); }, kLaunchMs));
  EXPECT_TRUE(SignalNamedEvent(CloseEventName(*run)));
  EXPECT_FALSE(run->WaitForExit(kStillWaitingMs).has_value()) << "the launcher did not wait for the host to end";
  ExpectFilesRemovedOnceTheUserClosesTheHost(*run);
}

TEST_F(StorageTest, AddinThatNeverSignalsEndsTheWaitWhenTheUserClosesTheHost) {
  AddinSetup addin = WithoutCloseSignal();
  addin.ready = "never";
  ASSERT_EQ(PrepareExternalBuild(addin), "");

  auto run = scenario_.Start(L"-xlstest");
  ASSERT_TRUE(run->WaitUntil([&] { return Released(); }, kLaunchMs));
  EXPECT_FALSE(run->WaitForExit(kStillWaitingMs).has_value()) << "the launcher did not wait for the close event";
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_THAT(addin::CheckHandover(log, ExternalHandover(*run)), IsEmpty());
  ASSERT_THAT(log.signals, SizeIs(2));
  EXPECT_EQ(log.signals[0].state, "skipped");
  EXPECT_EQ(log.signals[1].state, "skipped");
  ExpectFilesRemovedOnceTheUserClosesTheHost(*run);
}

struct AbortCase {
  const char* name;
  std::string failure;  // a line of the stand-in host's configuration
  // Failure messages name the case instead of dumping its bytes.
  friend void PrintTo(const AbortCase& c, std::ostream* out) { *out << c.name; }
};

class AbortedStorageTest : public StorageTest, public ::testing::WithParamInterface<AbortCase> {};

// A launch that ends early after the close event exists: no add-in will
// signal that event any more, so the launcher must not wait for it.
TEST_P(AbortedStorageTest, DoesNotWaitForTheCloseEvent) {
  ASSERT_EQ(PrepareExternalBuild({}, {GetParam().failure}), "");

  auto run = scenario_.Start(L"-xlstest");
  // Answered, the notice ends the launcher; no wait for a close event follows.
  const MessageBoxText notice = AnswerMessageBox(*run);
  EXPECT_THAT(notice.text, ::testing::StartsWith(Wide(GetEncodedStringA(kHostStoppedResponding))));
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));
  const addin::AddinLog log = scenario_.AddinLog();
  ASSERT_FALSE(log.events.empty());
  EXPECT_TRUE(log.events.front().closeExists);
  EXPECT_TRUE(scenario_.WaitForHostsToExit());
  EXPECT_THAT(scenario_.TempTree(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Failures, AbortedStorageTest,
                         ::testing::Values(AbortCase{"HostFailsAfterTheMessages",
                                                     "fail.1210=exception 5 No user control"},
                                           AbortCase{"HostDiesBetweenTheMessages", "fail.1209=crash"}),
                         [](const ::testing::TestParamInfo<AbortCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brisk::e2e

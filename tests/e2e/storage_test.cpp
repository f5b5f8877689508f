// External storage mode: the storage file next to the build, and the close
// event that lets the launcher remove its files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include <functional>

#include "e2e_fixture.h"
#include "payload/build_settings.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "storage_file.h"

namespace brisk::e2e {
namespace {

using ::testing::IsEmpty;
using ::testing::SizeIs;

constexpr char kStoredWorkbook[] = "workbook saved by the add-in\n";
constexpr char16_t kStoredName[] = u"Stored Planner";
constexpr char16_t kStoredPassword[] = u"kept-7";
// After its release of the host, a launcher that is to wait shows it by
// still running after this pause.
constexpr DWORD kStillWaitingMs = 1000;

// A storage file whose record differs from the build's in name, password
// and workbook format, and whose workbook is packed.
StorageFileParts StoredParts() {
  SettingsRecordInput input;
  input.appName = kStoredName;
  input.appVersion = 0x01020400;
  input.flags = 0x20000;
  input.password = kStoredPassword;
  input.workbookFormat = '2';
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

  BuildSetup ExternalBuild() const {
    BuildSetup build;
    build.flags = {"external-storage"};
    return build;
  }

  addin::HandoverExpectation ExternalHandover(const LauncherRun& run) const {
    addin::HandoverExpectation expect = CompletedHandover(run.id());
    expect.externalStorage = true;
    return expect;
  }

  bool Released() const { return !scenario_.HostLog().Events("released").empty(); }

  // After the close event the launcher removes the workbook at once; the
  // add-in stays loaded in the host, so its file goes, with the folder, only
  // once the user has closed the application.
  void ExpectFilesRemovedOnceTheHostLetsGo(LauncherRun& run) {
    ASSERT_TRUE(run.WaitUntil(
        [&] {
          const std::vector<std::wstring> tree = scenario_.TempTree();
          return tree.size() == 2 && tree[1].ends_with(L"\\briskstub.dll");
        },
        kLaunchMs))
        << "the workbook was not removed after the close event";
    EXPECT_TRUE(run.Running()) << "the launcher left the locked add-in behind";
    EXPECT_TRUE(scenario_.CloseHostsAsUser());
    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_THAT(scenario_.TempTree(), IsEmpty());
  }
};

TEST_F(StorageTest, ValidStorageFileSuppliesSettingsAndWorkbook) {
  AddinSetup addin;
  addin.close = "never";
  scenario_.SetAddin(addin);
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build(ExternalBuild()), "");
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

  // The user closes the application, then the add-in's side gives the
  // close signal.
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
  EXPECT_FALSE(run->WaitForExit(kStillWaitingMs).has_value()) << "the launcher did not wait for the close event";
  EXPECT_TRUE(SignalNamedEvent(CloseEventName(*run)));
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(scenario_.TempTree(), IsEmpty()) << "the files stay after the close event";
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
  scenario_.SetAddin({});
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build(ExternalBuild()), "");
  ASSERT_TRUE(WriteFileBytes(StorageFile(), Bytes(GetParam().file())));

  auto run = scenario_.Start(L"-xlstest");
  ASSERT_TRUE(run->WaitUntil([&] { return Released(); }, kLaunchMs));
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsx"), IsEmpty());
  EXPECT_THAT(run->seen(), IsEmpty()) << "no password prompt: the build's own settings hold";
  EXPECT_THAT(addin::CheckHandover(log, ExternalHandover(*run)), IsEmpty());
  ExpectFilesRemovedOnceTheHostLetsGo(*run);
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
                                  }}),
    [](const ::testing::TestParamInfo<InvalidCase>& info) { return std::string(info.param.name); });

TEST_F(StorageTest, CloseEventDuringTheSplashTailEndsTheLaunchWithTheSplash) {
  scenario_.SetAddin({});  // signals ready and close at the end of the hand-over
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build(ExternalBuild()), "");

  auto run = scenario_.Start(L"");
  ASSERT_NE(run->WaitForSplash(), nullptr);
  ASSERT_TRUE(run->WaitUntil([&] { return scenario_.AddinLog().signals.size() == 2; }, kLaunchMs));
  EXPECT_TRUE(run->SplashShown()) << "the close event was to come during the splash tail";
  ASSERT_TRUE(run->WaitUntil([&] { return !run->SplashShown(); }, kLaunchMs)) << "the splash never closed";
  ExpectFilesRemovedOnceTheHostLetsGo(*run);
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_EQ(log.signals[1].event, "close");
  EXPECT_EQ(log.signals[1].state, "signalled");
  addin::HandoverExpectation expect = ExternalHandover(*run);
  expect.visibleAtEnd = true;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsx"), IsEmpty());
}

TEST_F(StorageTest, CloseEventAfterTheSplashTailEndsTheWait) {
  AddinSetup addin;
  addin.close = "never";
  scenario_.SetAddin(addin);
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build(ExternalBuild()), "");

  auto run = scenario_.Start(L"");
  ASSERT_NE(run->WaitForSplash(), nullptr);
  ASSERT_TRUE(run->WaitUntil([&] { return !run->SplashShown(); }, kLaunchMs)) << "the splash never closed";
  EXPECT_FALSE(run->WaitForExit(kStillWaitingMs).has_value()) << "the launcher did not wait for the close event";
  const addin::AddinLog log = scenario_.AddinLog();
  const std::wstring folder = WorkingFolderName(scenario_, log);
  ASSERT_FALSE(folder.empty());
  EXPECT_THAT(scenario_.TempTree(), ::testing::ElementsAre(folder + L"\\", folder + L"\\Sample.xlsx",
                                                           folder + L"\\briskstub.dll"));

  EXPECT_TRUE(scenario_.CloseHostsAsUser());
  EXPECT_TRUE(SignalNamedEvent(CloseEventName(*run)));
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  addin::HandoverExpectation expect = ExternalHandover(*run);
  expect.visibleAtEnd = true;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  EXPECT_THAT(scenario_.TempTree(), IsEmpty());
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
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {GetParam().failure}});
  ASSERT_EQ(scenario_.Build(ExternalBuild()), "");

  auto run = scenario_.Start(L"-xlstest");
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0)) << "the launcher waits for a close event no one will give";
  EXPECT_THAT(run->seen(), IsEmpty());
  const addin::AddinLog log = scenario_.AddinLog();
  ASSERT_FALSE(log.events.empty());
  EXPECT_TRUE(log.events.front().closeExists);
  EXPECT_TRUE(scenario_.WaitForHostsToExit());
  EXPECT_THAT(scenario_.TempTree(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, AbortedStorageTest,
    ::testing::Values(AbortCase{"HostFailsAfterTheMessages", "fail.1210=exception 5 No user control"},
                      AbortCase{"HostDiesBetweenTheMessages", "fail.1209=crash"}),
    [](const ::testing::TestParamInfo<AbortCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brisk::e2e

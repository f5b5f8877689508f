// The launcher's working folders across launches: what a killed launch left
// is swept by a later start once its launcher and host have ended, links in
// a working folder are never followed, and a temporary folder whose name the
// ANSI code page cannot write still gives the host a path it can use.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "base/wide_text.h"
#include "e2e_fixture.h"
#include "payload/encoded_strings.h"
#include "working_folders.h"

namespace brisk::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

// Links a scenario made, removed as links when the scenario's body ends:
// the scenario's folder goes with a recursive removal, which under Wine
// would follow them.
class MadeLinks {
 public:
  MadeLinks() = default;
  ~MadeLinks() {
    for (const std::wstring& link : links_) test::RemoveLink(link);
  }
  MadeLinks(const MadeLinks&) = delete;
  MadeLinks& operator=(const MadeLinks&) = delete;

  bool Make(const std::wstring& link, const std::wstring& target) {
    links_.push_back(link);
    return test::MakeLink(link, target);
  }

 private:
  std::vector<std::wstring> links_;
};

// The long form of a path that exists; empty when it has none.
std::wstring LongPath(const std::wstring& path) {
  std::wstring longPath(32768, L'\0');
  const DWORD length = GetLongPathNameW(path.c_str(), longPath.data(), static_cast<DWORD>(longPath.size()));
  if (length == 0 || length >= longPath.size()) return {};
  longPath.resize(length);
  return longPath;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

class WorkingFolderTest : public E2eTest {
 protected:
  bool Released() const { return !scenario_.HostLog().Events("released").empty(); }

  // A launch in external storage mode whose add-in never gives the close
  // signal: it waits with its files in place until the host ends. Returns
  // its working folder's name, empty when the launch did not get there.
  std::wstring StartWaitingLaunch(std::unique_ptr<LauncherRun>& run) {
    AddinSetup addin;
    addin.close = "never";
    scenario_.SetAddin(addin);
    scenario_.SetHost({});
    BuildSetup build;
    build.flags = {"external-storage"};
    if (!scenario_.Build(build).empty()) return {};
    run = scenario_.Start(L"-xlstest");
    if (!run->WaitUntil([&] { return Released(); }, kLaunchMs)) return {};
    return WorkingFolderName(scenario_, scenario_.AddinLog());
  }

  // A start that finds no host: it sweeps the temporary folder, tells the
  // user and ends.
  void StartWithoutAHost() {
    scenario_.UnregisterHost();
    auto run = scenario_.Start(L"-xlstest");
    EXPECT_EQ(AnswerMessageBox(*run).text, Wide(GetEncodedStringA(kHostNotCreated)));
  }

  std::wstring InTemp(const std::wstring& relative) const { return scenario_.tempFolder() + L"\\" + relative; }
};

TEST_F(WorkingFolderTest, KilledLaunchIsSweptOnceItsHostHasEnded) {
  std::unique_ptr<LauncherRun> killed;
  const std::wstring folder = StartWaitingLaunch(killed);
  ASSERT_FALSE(folder.empty());
  const std::optional<FolderMarker> marker = ReadWorkingFolderMarker(scenario_, folder);
  ASSERT_TRUE(marker.has_value());
  EXPECT_EQ(marker->launcher, StampOfProcessId(killed->id()));
  const std::vector<DWORD> hosts = scenario_.HostProcesses();
  ASSERT_THAT(hosts, SizeIs(1));
  EXPECT_EQ(marker->host, StampOfProcessId(hosts.front())) << "the marker does not name the host";
  ASSERT_TRUE(killed->Kill());

  // Folders no sweep may touch: one whose marker names a running process (this
  // test), ones without a valid marker, one whose name a launch never draws.
  const std::string ended = FormatFolderMarker({marker->launcher, {}});
  ASSERT_TRUE(LayOutFolder(scenario_, L"qliverun", FormatFolderMarker({StampOfProcessId(GetCurrentProcessId()), {}})));
  ASSERT_TRUE(LayOutFolder(scenario_, L"qunmarkd", std::nullopt));
  ASSERT_TRUE(LayOutFolder(scenario_, L"qbadmark", std::string("brisk working folder 1\nlauncher 1 2\n")));
  ASSERT_TRUE(LayOutFolder(scenario_, L"Ended-run", ended));
  std::vector<std::wstring> untouched = scenario_.TempTree();
  std::erase_if(untouched, [&](const std::wstring& entry) { return entry.starts_with(folder + L"\\"); });
  // A folder of an ended launch without a host goes at the next start.
  ASSERT_TRUE(LayOutFolder(scenario_, L"qendedrn", ended));

  StartWithoutAHost();
  EXPECT_FALSE(PathExists(InTemp(L"qendedrn"))) << "the folder of an ended launch was not swept";
  EXPECT_TRUE(PathExists(InTemp(folder + L"\\briskstub.dll"))) << "the folder of a launch whose host lives was swept";
  EXPECT_TRUE(PathExists(InTemp(folder + L"\\Sample.xlsx"))) << "the folder of a launch whose host lives was swept";

  EXPECT_TRUE(scenario_.CloseHostsAsUser());
  StartWithoutAHost();
  EXPECT_FALSE(PathExists(InTemp(folder))) << "the folder of the killed launch was not swept";
  EXPECT_EQ(scenario_.TempTree(), untouched);
}

TEST_F(WorkingFolderTest, LinksToFilesOutsideTheTemporaryRootAreNeverFollowed) {
  const std::wstring outside = scenario_.Path(L"outside");
  ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(outside + L"\\letter.txt", "precious letter\n"));
  ASSERT_TRUE(WriteFileBytes(outside + L"\\notes.txt", "precious notes\n"));
  const auto expectOutsideKept = [&](const char* after) {
    EXPECT_EQ(ReadFileBytes(outside + L"\\letter.txt"), std::optional<std::string>("precious letter\n")) << after;
    EXPECT_EQ(ReadFileBytes(outside + L"\\notes.txt"), std::optional<std::string>("precious notes\n")) << after;
  };

  std::unique_ptr<LauncherRun> run;
  const std::wstring folder = StartWaitingLaunch(run);
  ASSERT_FALSE(folder.empty());
  const std::wstring work = InTemp(folder);
  MadeLinks links;
  ASSERT_TRUE(links.Make(work + L"\\documents", outside));
  ASSERT_TRUE(links.Make(work + L"\\Notes.xlsx", outside + L"\\notes.txt"));
  ASSERT_TRUE(PathExists(work + L"\\documents\\letter.txt"));

  // The clean-up mode, through the folder link and on the file link.
  auto through =
      scenario_.Start(L"-clnx \"" + work + L"\\documents\\letter.txt\" -clnd \"" + work + L"\\documents\\notes.txt\"");
  EXPECT_EQ(through->WaitForExit(), std::optional<DWORD>(1));
  auto onLink = scenario_.Start(L"-clnx \"" + work + L"\\Notes.xlsx\"");
  EXPECT_EQ(onLink->WaitForExit(), std::optional<DWORD>(1));
  expectOutsideKept("the clean-up mode");

  // The end of the launch, once the user has closed the application.
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
  EXPECT_EQ(run->WaitForExit(kHostExitMs), std::optional<DWORD>(0));
  EXPECT_FALSE(PathExists(work + L"\\Sample.xlsx"));
  EXPECT_FALSE(PathExists(work + L"\\briskstub.dll"));
  expectOutsideKept("the end of the launch");

  // The sweep of the next start.
  StartWithoutAHost();
  expectOutsideKept("the sweep");
  // Where the system opens a link as a link (Windows) the link itself goes,
  // and the folder with it; where it cannot (Wine follows Unix links) the
  // links stay, and so does the marker that keeps the folder recognisable.
  const std::vector<std::wstring> left = ListTree(work);
  if (PathExists(work)) {
    EXPECT_TRUE(PathExists(work + L"\\" + MarkerName())) << "the marker went while links were left";
  }
  EXPECT_FALSE(std::any_of(left.begin(), left.end(), [](const std::wstring& entry) {
    return entry == L"Sample.xlsx" || entry == L"briskstub.dll";
  }));
}

TEST_F(WorkingFolderTest, TemporaryFolderOutsideTheAnsiCodePageStillStartsTheApplication) {
  scenario_.UseTempFolder(L"tmp-\u65E5\u672C");
  scenario_.SetAddin({});
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->seen(), IsEmpty()) << "the start was to go through without a word";
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_THAT(addin::CheckHandover(log, CompletedHandover(run->id())), IsEmpty());

  // The add-in was told of the workbook by its long path, in a working
  // folder of the temporary folder.
  ASSERT_THAT(log.commandFiles, SizeIs(1));
  const addin::CommandFileRecord& file = log.commandFiles.front();
  EXPECT_TRUE(file.found);
  EXPECT_TRUE(file.workbookExists);
  const std::wstring workbook = Wide(file.workbookPath);
  const std::wstring prefix = scenario_.tempFolder() + L"\\";
  ASSERT_TRUE(EqualNoCase(workbook.substr(0, prefix.size()), prefix)) << file.workbookPath;
  const std::wstring folder = workbook.substr(prefix.size(), workbook.find(L'\\', prefix.size()) - prefix.size());
  EXPECT_EQ(workbook, prefix + folder + L"\\Sample.xlsx");
  EXPECT_EQ(ReadFileBytes(workbook), scenario_.workbookContent());

  // The host was given the auxiliary workbook by a path that an 8-bit call
  // can take: the folder's short form where its name does not fit.
  const HostCallLog host = scenario_.HostLog();
  const std::vector<const HostRecord*> opens = host.Calls("workbooks", 682);
  ASSERT_THAT(opens, SizeIs(1));
  const std::wstring opened = Wide(FirstArgumentText(*opens.front()));
  EXPECT_TRUE(RoundTripsThroughAnsi(opened)) << "the host cannot use " << Utf8(opened);
  EXPECT_TRUE(EqualNoCase(LongPath(FolderOf(opened)), prefix + folder)) << Utf8(opened);
  ASSERT_THAT(log.attaches, SizeIs(1));
  EXPECT_TRUE(EqualNoCase(LongPath(Wide(log.attaches.front().module)), prefix + folder + L"\\briskstub.dll"))
      << log.attaches.front().module;

  EXPECT_THAT(scenario_.TempTree(), ElementsAre(folder + L"\\", folder + L"\\Sample.xlsx",
                                                folder + L"\\" + MarkerName(), folder + L"\\briskstub.dll"));
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

}  // namespace
}  // namespace brisk::e2e

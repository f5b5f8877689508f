// The clean-up on the real file system: working folders and their markers,
// files in use, read-only files, links, other spellings of the temporary
// root, and the sweep of folders that earlier launches left.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "base/unique_handle.h"
#include "base/unique_process.h"
#include "base/wide_text.h"
#include "core/temp_cleanup_win.h"
#include "core/working_folder_win.h"
#include "core/working_folder.h"
#include "tests/support/files.h"
#include "tests/support/processes.h"

namespace brisk::test {
namespace {

const wchar_t kMarker[] = L"briskrun.mark";

ProcessStamp ThisProcess() { return StampOfProcess(GetCurrentProcess()); }

// The stamp of a process that has ended: a short child of the test's own.
ProcessStamp EndedProcess() {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  ChildProcess child(std::wstring(system) + L"\\cmd.exe", L"/c exit");
  const ProcessStamp stamp = StampOfProcess(child.handle());
  child.WaitForExit(10000);
  return stamp;
}

// A working folder in the real temporary root, with a name a launch could
// draw and a marker; removed with what is left in it.
class WorkingFolder {
 public:
  explicit WorkingFolder(const FolderMarker& marker = {ThisProcess(), {}}, bool withMarker = true) {
    static int counter = 0;
    wchar_t name[16];
    swprintf(name, 16, L"zw%04x%02x", static_cast<unsigned>(GetCurrentProcessId() & 0xFFFF),
             static_cast<unsigned>(++counter & 0xFF));
    name_ = name;
    path_ = TempRoot() + L"\\" + name_;
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
    if (withMarker) WriteFolderMarker(path_, marker);
  }
  ~WorkingFolder() { RemoveTree(path_); }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring name_;
  std::wstring path_;
};

TEST(CleanupWinTest, FileInUseFreedDuringRetriesIsRemovedAndTheFolderGoes) {
  WorkingFolder work;
  const std::wstring addin = work / L"briskstub.dll";
  ASSERT_TRUE(WriteFileBytes(addin, {1, 2, 3}));
  ASSERT_TRUE(WriteFileBytes(work / L"q7xk2mzt.xls", {4}));

  // Held open without delete sharing, as a host that still has the library loaded.
  UniqueFileHandle lock(CreateFileW(addin.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock);
  WindowsCleanupFileSystem fileSystem;
  ASSERT_EQ(fileSystem.RemoveEntry(ToU16(work.path()), u"briskstub.dll"), RemoveResult::kInUse);

  std::thread unlock([&lock] {
    Sleep(300);
    lock.reset();
  });
  CleanupTempFiles(u"", ToU16(addin), fileSystem, CleanupRetry{200, 20});
  unlock.join();
  EXPECT_FALSE(PathExists(addin));
  EXPECT_FALSE(PathExists(work.path())) << "the leftover workbook and the marker went too";
}

TEST(CleanupWinTest, ReadOnlyFileIsMadeWritableAndRemovedAtOnce) {
  WorkingFolder work;
  const std::wstring workbook = work / L"Tool.xlsx";
  ASSERT_TRUE(WriteFileBytes(workbook, {1}));
  ASSERT_TRUE(SetFileAttributesW(workbook.c_str(), FILE_ATTRIBUTE_READONLY));
  WindowsCleanupFileSystem fileSystem;
  CleanupTempFiles(ToU16(workbook), u"", fileSystem, CleanupRetry{1, 0});
  EXPECT_FALSE(PathExists(workbook));
}

TEST(CleanupWinTest, RefusesFilesOutsideAWorkingFolderWhateverTheSpelling) {
  WorkingFolder unmarked(FolderMarker{}, false);
  TempFolder elsewhere;
  const std::wstring root = TempRoot();
  const std::wstring inRoot = root + L"\\brisk-cleanup-root-test.dll";
  ASSERT_TRUE(WriteFileBytes(inRoot, {1}));
  ASSERT_TRUE(WriteFileBytes(unmarked / L"briskstub.dll", {1}));
  ASSERT_TRUE(WriteFileBytes(elsewhere / L"x.txt", {1}));
  const std::wstring rootName = root.substr(root.rfind(L'\\') + 1);
  const std::wstring spellings[] = {
      inRoot,
      root + L"\\.\\brisk-cleanup-root-test.dll",
      root + L"\\\\brisk-cleanup-root-test.dll",
      root + L"\\..\\" + rootName + L"\\brisk-cleanup-root-test.dll",
      root + L"/brisk-cleanup-root-test.dll",
      unmarked / L"briskstub.dll",
      elsewhere / L"x.txt",
      L"briskstub.dll",
  };
  for (const std::wstring& path : spellings) {
    SCOPED_TRACE(Utf8FromWide(path));
    CleanupTempFiles(path, path);
  }
  EXPECT_TRUE(PathExists(inRoot));
  EXPECT_TRUE(PathExists(unmarked / L"briskstub.dll"));
  EXPECT_TRUE(PathExists(elsewhere / L"x.txt"));
  EXPECT_TRUE(PathExists(root));
  DeleteFileW(inRoot.c_str());
}

TEST(CleanupWinTest, OtherSpellingsOfAWorkingFolderReachIt) {
  WorkingFolder work;
  ASSERT_TRUE(WriteFileBytes(work / L"briskstub.dll", {1}));
  const std::wstring root = TempRoot();
  const std::wstring name = work.path().substr(root.size() + 1);
  CleanupTempFiles(std::wstring(), root + L"\\.\\" + name + L"\\\\briskstub.dll");
  EXPECT_FALSE(PathExists(work.path()));
}

TEST(CleanupWinTest, LinksAreNeverFollowed) {
  TempFolder outside;
  const std::wstring keptFile = outside / L"keep.txt";
  const std::wstring keptFolder = outside / L"documents";
  ASSERT_TRUE(CreateDirectoryW(keptFolder.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(keptFolder + L"\\letter.txt", {1}));
  ASSERT_TRUE(WriteFileBytes(keptFile, {2}));
  {
    WorkingFolder work;
    ASSERT_TRUE(WriteFileBytes(work / L"briskstub.dll", {1}));
    ASSERT_TRUE(MakeLink(work / L"documents", keptFolder));
    ASSERT_TRUE(MakeLink(work / L"Tool.xlsx", keptFile));
    ASSERT_TRUE(PathExists(work / L"documents\\letter.txt"));

    // A path through the link, then the end of a launch and the sweep.
    CleanupTempFiles(work / L"documents\\letter.txt", work / L"documents\\letter.txt");
    CleanupTempFiles(work / L"Tool.xlsx", work / L"briskstub.dll");
    WindowsCleanupFileSystem fileSystem;
    RemoveWorkingFolder(ToU16(work.path()), {u"Tool.xlsx", u"documents"}, fileSystem, CleanupRetry{1, 0});
    WriteFolderMarker(work.path(), FolderMarker{EndedProcess(), {}});
    SweepStaleWorkingFolders(fileSystem);

    EXPECT_TRUE(PathExists(keptFolder + L"\\letter.txt"));
    EXPECT_TRUE(PathExists(keptFile));
    EXPECT_FALSE(PathExists(work / L"briskstub.dll"));
    // Where the system opens a link as a link (Windows), the link itself
    // goes; where it cannot (Wine follows Unix links), the link stays and so
    // does the folder. Either way its target is untouched.
    RemoveLink(work / L"documents");
    RemoveLink(work / L"Tool.xlsx");
  }
  EXPECT_TRUE(PathExists(keptFolder + L"\\letter.txt"));
  EXPECT_TRUE(PathExists(keptFile));
}

// The marker is rewritten once the host is known. A rewrite that cannot be
// made (here its scratch name is taken by a folder) leaves the marker as it
// was; one that can replaces it whole and leaves no scratch file.
TEST(CleanupWinTest, MarkerRewriteReplacesTheMarkerWholeOrNotAtAll) {
  WorkingFolder work;
  WindowsCleanupFileSystem fileSystem;
  const auto before = fileSystem.ReadMarker(ToU16(work.path()));
  ASSERT_TRUE(before.has_value());
  const FolderMarker withHost{ThisProcess(), EndedProcess()};

  ASSERT_TRUE(CreateDirectoryW((work / L"briskrun.mark~").c_str(), nullptr));
  EXPECT_FALSE(WriteFolderMarker(work.path(), withHost));
  EXPECT_EQ(fileSystem.ReadMarker(ToU16(work.path())), before);
  ASSERT_TRUE(RemoveDirectoryW((work / L"briskrun.mark~").c_str()));

  EXPECT_TRUE(WriteFolderMarker(work.path(), withHost));
  EXPECT_EQ(fileSystem.ReadMarker(ToU16(work.path())), FormatFolderMarker(withHost));
  EXPECT_FALSE(PathExists(work / L"briskrun.mark~"));
}

TEST(CleanupWinTest, SweepRemovesOnlyFoldersOfEndedLaunches) {
  const ProcessStamp ended = EndedProcess();
  ASSERT_TRUE(ended.Known());
  WorkingFolder stale(FolderMarker{ended, {}});
  WorkingFolder staleWithHost(FolderMarker{ended, EndedProcess()});
  WorkingFolder live(FolderMarker{ThisProcess(), {}});
  WorkingFolder liveHost(FolderMarker{ended, ThisProcess()});
  WorkingFolder reusedId(FolderMarker{{ThisProcess().id, ThisProcess().startTime + 1}, {}});
  WorkingFolder unmarked(FolderMarker{}, false);
  for (const WorkingFolder* folder : {&stale, &staleWithHost, &live, &liveHost, &reusedId, &unmarked}) {
    ASSERT_TRUE(WriteFileBytes(*folder / L"Tool.xlsx", {1}));
  }
  WindowsCleanupFileSystem fileSystem;
  SweepStaleWorkingFolders(fileSystem);
  EXPECT_FALSE(PathExists(stale.path()));
  EXPECT_FALSE(PathExists(staleWithHost.path()));
  EXPECT_FALSE(PathExists(reusedId.path())) << "an id now used by another process";
  EXPECT_TRUE(PathExists(live / L"Tool.xlsx"));
  EXPECT_TRUE(PathExists(liveHost / L"Tool.xlsx"));
  EXPECT_TRUE(PathExists(unmarked / L"Tool.xlsx"));
}

TEST(CleanupWinTest, MarkerIsReadBackAndNothingElseCounts) {
  WorkingFolder work(FolderMarker{{7, 8}, {9, 10}});
  WindowsCleanupFileSystem fileSystem;
  const auto text = fileSystem.ReadMarker(ToU16(work.path()));
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(ParseFolderMarker(*text), (FolderMarker{{7, 8}, {9, 10}}));
  ASSERT_TRUE(WriteFileBytes(work / kMarker, std::string(1000, 'x')));
  EXPECT_FALSE(fileSystem.ReadMarker(ToU16(work.path())).has_value()) << "a big file is no marker";
}

}  // namespace
}  // namespace brisk::test

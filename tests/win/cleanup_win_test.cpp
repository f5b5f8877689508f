// The clean-up on the real file system: locks, folders and the temporary root.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "core/temp_cleanup_win.h"
#include "base/wide_text.h"
#include "tests/support/files.h"

namespace brisk::test {
namespace {

TEST(CleanupWinTest, LockedFileFreedDuringRetriesIsRemoved) {
  TempFolder folder;
  const std::wstring work = folder / L"work";
  ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
  const std::wstring addin = work + L"\\briskstub.dll";
  ASSERT_TRUE(WriteFileBytes(addin, {1, 2, 3}));

  // Held open without delete sharing, as a host that still has the library loaded.
  HANDLE lock = CreateFileW(addin.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  WindowsCleanupFileSystem fileSystem;
  ASSERT_FALSE(fileSystem.RemoveFile(ToU16(addin))) << "the lock must make a removal fail";

  std::thread unlock([lock] {
    Sleep(300);
    CloseHandle(lock);
  });
  CleanupTempFiles(u"", ToU16(addin), fileSystem, CleanupRetry{200, 20});
  unlock.join();
  EXPECT_FALSE(PathExists(addin));
  EXPECT_FALSE(PathExists(work));
}

TEST(CleanupWinTest, FolderWithOtherFilesStays) {
  TempFolder folder;
  const std::wstring addin = folder / L"briskstub.dll";
  const std::wstring other = folder / L"other.txt";
  ASSERT_TRUE(WriteFileBytes(addin, {1}));
  ASSERT_TRUE(WriteFileBytes(other, {2}));
  CleanupTempFiles(std::wstring(), addin);
  EXPECT_FALSE(PathExists(addin));
  EXPECT_TRUE(PathExists(other));
  EXPECT_TRUE(PathExists(folder.path()));
}

TEST(CleanupWinTest, TemporaryRootIsNeverRemoved) {
  WindowsCleanupFileSystem fileSystem;
  const std::u16string root = fileSystem.TempRoot();
  ASSERT_FALSE(root.empty());
  ASSERT_EQ(root.back(), u'\\');
  const std::wstring file = ToWide(root) + L"brisk-cleanup-root-test.dll";
  ASSERT_TRUE(WriteFileBytes(file, {1}));
  CleanupTempFiles(std::wstring(), file);
  EXPECT_FALSE(PathExists(file));
  EXPECT_TRUE(PathExists(ToWide(root)));
}

}  // namespace
}  // namespace brisk::test

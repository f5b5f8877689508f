#include "core/temp_cleanup.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace brisk {
namespace {

// An in-memory file system: files may be locked for a number of removal
// attempts; folders are removable only when no file lies inside them.
class FakeFileSystem : public CleanupFileSystem {
 public:
  std::map<std::u16string, int> files;  // path -> failed removals still to come
  std::set<std::u16string> folders;     // with trailing backslash
  std::u16string tempRoot = u"C:\\Users\\u\\AppData\\Local\\Temp\\";
  std::vector<std::string> log;
  int pauses = 0;

  bool Exists(const std::u16string& path) override {
    return files.count(path) || folders.count(path) || folders.count(path + u"\\");
  }
  bool IsFile(const std::u16string& path) override { return files.count(path) > 0; }
  bool RemoveFile(const std::u16string& path) override {
    auto it = files.find(path);
    if (it == files.end()) return false;
    if (it->second > 0) {
      --it->second;
      return false;
    }
    files.erase(it);
    log.push_back("remove " + Narrow(path));
    return true;
  }
  bool RemoveFolder(const std::u16string& path) override {
    for (const auto& [file, locks] : files) {
      if (file.rfind(path, 0) == 0) return false;
    }
    if (!folders.erase(path)) return false;
    log.push_back("rmdir " + Narrow(path));
    return true;
  }
  void Pause(unsigned milliseconds) override {
    EXPECT_EQ(milliseconds, pauseExpected);
    ++pauses;
  }
  std::u16string TempRoot() override { return tempRoot; }

  unsigned pauseExpected = 200;

  static std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }
};

const std::u16string kFolder = u"C:\\Users\\u\\AppData\\Local\\Temp\\kq3m8pzx\\";

TEST(CleanupTest, RemovesBothFilesAndTheFolder) {
  FakeFileSystem fs;
  fs.folders.insert(kFolder);
  fs.files[kFolder + u"Tool.xlsx"] = 0;
  fs.files[kFolder + u"briskstub.dll"] = 0;
  CleanupTempFiles(kFolder + u"Tool.xlsx", kFolder + u"briskstub.dll", fs);
  EXPECT_EQ(fs.log, (std::vector<std::string>{
                        "remove " + FakeFileSystem::Narrow(kFolder) + "Tool.xlsx",
                        "remove " + FakeFileSystem::Narrow(kFolder) + "briskstub.dll",
                        "rmdir " + FakeFileSystem::Narrow(kFolder)}));
  EXPECT_EQ(fs.pauses, 0);
}

TEST(CleanupTest, LockedFileFreedDuringRetries) {
  FakeFileSystem fs;
  fs.folders.insert(kFolder);
  fs.files[kFolder + u"briskstub.dll"] = 3;
  CleanupTempFiles(u"", kFolder + u"briskstub.dll", fs);
  EXPECT_TRUE(fs.files.empty());
  EXPECT_EQ(fs.pauses, 3);
  EXPECT_TRUE(fs.folders.empty());
}

TEST(CleanupTest, FileLockedThroughEveryAttemptStays) {
  FakeFileSystem fs;
  fs.pauseExpected = 1;
  fs.folders.insert(kFolder);
  fs.files[kFolder + u"briskstub.dll"] = 1000000;
  CleanupTempFiles(u"", kFolder + u"briskstub.dll", fs, CleanupRetry{5, 1});
  EXPECT_EQ(fs.pauses, 5);
  EXPECT_EQ(fs.files.size(), 1u);
  EXPECT_EQ(fs.folders.size(), 1u) << "a folder that is not empty stays";
}

TEST(CleanupTest, DefaultRetriesAreAThousandPausesOf200ms) {
  FakeFileSystem fs;
  fs.files[kFolder + u"a.xlsx"] = 1000000;
  CleanupTempFiles(kFolder + u"a.xlsx", u"", fs);
  EXPECT_EQ(fs.pauses, 1000);
}

TEST(CleanupTest, TemporaryRootIsNeverRemoved) {
  FakeFileSystem fs;
  fs.folders.insert(fs.tempRoot);
  // The same root in other letter case.
  fs.files[u"c:\\users\\U\\appdata\\local\\temp\\briskstub.dll"] = 0;
  CleanupTempFiles(u"", u"c:\\users\\U\\appdata\\local\\temp\\briskstub.dll", fs);
  EXPECT_TRUE(fs.files.empty());
  EXPECT_EQ(fs.folders.count(fs.tempRoot), 1u);
}

TEST(CleanupTest, MissingFilesAndEmptyPathsAreSkipped) {
  FakeFileSystem fs;
  fs.folders.insert(kFolder);
  CleanupTempFiles(u"", u"", fs);
  CleanupTempFiles(kFolder + u"gone.xlsx", u"nofolder.dll", fs);
  EXPECT_EQ(fs.pauses, 0);
  EXPECT_EQ(fs.folders.size(), 1u);
  // With a folder path the folder of the second file goes, even if the file was gone.
  CleanupTempFiles(u"", kFolder + u"gone.dll", fs);
  EXPECT_TRUE(fs.folders.empty());
}

TEST(CleanupTest, FolderNamedAsAFileIsNotRetried) {
  FakeFileSystem fs;
  fs.folders.insert(kFolder + u"sub\\");
  CleanupTempFiles(kFolder + u"sub", u"", fs);
  EXPECT_EQ(fs.pauses, 0);
  EXPECT_EQ(fs.folders.size(), 1u);
}

TEST(FolderOfPathTest, SplitsLikeTheRuntime) {
  EXPECT_EQ(FolderOfPath(u"C:\\a\\b.dll"), u"C:\\a\\");
  EXPECT_EQ(FolderOfPath(u"C:/a/b.dll"), u"C:/a/");
  EXPECT_EQ(FolderOfPath(u"b.dll"), u"");
  EXPECT_EQ(FolderOfPath(u"C:b.dll"), u"C:");
  EXPECT_EQ(FolderOfPath(u"\\\\server\\share\\b.dll"), u"\\\\server\\share\\");
}

}  // namespace
}  // namespace brisk

#include "core/temp_cleanup.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/command_line.h"

namespace brisk {
namespace {

const std::u16string kRoot = u"C:\\Users\\u\\AppData\\Local\\Temp";
const std::u16string kMarkerName = u"briskrun.mark";

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// An in-memory file system: entries may be in use for a number of removal
// attempts or may be links; folders are removable only when empty.
class FakeFileSystem : public CleanupFileSystem {
 public:
  struct Entry {
    int busyAttempts = 0;  // removals that fail as "in use" before one succeeds
    bool link = false;     // a link whose target lies elsewhere: refused
    std::string content;
  };
  std::set<std::u16string> folders{kRoot};
  std::map<std::u16string, Entry> entries;  // full path -> entry
  std::set<std::uint32_t> runningProcesses;
  std::vector<std::string> log;
  int pauses = 0;
  unsigned pauseExpected = 200;

  void AddWorkingFolder(const std::u16string& name, const FolderMarker& marker = {{1, 10}, {}}) {
    folders.insert(kRoot + u"\\" + name);
    entries[kRoot + u"\\" + name + u"\\" + kMarkerName].content = FormatFolderMarker(marker);
  }

  std::optional<std::u16string> CanonicalPath(const std::u16string& path) override {
    if (path.size() < 3 || path[1] != u':') return kRoot + u"\\app\\" + path;  // relative to a current folder
    return path;
  }
  std::u16string TempRoot() override { return kRoot; }
  std::vector<std::u16string> SubfolderNames(const std::u16string& folder) override {
    std::vector<std::u16string> names;
    for (const auto& candidate : folders) {
      const PathParts parts = SplitPath(candidate);
      if (parts.folder == folder) names.push_back(parts.name);
    }
    return names;
  }
  std::vector<std::u16string> EntryNames(const std::u16string& folder) override {
    std::vector<std::u16string> names;
    for (const auto& [path, entry] : entries) {
      const PathParts parts = SplitPath(path);
      if (parts.folder == folder) names.push_back(parts.name);
    }
    return names;
  }
  std::u16string MarkerName() override { return kMarkerName; }
  std::optional<std::string> ReadMarker(const std::u16string& folder) override {
    const auto it = entries.find(folder + u"\\" + kMarkerName);
    if (it == entries.end()) return std::nullopt;
    return it->second.content;
  }
  RemoveResult RemoveEntry(const std::u16string& folder, const std::u16string& name) override {
    const auto it = entries.find(folder + u"\\" + name);
    if (it == entries.end())
      return folders.count(folder + u"\\" + name) ? RemoveResult::kRefused : RemoveResult::kAbsent;
    if (it->second.link) return RemoveResult::kRefused;
    if (it->second.busyAttempts > 0) {
      --it->second.busyAttempts;
      return RemoveResult::kInUse;
    }
    log.push_back("remove " + Narrow(name));
    entries.erase(it);
    return RemoveResult::kRemoved;
  }
  bool RemoveFolder(const std::u16string& folder) override {
    if (!EntryNames(folder).empty() || !SubfolderNames(folder).empty() || !folders.erase(folder)) return false;
    log.push_back("rmdir " + Narrow(SplitPath(folder).name));
    return true;
  }
  bool ProcessRunning(const ProcessStamp& process) override { return runningProcesses.count(process.id) > 0; }
  void Pause(unsigned milliseconds) override {
    EXPECT_EQ(milliseconds, pauseExpected);
    ++pauses;
  }
};

const std::u16string kName = u"kq3m8pzx";
const std::u16string kFolder = kRoot + u"\\" + kName;

TEST(CleanupTest, RemovesBothFilesTheRestAndTheMarkerLastThenTheFolder) {
  FakeFileSystem fs;
  fs.AddWorkingFolder(kName);
  fs.entries[kFolder + u"\\Tool.xlsx"];
  fs.entries[kFolder + u"\\briskstub.dll"];
  fs.entries[kFolder + u"\\q7xk2mzt.xls"];  // an auxiliary workbook the host held during the launch
  CleanupTempFiles(kFolder + u"\\Tool.xlsx", kFolder + u"\\briskstub.dll", fs);
  EXPECT_EQ(fs.log, (std::vector<std::string>{"remove Tool.xlsx", "remove briskstub.dll", "remove q7xk2mzt.xls",
                                              "remove briskrun.mark", "rmdir kq3m8pzx"}));
  EXPECT_EQ(fs.pauses, 0);
}

TEST(CleanupTest, FileInUseFreedDuringRetries) {
  FakeFileSystem fs;
  fs.AddWorkingFolder(kName);
  fs.entries[kFolder + u"\\briskstub.dll"].busyAttempts = 3;
  CleanupTempFiles(u"", kFolder + u"\\briskstub.dll", fs);
  EXPECT_EQ(fs.pauses, 3);
  EXPECT_TRUE(fs.entries.empty());
  EXPECT_EQ(fs.folders.count(kFolder), 0u);
}

TEST(CleanupTest, FileInUseThroughEveryAttemptStaysAndSoDoTheMarkerAndTheFolder) {
  FakeFileSystem fs;
  fs.pauseExpected = 1;
  fs.AddWorkingFolder(kName);
  fs.entries[kFolder + u"\\briskstub.dll"].busyAttempts = 1000000;
  CleanupTempFiles(u"", kFolder + u"\\briskstub.dll", fs, CleanupRetry{5, 1});
  EXPECT_EQ(fs.pauses, 4) << "no pause after the last attempt";
  EXPECT_EQ(fs.entries.count(kFolder + u"\\briskstub.dll"), 1u);
  EXPECT_EQ(fs.entries.count(kFolder + u"\\" + kMarkerName), 1u) << "the folder stays recognisable for a sweep";
  EXPECT_EQ(fs.folders.count(kFolder), 1u);
}

TEST(CleanupTest, DefaultRetriesAreAThousandAttempts200msApart) {
  FakeFileSystem fs;
  fs.AddWorkingFolder(kName);
  fs.entries[kFolder + u"\\a.xlsx"].busyAttempts = 1000000;
  CleanupTempFiles(kFolder + u"\\a.xlsx", u"", fs);
  EXPECT_EQ(fs.pauses, 999);
}

TEST(CleanupTest, RefusesWhatIsNotInAWorkingFolderOfTheTemporaryRoot) {
  struct Case {
    const char* what;
    std::u16string path;
  };
  const Case cases[] = {
      {"a file directly in the temporary root", kRoot + u"\\briskstub.dll"},
      {"a file elsewhere", u"C:\\Windows\\x.txt"},
      {"a relative name", u"x.txt"},
      {"a folder whose name no launch draws", kRoot + u"\\Budget\\x.txt"},
      {"a working folder without a marker", kRoot + u"\\ab3k9m2q\\x.txt"},
      {"a working folder whose marker is not one", kRoot + u"\\zz3k9m2q\\x.txt"},
      {"a file in a subfolder of a working folder", kFolder + u"\\sub\\x.txt"},
      {"the marker itself", kFolder + u"\\" + kMarkerName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeFileSystem fs;
    fs.AddWorkingFolder(kName);
    fs.folders.insert(kRoot + u"\\Budget");
    fs.folders.insert(kRoot + u"\\ab3k9m2q");
    fs.folders.insert(kRoot + u"\\zz3k9m2q");
    fs.folders.insert(kFolder + u"\\sub");
    fs.entries[kRoot + u"\\zz3k9m2q\\" + kMarkerName].content = "not a marker";
    fs.entries[c.path];
    const std::size_t before = fs.entries.size();
    CleanupTempFiles(c.path, c.path, fs);
    EXPECT_EQ(fs.entries.size(), before);
    EXPECT_TRUE(fs.log.empty());
    EXPECT_EQ(fs.folders.count(kRoot), 1u);
  }
}

TEST(CleanupTest, LinkInTheWorkingFolderIsLeftAndTheFolderWithIt) {
  FakeFileSystem fs;
  fs.AddWorkingFolder(kName);
  fs.entries[kFolder + u"\\briskstub.dll"];
  fs.entries[kFolder + u"\\documents"].link = true;
  CleanupTempFiles(u"", kFolder + u"\\briskstub.dll", fs);
  EXPECT_EQ(fs.log, (std::vector<std::string>{"remove briskstub.dll"}));
  EXPECT_EQ(fs.entries.count(kFolder + u"\\documents"), 1u);
  EXPECT_EQ(fs.folders.count(kFolder), 1u);
}

TEST(CleanupTest, EmptyPathsAndMissingFilesCostNoPause) {
  FakeFileSystem fs;
  fs.AddWorkingFolder(kName);
  CleanupTempFiles(u"", u"", fs);
  CleanupTempFiles(kFolder + u"\\gone.xlsx", u"", fs);
  EXPECT_EQ(fs.pauses, 0);
  EXPECT_EQ(fs.folders.count(kFolder), 1u) << "only the second path's folder is removed";
  // The folder of the second path goes even when its file was gone already.
  CleanupTempFiles(u"", kFolder + u"\\gone.dll", fs);
  EXPECT_EQ(fs.folders.count(kFolder), 0u);
}

TEST(RemoveWorkingFolderTest, NamedFilesWithRetriesTheRestOnce) {
  FakeFileSystem fs;
  fs.pauseExpected = 7;
  fs.AddWorkingFolder(kName);
  fs.entries[kFolder + u"\\briskstub.dll"].busyAttempts = 2;
  fs.entries[kFolder + u"\\left.tmp"].busyAttempts = 1;
  RemoveWorkingFolder(kFolder, {u"briskstub.dll", u""}, fs, CleanupRetry{5, 7});
  EXPECT_EQ(fs.pauses, 2);
  EXPECT_EQ(fs.entries.count(kFolder + u"\\briskstub.dll"), 0u);
  EXPECT_EQ(fs.entries.count(kFolder + u"\\left.tmp"), 1u) << "tried once";
  EXPECT_EQ(fs.folders.count(kFolder), 1u);
}

TEST(SweepTest, RemovesOnlyFoldersWhoseLauncherAndHostHaveEnded) {
  struct Folder {
    const char* name;
    std::optional<FolderMarker> marker;
    bool removed;
  };
  const Folder folders[] = {
      {"aaaaaaa1", FolderMarker{{11, 1}, {}}, true},        // launcher ended before the host was known
      {"aaaaaaa2", FolderMarker{{12, 1}, {21, 2}}, true},   // both ended
      {"aaaaaaa3", FolderMarker{{13, 1}, {22, 2}}, false},  // the host still runs
      {"aaaaaaa4", FolderMarker{{14, 1}, {}}, false},       // the launcher still runs
      {"aaaaaaa5", std::nullopt, false},                    // no marker
      {"Aaaaaaa6", FolderMarker{{15, 1}, {}}, false},       // not a working folder's name
  };
  FakeFileSystem fs;
  fs.runningProcesses = {22, 14};
  for (const Folder& folder : folders) {
    const std::u16string name(folder.name, folder.name + 8);
    fs.folders.insert(kRoot + u"\\" + name);
    if (folder.marker)
      fs.entries[kRoot + u"\\" + name + u"\\" + kMarkerName].content = FormatFolderMarker(*folder.marker);
    fs.entries[kRoot + u"\\" + name + u"\\Tool.xlsx"];
  }
  SweepStaleWorkingFolders(fs);
  for (const Folder& folder : folders) {
    const std::u16string name(folder.name, folder.name + 8);
    EXPECT_EQ(fs.folders.count(kRoot + u"\\" + name) == 0, folder.removed) << folder.name;
    EXPECT_EQ(fs.entries.count(kRoot + u"\\" + name + u"\\Tool.xlsx") == 0, folder.removed) << folder.name;
  }
  EXPECT_EQ(fs.pauses, 0) << "a sweep never waits";
}

TEST(SweepTest, FileInUseKeepsItsFolderAndMarkerForALaterSweep) {
  FakeFileSystem fs;
  fs.AddWorkingFolder(kName, FolderMarker{{31, 1}, {32, 2}});
  fs.entries[kFolder + u"\\Tool.xlsx"].busyAttempts = 1;
  fs.entries[kFolder + u"\\briskstub.dll"];
  SweepStaleWorkingFolders(fs);
  EXPECT_EQ(fs.entries.count(kFolder + u"\\Tool.xlsx"), 1u);
  EXPECT_EQ(fs.entries.count(kFolder + u"\\" + kMarkerName), 1u);
  EXPECT_EQ(fs.folders.count(kFolder), 1u);
  SweepStaleWorkingFolders(fs);
  EXPECT_EQ(fs.folders.count(kFolder), 0u);
}

}  // namespace
}  // namespace brisk

// Removal of the launch's temporary files, with retries while a file is
// still held open by another process.
#pragma once

#include <string>

namespace brisk {

// What the clean-up needs of the file system; the Windows implementation
// lives beside the launcher, tests give their own.
class CleanupFileSystem {
 public:
  virtual ~CleanupFileSystem() = default;
  virtual bool Exists(const std::u16string& path) = 0;       // a file or a folder
  virtual bool IsFile(const std::u16string& path) = 0;       // exists and is no folder
  virtual bool RemoveFile(const std::u16string& path) = 0;
  virtual bool RemoveFolder(const std::u16string& path) = 0;  // only when empty
  virtual void Pause(unsigned milliseconds) = 0;
  // The system's temporary root, long form, with its trailing backslash.
  virtual std::u16string TempRoot() = 0;
};

struct CleanupRetry {
  int attempts = 1000;
  unsigned pauseMilliseconds = 200;
};

// Deletes `first`, then `second`, then the folder of `second` when it is
// empty and is not the temporary root itself. Never fails: a file that
// stays locked through every attempt, or a folder that is not empty, stays.
void CleanupTempFiles(const std::u16string& first, const std::u16string& second,
                      CleanupFileSystem& fileSystem, CleanupRetry retry = {});

// The drive and directory part of a path, with its trailing separator;
// empty when the path has no folder part.
std::u16string FolderOfPath(const std::u16string& path);

}  // namespace brisk

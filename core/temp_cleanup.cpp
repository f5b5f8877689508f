#include "core/temp_cleanup.h"

#include "core/command_line.h"

namespace brisk {

namespace {

void RemoveWithRetries(const std::u16string& path, CleanupFileSystem& fileSystem,
                       const CleanupRetry& retry) {
  if (path.empty() || !fileSystem.Exists(path)) return;
  for (int attempt = 0; attempt < retry.attempts; ++attempt) {
    if (!fileSystem.IsFile(path) || fileSystem.RemoveFile(path)) return;
    fileSystem.Pause(retry.pauseMilliseconds);
  }
}

}  // namespace

std::u16string FolderOfPath(const std::u16string& path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  if (separator != std::u16string::npos) return path.substr(0, separator + 1);
  // A bare drive ("C:name") still has a folder: the drive's current one.
  if (path.size() >= 2 && path[1] == u':') return path.substr(0, 2);
  return {};
}

void CleanupTempFiles(const std::u16string& first, const std::u16string& second,
                      CleanupFileSystem& fileSystem, CleanupRetry retry) {
  RemoveWithRetries(first, fileSystem, retry);
  RemoveWithRetries(second, fileSystem, retry);

  const std::u16string folder = FolderOfPath(second);
  if (folder.empty() || EqualsIgnoringCase(folder, fileSystem.TempRoot())) return;
  if (fileSystem.Exists(folder)) fileSystem.RemoveFolder(folder);
}

}  // namespace brisk

#include "core/temp_cleanup.h"

#include "base/ascii_case.h"

namespace brisk {

namespace {

// A canonical path inside a working folder of the temporary root whose
// marker is valid, split into that folder and the file's name.
std::optional<PathParts> InsideWorkingFolder(const std::u16string& path, CleanupFileSystem& fileSystem) {
  if (path.empty()) return std::nullopt;
  const auto canonical = fileSystem.CanonicalPath(path);
  if (!canonical) return std::nullopt;
  PathParts parts = SplitPath(*canonical);
  if (parts.name.empty() || EqualsIgnoringCase(parts.name, fileSystem.MarkerName())) return std::nullopt;
  const auto folderName = ChildOfRoot(parts.folder, fileSystem.TempRoot());
  if (!folderName || !IsWorkingFolderName(*folderName)) return std::nullopt;
  const auto marker = fileSystem.ReadMarker(parts.folder);
  if (!marker || !ParseFolderMarker(*marker)) return std::nullopt;
  return parts;
}

// Every entry but the marker once, then the marker, then the folder. The
// marker goes last so that a folder whose files could not all be removed
// stays recognisable for a later sweep.
void EmptyAndRemove(const std::u16string& folder, CleanupFileSystem& fileSystem) {
  const std::u16string marker = fileSystem.MarkerName();
  bool emptied = true;
  for (const std::u16string& name : fileSystem.EntryNames(folder)) {
    if (EqualsIgnoringCase(name, marker)) continue;
    const RemoveResult result = fileSystem.RemoveEntry(folder, name);
    emptied = emptied && (result == RemoveResult::kRemoved || result == RemoveResult::kAbsent);
  }
  if (!emptied || !fileSystem.SubfolderNames(folder).empty()) return;
  fileSystem.RemoveEntry(folder, marker);
  fileSystem.RemoveFolder(folder);
}

}  // namespace

void RemoveEntryWithRetries(const std::u16string& folder, const std::u16string& name, CleanupFileSystem& fileSystem,
                            CleanupRetry retry) {
  for (int attempt = 0; attempt < retry.attempts; ++attempt) {
    if (fileSystem.RemoveEntry(folder, name) != RemoveResult::kInUse) return;
    if (attempt + 1 < retry.attempts) fileSystem.Pause(retry.pauseMilliseconds);
  }
}

void CleanupTempFiles(const std::u16string& first, const std::u16string& second, CleanupFileSystem& fileSystem,
                      CleanupRetry retry) {
  if (const auto parts = InsideWorkingFolder(first, fileSystem)) {
    RemoveEntryWithRetries(parts->folder, parts->name, fileSystem, retry);
  }
  if (const auto parts = InsideWorkingFolder(second, fileSystem)) {
    RemoveEntryWithRetries(parts->folder, parts->name, fileSystem, retry);
    EmptyAndRemove(parts->folder, fileSystem);
  }
}

void RemoveWorkingFolder(const std::u16string& folder, const std::vector<std::u16string>& names,
                         CleanupFileSystem& fileSystem, CleanupRetry retry) {
  if (folder.empty()) return;
  const auto canonical = fileSystem.CanonicalPath(folder);
  if (!canonical) return;
  const auto folderName = ChildOfRoot(*canonical, fileSystem.TempRoot());
  if (!folderName || !IsWorkingFolderName(*folderName)) return;
  for (const std::u16string& name : names) {
    if (!name.empty()) RemoveEntryWithRetries(*canonical, name, fileSystem, retry);
  }
  EmptyAndRemove(*canonical, fileSystem);
}

void SweepStaleWorkingFolders(CleanupFileSystem& fileSystem) {
  const std::u16string root = fileSystem.TempRoot();
  if (root.empty()) return;
  for (const std::u16string& name : fileSystem.SubfolderNames(root)) {
    if (!IsWorkingFolderName(name)) continue;
    const std::u16string folder = JoinPath(root, name);
    const auto text = fileSystem.ReadMarker(folder);
    const auto marker = text ? ParseFolderMarker(*text) : std::nullopt;
    if (!marker || fileSystem.ProcessRunning(marker->launcher)) continue;
    if (marker->host.Known() && fileSystem.ProcessRunning(marker->host)) continue;
    EmptyAndRemove(folder, fileSystem);
  }
}

}  // namespace brisk

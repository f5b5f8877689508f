// Removal of the launch's temporary files: at the end of a launch, in the
// clean-up mode that the add-in starts, and in the sweep of working folders
// that earlier launches left behind.
//
// Every removal acts only inside a working folder of the temporary root (a
// direct child with a working folder's name and a valid marker, see
// working_folder.h), never follows a link and never removes the temporary
// root or anything outside it. What it may not or cannot remove stays,
// quietly: clean-up never fails.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/working_folder.h"

namespace brisk {

enum class RemoveResult {
  kRemoved,
  kAbsent,   // nothing of that name
  kInUse,    // another process holds it; a later attempt may succeed
  kRefused,  // reached through a link, outside the folder, or a folder: never removed
};

// What the clean-up needs of the file system and the processes; the Windows
// implementation lives beside the launcher, tests give their own. Paths are
// canonical (see CanonicalPath) and have no trailing separator; names are
// plain file names.
class CleanupFileSystem {
 public:
  virtual ~CleanupFileSystem() = default;
  // The absolute form of a path with "." and ".." resolved, one separator
  // between names and long names for short ones; nothing when it has none.
  virtual std::optional<std::u16string> CanonicalPath(const std::u16string& path) = 0;
  // The system's temporary root, canonical.
  virtual std::u16string TempRoot() = 0;
  // The names of the folders directly in `folder` that are no links.
  virtual std::vector<std::u16string> SubfolderNames(const std::u16string& folder) = 0;
  // The names of everything directly in `folder` that is not a plain folder
  // (files and links).
  virtual std::vector<std::u16string> EntryNames(const std::u16string& folder) = 0;
  // The marker file's name, and its content in `folder` (nothing when it has
  // none or it cannot be read).
  virtual std::u16string MarkerName() = 0;
  virtual std::optional<std::string> ReadMarker(const std::u16string& folder) = 0;
  // Removes one entry of `folder`: a file (made writable first when it is
  // read-only) or a link itself, never what a link points to, never a plain
  // folder, never anything reached through a link.
  virtual RemoveResult RemoveEntry(const std::u16string& folder, const std::u16string& name) = 0;
  // Removes `folder` when it is empty and is no link to elsewhere.
  virtual bool RemoveFolder(const std::u16string& folder) = 0;
  virtual bool ProcessRunning(const ProcessStamp& process) = 0;
  virtual void Pause(unsigned milliseconds) = 0;
};

// How often a file that is in use is tried again, and the pause between.
struct CleanupRetry {
  int attempts = 1000;
  unsigned pauseMilliseconds = 200;
};

// Removes one entry, trying again while it is in use.
void RemoveEntryWithRetries(const std::u16string& folder, const std::u16string& name, CleanupFileSystem& fileSystem,
                            CleanupRetry retry);

// The clean-up mode ("-clnx FIRST -clnd SECOND"): deletes `first`, then
// `second`, each with `retry`, and then empties and removes the folder of
// `second`: every other entry once, the marker last. A path that is empty,
// not inside a working folder of the temporary root, or whose folder carries
// no valid marker is refused without a word.
void CleanupTempFiles(const std::u16string& first, const std::u16string& second, CleanupFileSystem& fileSystem,
                      CleanupRetry retry = {});

// The end of a launch: removes `names` from the launch's own working folder
// with `retry`, then every other entry once, the marker last, then the
// folder when it is empty.
void RemoveWorkingFolder(const std::u16string& folder, const std::vector<std::u16string>& names,
                         CleanupFileSystem& fileSystem, CleanupRetry retry);

// Removes the working folders of earlier launches whose launcher and host
// have both ended: every entry once (what is in use stays), the marker last,
// then the folder when it is empty. Folders without a valid marker, and the
// folders of launches still running, are not touched.
void SweepStaleWorkingFolders(CleanupFileSystem& fileSystem);

}  // namespace brisk

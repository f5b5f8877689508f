// The mark a launch leaves in its working folder, and the rules that tell a
// working folder of the launcher from anything else in the temporary root.
//
// Every working folder carries a small marker file that names the launcher's
// process and, once it is known, the host's, each by its id and start time
// (an id alone may be reused by a later process). A folder without a valid
// marker is never touched by any clean-up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brisk {

// One process, told apart from a later process with the same id by its start
// time (a FILETIME in 100-ns units). An id of 0 means "not known".
struct ProcessStamp {
  std::uint32_t id = 0;
  std::uint64_t startTime = 0;

  bool Known() const { return id != 0; }
  bool operator==(const ProcessStamp&) const = default;
};

struct FolderMarker {
  ProcessStamp launcher;
  ProcessStamp host;

  bool operator==(const FolderMarker&) const = default;
};

// The marker file's content: three lines of ASCII text.
std::string FormatFolderMarker(const FolderMarker& marker);

// Nothing for anything that is not exactly what FormatFolderMarker writes
// (a marker cut short, another file of the same name, random bytes).
std::optional<FolderMarker> ParseFolderMarker(std::string_view text);

// Whether `name` can be a working folder's name: eight characters from a-z
// and 0-9, the first a letter (what the launcher draws).
bool IsWorkingFolderName(std::u16string_view name);

// A path split at its last separator ("\" or "/"). Both parts are empty when
// the path has no separator.
struct PathParts {
  std::u16string folder;  // without the trailing separator
  std::u16string name;
};
PathParts SplitPath(std::u16string_view path);

// Whether `folder` (a canonical path) is a direct child of the temporary root
// (canonical, with or without its trailing backslash), compared without case.
// Returns the child's name, or nothing.
std::optional<std::u16string> ChildOfRoot(std::u16string_view folder, std::u16string_view root);

}  // namespace brisk

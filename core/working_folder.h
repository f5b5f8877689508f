// The launch's private working folder, portable rules: how it is named (one
// rule for drawing and for recognising a name), how it is made under the
// temporary root, the mark it carries, and the path helpers that build and
// take apart the paths inside it. The Windows side (working_folder_win.h)
// makes, marks and finds it on the real file system; temp_cleanup.h removes
// it again.
//
// Every working folder carries a small marker file that names the launcher's
// process and, once it is known, the host's, each by its id and start time
// (an id alone may be reused by a later process). A folder without a valid
// marker is never touched by any clean-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace brisk {

// A working folder's name: this many characters from a-z and 0-9, the first
// a letter. The auxiliary workbook's name is drawn the same way.
inline constexpr std::size_t kWorkingFolderNameLength = 8;

// A name of `length` characters from 0-9 and a-z, drawn from nextRandom()
// % 36. A draw is rejected when it would put a digit first or repeat the
// character two positions before it. nextRandom defaults to std::rand.
std::string RandomName(std::size_t length, const std::function<int()>& nextRandom = {});

// Whether `name` can be a working folder's name: what RandomName draws with
// kWorkingFolderNameLength.
bool IsWorkingFolderName(std::u16string_view name);

// Whether a file or folder of that path exists (or, where a rule says so,
// a file that is no folder).
using PathCheck = std::function<bool(const std::u16string& path)>;
// Draws a random name (RandomName of kWorkingFolderNameLength in the launcher).
using NameSource = std::function<std::string()>;

// `folder` followed by a backslash unless it ends in one already, then `name`.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

// The text after the last backslash; the whole path when it has none.
std::u16string FileNameOfPath(std::u16string_view path);

// The working folder: root (a backslash added when missing) followed by a
// random name, drawn again while the path exists, and created with `create`.
// When the creation fails, for instance because someone took the name
// between the check and the creation, a new name is drawn, so that nothing
// is ever written into a folder that this run did not create. Nothing after
// `attempts` names that existed or could not be created.
std::optional<std::u16string> MakeWorkingFolder(std::u16string_view root, const NameSource& drawName,
                                                const PathCheck& exists, const PathCheck& create, int attempts = 100);

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

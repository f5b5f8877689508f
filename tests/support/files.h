// Files and folders for the Windows tests: a temporary folder that goes with
// its content, whole-file reads and writes, and the paths of the build tree
// as the Windows side sees them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisk::test {

// The Windows form of a path of the build machine: Wine shows the Unix root
// as drive Z:, so "/a/b" is "Z:\a\b". The Unix path is UTF-8.
std::wstring WinePath(std::string_view unixPath);

// A folder of the test's own, removed with everything in it when the owner
// goes.
class TempFolder {
 public:
  // A fresh folder with a name of its own under the temporary root.
  TempFolder();
  // The folder at `path`, made afresh: what an earlier run left there is
  // removed first, as far as it can be. Its parent must exist.
  explicit TempFolder(std::wstring path);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Empty when the folder could not be made.
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Equal but for the case of letters, as Windows compares names.
bool EqualNoCase(std::wstring_view a, std::wstring_view b);

// The temporary root (GetTempPathW), without the trailing backslash.
std::wstring TempRoot();

bool WriteFileBytes(const std::wstring& path, std::string_view bytes);
bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
// The whole file; nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);
// Every file and folder below `folder`, as relative paths ("a", "a\b"),
// sorted; folders end with a backslash.
std::vector<std::wstring> ListTree(const std::wstring& folder);
// Removes the folder (or file) with its content, as far as it can: what a
// process still holds stays. Never give it a folder with a link inside:
// Wine's deletes follow links (see RemoveLink).
void RemoveTree(const std::wstring& folder);

// A symbolic link at `link` to the folder or file `target`. Under Wine it is
// a link of the Unix file system, which Wine shows as a reparse point; on
// Windows a symbolic link. False when none could be made.
bool MakeLink(const std::wstring& link, const std::wstring& target);

// Removes the link itself and never its target: under Wine through the Unix
// file system, since Wine's own deletes follow a link to its target.
bool RemoveLink(const std::wstring& link);

}  // namespace brisk::test

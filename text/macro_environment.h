// What the macro table needs from outside: the application's values and the
// system's folders and code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brisk {

// The application values behind the standard macros.
struct MacroAppValues {
  std::u16string appName;
  std::u16string appInfo;
  std::uint32_t appVersion = 0;  // the version word; its three top bytes are shown
  std::u16string exeDir;         // the launcher's folder, no trailing backslash
};

// The outcome of a folder query: an HRESULT-style status (0 is S_OK; every
// other value, S_FALSE included, counts as a failure) and the path found.
struct FolderQueryResult {
  std::int32_t status = -1;
  std::u16string path;
};

constexpr std::int32_t kFolderQueryOk = 0;

class MacroEnvironment {
 public:
  virtual ~MacroEnvironment() = default;

  virtual MacroAppValues ApplicationValues() const = 0;
  virtual FolderQueryResult DocumentsFolder() const = 0;
  virtual FolderQueryResult DesktopFolder() const = 0;
  // The text in the system's ANSI code page, with that code page's
  // replacement for characters it cannot represent.
  virtual std::string ToAnsiCodePage(std::u16string_view text) const = 0;
};

}  // namespace brisk

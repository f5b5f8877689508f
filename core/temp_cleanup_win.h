// The clean-up on the real file system.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "core/temp_cleanup.h"
#include "core/working_folder.h"

namespace brisk {

// Removes entries only after checking, on the handle it holds, that the
// object is the one named inside the folder: an entry reached along a link
// shows another final path and is refused. A link itself, where the system
// opens it as a link, goes; what it points to never does.
class WindowsCleanupFileSystem : public CleanupFileSystem {
 public:
  std::optional<std::u16string> CanonicalPath(const std::u16string& path) override;
  std::u16string TempRoot() override;
  std::vector<std::u16string> SubfolderNames(const std::u16string& folder) override;
  std::vector<std::u16string> EntryNames(const std::u16string& folder) override;
  std::u16string MarkerName() override;
  std::optional<std::string> ReadMarker(const std::u16string& folder) override;
  RemoveResult RemoveEntry(const std::u16string& folder, const std::u16string& name) override;
  bool RemoveFolder(const std::u16string& folder) override;
  bool ProcessRunning(const ProcessStamp& process) override;
  void Pause(unsigned milliseconds) override;
};

// The clean-up mode on the real file system with the default retries.
void CleanupTempFiles(const std::wstring& first, const std::wstring& second);

}  // namespace brisk

// The clean-up of the temporary files on the real file system.
#pragma once

#include <string>

#include "core/temp_cleanup.h"

namespace brisk {

class WindowsCleanupFileSystem : public CleanupFileSystem {
 public:
  bool Exists(const std::u16string& path) override;
  bool IsFile(const std::u16string& path) override;
  bool RemoveFile(const std::u16string& path) override;
  bool RemoveFolder(const std::u16string& path) override;
  void Pause(unsigned milliseconds) override;
  std::u16string TempRoot() override;
};

// CleanupTempFiles on the real file system with the default retries.
void CleanupTempFiles(const std::wstring& first, const std::wstring& second);

}  // namespace brisk

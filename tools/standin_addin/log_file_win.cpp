#include "log_file_win.h"

#include <windows.h>

#include "base/unique_handle.h"

namespace brisk::addin {

void LogFile::Append(const std::string& line) {
  if (path_.empty()) return;
  // Opened per line and shared for everything: the reader may read, and even
  // delete, the file between two lines.
  UniqueFileHandle file(CreateFileW(path_.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace brisk::addin

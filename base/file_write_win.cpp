#include "base/file_write_win.h"

#include <algorithm>

#include "base/unique_handle.h"

namespace brisk {

bool WriteFileInBlocks(const std::wstring& path, const std::uint8_t* data, std::size_t size) {
  UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  while (size > 0) {
    const DWORD block = static_cast<DWORD>(std::min(size, kWriteBlockBytes));
    DWORD written = 0;
    if (!WriteFile(file.get(), data, block, &written, nullptr) || written != block) return false;
    data += block;
    size -= block;
  }
  return CloseHandle(file.release()) != FALSE;
}

}  // namespace brisk

// Writing a whole file from one buffer, as the launcher writes its large
// payloads: in a few big blocks straight from the buffer, with no copy.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace brisk {

// One WriteFile call per this many bytes: few calls, and each stays well
// below what a 32-bit process can hand the system in one piece.
constexpr std::size_t kWriteBlockBytes = 4 * 1024 * 1024;

// Creates (or replaces) the file, not shared, and writes all `size` bytes. A
// failing close counts as a failed write, since it may be the moment the data
// reaches the disk.
bool WriteFileInBlocks(const std::wstring& path, const std::uint8_t* data, std::size_t size);

}  // namespace brisk

// Files named on launcher-tool's command line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "payload/payload_buffer.h"

namespace brisk::tool {

// A path from a UTF-8 argument (the ANSI code page plays no part on Windows).
std::filesystem::path PathArgument(const std::string& utf8);

// The whole content of a regular file; false when it is missing, a folder or unreadable.
bool ReadWholeFile(const std::string& utf8Name, PayloadBuffer& bytes);

bool WriteWholeFile(const std::string& utf8Name, const PayloadBuffer& bytes);

// The whole file when it is a regular file of at most `maxBytes`; else why
// not, in the system's words where it has some.
std::string ReadLimited(const std::string& utf8Name, std::uint64_t maxBytes, PayloadBuffer& bytes);

}  // namespace brisk::tool

// Files named on launcher-tool's command line.
#pragma once

#include <filesystem>
#include <string>

#include "payload/payload_buffer.h"

namespace brisk::tool {

// A path from a UTF-8 argument (the ANSI code page plays no part on Windows).
std::filesystem::path PathArgument(const std::string& utf8);

// The whole content of a regular file; false when it is missing, a folder or unreadable.
bool ReadWholeFile(const std::string& utf8Name, PayloadBuffer& bytes);

bool WriteWholeFile(const std::string& utf8Name, const PayloadBuffer& bytes);

}  // namespace brisk::tool

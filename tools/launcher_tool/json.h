// The JSON string forms that launcher-tool prints.
#pragma once

#include <string>
#include <string_view>

namespace brisk::tool {

// A JSON string literal of UTF-16 text: every code unit outside 0x20-0x7E,
// and '"' and '\', is written as a \uXXXX escape (upper-case hex digits).
std::string JsonString(std::u16string_view text);

// A JSON string literal of stored bytes: every byte outside 0x20-0x7E, and
// '"' and '\', is written as \u00XX.
std::string JsonBytes(std::string_view bytes);

}  // namespace brisk::tool

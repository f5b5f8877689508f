// launcher-tool's JSON output. Its form is fixed (the tests compare it byte
// for byte) and nlohmann's library cannot write it, so it is written here:
// every code unit outside 0x20-0x7E, and '"' and '\', is a \uXXXX escape with
// upper-case digits (the library writes \" and \\, lower-case digits and
// non-ASCII as UTF-8); stored bytes that need not be UTF-8 and unpaired
// surrogates are kept (the library takes UTF-8 only); members stand one per
// line, but payload entries are objects on one line of their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brisk::tool {

// A JSON string literal of UTF-16 text: every code unit outside 0x20-0x7E,
// and '"' and '\', is written as a \uXXXX escape (upper-case hex digits).
std::string JsonString(std::u16string_view text);

// A JSON string literal of stored bytes: every byte outside 0x20-0x7E, and
// '"' and '\', is written as \u00XX.
std::string JsonBytes(std::string_view bytes);

// "key": value, with the value already in JSON form.
std::string Member(const std::string& key, const std::string& value);

// An object on one line: {"a": 1, "b": 2}.
std::string InlineObject(const std::vector<std::string>& members);

// The members (or array items) of an object one per line, each after
// `indent`, separated by commas.
std::string MemberLines(const std::vector<std::string>& members, std::string_view indent);

// Prints an object with its members one per line, indented by two spaces;
// an empty one as {}.
void PrintObject(const std::vector<std::string>& members);

}  // namespace brisk::tool

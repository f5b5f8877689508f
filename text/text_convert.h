// Conversions between the narrow and wide forms of texts.
#pragma once

#include <string>
#include <string_view>

namespace brisk {

// UTF-8 to UTF-16 up to the first malformed or cut-off sequence; what came
// before it is kept.
std::u16string Utf8PrefixToUtf16(std::string_view bytes);

// UTF-16 to UTF-8; an unpaired surrogate becomes "?".
std::string Utf16ToUtf8Lossy(std::u16string_view text);

// Each byte becomes one UTF-16 code unit of the same value (0-255).
std::u16string WidenBytes(std::string_view bytes);

// Replaces every backslash followed by "n" with a line feed.
void ReplaceLineBreakEscapes(std::string& text);
void ReplaceLineBreakEscapes(std::u16string& text);

}  // namespace brisk

// The line-break escapes of translated texts. The conversions between the
// narrow and wide forms live in base/utf.h.
#pragma once

#include <string>
#include <string_view>

namespace brisk {

// Replaces every backslash followed by "n" with a line feed.
void ReplaceLineBreakEscapes(std::string& text);
void ReplaceLineBreakEscapes(std::u16string& text);

}  // namespace brisk

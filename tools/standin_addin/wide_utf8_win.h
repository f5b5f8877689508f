// UTF-16 to UTF-8 for the log: an unpaired surrogate becomes U+FFFD instead
// of losing the whole text.
#pragma once

#include <string>
#include <string_view>

namespace brisk::addin {

std::string Utf8ForLog(std::wstring_view text);
std::wstring WideFromUtf8(std::string_view text);  // invalid sequences become U+FFFD

}  // namespace brisk::addin

// The one set of conversions between UTF-8 and UTF-16 (utfcpp underneath).
// Portable: UTF-16 is char16_t here; base/wide_text.h adds the wchar_t forms
// that the Windows API takes.
#pragma once

#include <string>
#include <string_view>

namespace brisk {

// Strict: throws utf8::exception on a malformed or cut-off sequence.
std::u16string Utf8ToUtf16(std::string_view utf8);

// For display: every malformed sequence becomes U+FFFD, so that a damaged
// text still reaches the user.
std::u16string Utf8ToUtf16Lossy(std::string_view utf8);

// Up to the first malformed or cut-off sequence; what came before it is kept.
std::u16string Utf8PrefixToUtf16(std::string_view utf8);

// Strict: throws utf8::exception on an unpaired surrogate.
std::string Utf16ToUtf8(std::u16string_view text);

// An unpaired surrogate becomes `replacement` instead of ending the
// conversion.
std::string Utf16ToUtf8Lossy(std::u16string_view text, char32_t replacement = U'?');

// Each byte becomes one UTF-16 code unit of the same value (0-255).
std::u16string WidenBytes(std::string_view bytes);

}  // namespace brisk

// Text at the edge between the portable code (UTF-16 as char16_t, UTF-8
// bytes) and the Windows API (wchar_t, the ANSI code page).
#pragma once

#include <string>
#include <string_view>

#include "base/utf.h"

namespace brisk {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

inline std::wstring ToWide(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline std::u16string ToU16(std::wstring_view text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

// Strict UTF-8 to UTF-16; throws on malformed input.
inline std::wstring WideFromUtf8(std::string_view utf8) { return ToWide(Utf8ToUtf16(utf8)); }

// UTF-8 to UTF-16 for display: malformed sequences become U+FFFD instead
// of ending the conversion, so that a bad text still reaches the user.
inline std::wstring WideFromUtf8ForDisplay(std::string_view utf8) { return ToWide(Utf8ToUtf16Lossy(utf8)); }

// Strict UTF-16 to UTF-8; throws on an unpaired surrogate.
inline std::string Utf8FromWide(std::wstring_view wide) { return Utf16ToUtf8(ToU16(wide)); }

// UTF-16 to the ANSI code page (WideCharToMultiByte with CP_ACP); what the
// code page cannot show becomes its default character. Empty on failure.
std::string AnsiFromWide(std::wstring_view wide);

// Whether the text survives the ANSI code page unchanged: what an 8-bit
// program (LoadLibraryA, say) can be given of it.
bool RoundTripsThroughAnsi(std::wstring_view wide);

}  // namespace brisk

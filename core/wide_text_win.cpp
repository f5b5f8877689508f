#include "core/wide_text.h"

#include <utf8.h>

namespace brisk {

std::wstring WideFromUtf8(std::string_view utf8) {
  return ToWide(utf8::utf8to16(utf8));
}

std::wstring WideFromUtf8ForDisplay(std::string_view utf8) {
  return WideFromUtf8(utf8::replace_invalid(utf8));
}

std::string Utf8FromWide(std::wstring_view wide) {
  return utf8::utf16to8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace brisk

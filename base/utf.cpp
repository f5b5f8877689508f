#include "base/utf.h"

#include <iterator>

#include <utf8.h>

namespace brisk {

namespace {

bool IsLeadSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrailSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  utf8::utf8to16(utf8.begin(), utf8.end(), std::back_inserter(out));
  return out;
}

std::u16string Utf8ToUtf16Lossy(std::string_view utf8) { return Utf8ToUtf16(utf8::replace_invalid(utf8)); }

std::u16string Utf8PrefixToUtf16(std::string_view utf8) {
  std::u16string out;
  const auto validEnd = utf8::find_invalid(utf8.begin(), utf8.end());
  utf8::utf8to16(utf8.begin(), validEnd, std::back_inserter(out));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  utf8::utf16to8(text.begin(), text.end(), std::back_inserter(out));
  return out;
}

std::string Utf16ToUtf8Lossy(std::u16string_view text, char32_t replacement) {
  std::string out;
  auto sink = std::back_inserter(out);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsLeadSurrogate(unit) && i + 1 < text.size() && IsTrailSurrogate(text[i + 1])) {
      utf8::utf16to8(text.begin() + i, text.begin() + i + 2, sink);
      ++i;
    } else if (IsLeadSurrogate(unit) || IsTrailSurrogate(unit)) {
      utf8::append(replacement, sink);
    } else {
      utf8::append(unit, sink);
    }
  }
  return out;
}

std::u16string WidenBytes(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char byte : bytes) out.push_back(static_cast<unsigned char>(byte));
  return out;
}

}  // namespace brisk

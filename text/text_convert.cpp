#include "text/text_convert.h"

#include <iterator>

#include <utf8.h>

namespace brisk {

namespace {

bool IsLeadSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrailSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

template <typename Char>
void ReplaceEscapes(std::basic_string<Char>& text) {
  std::size_t out = 0;
  for (std::size_t in = 0; in < text.size(); ++in) {
    if (text[in] == Char('\\') && in + 1 < text.size() && text[in + 1] == Char('n')) {
      text[out++] = Char('\n');
      ++in;
    } else {
      text[out++] = text[in];
    }
  }
  text.resize(out);
}

}  // namespace

std::u16string Utf8PrefixToUtf16(std::string_view bytes) {
  std::u16string out;
  auto validEnd = utf8::find_invalid(bytes.begin(), bytes.end());
  utf8::utf8to16(bytes.begin(), validEnd, std::back_inserter(out));
  return out;
}

std::string Utf16ToUtf8Lossy(std::u16string_view text) {
  std::string out;
  auto sink = std::back_inserter(out);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    if (IsLeadSurrogate(unit) && i + 1 < text.size() && IsTrailSurrogate(text[i + 1])) {
      utf8::utf16to8(text.begin() + i, text.begin() + i + 2, sink);
      ++i;
    } else if (IsLeadSurrogate(unit) || IsTrailSurrogate(unit)) {
      out.push_back('?');
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

void ReplaceLineBreakEscapes(std::string& text) { ReplaceEscapes(text); }
void ReplaceLineBreakEscapes(std::u16string& text) { ReplaceEscapes(text); }

}  // namespace brisk

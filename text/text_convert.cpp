#include "text/text_convert.h"

namespace brisk {

namespace {

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

void ReplaceLineBreakEscapes(std::string& text) { ReplaceEscapes(text); }
void ReplaceLineBreakEscapes(std::u16string& text) { ReplaceEscapes(text); }

}  // namespace brisk

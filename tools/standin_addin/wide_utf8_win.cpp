#include "wide_utf8_win.h"

#include <utf8.h>

#include <iterator>

namespace brisk::addin {

std::string Utf8ForLog(std::wstring_view text) {
  std::u16string units(text.begin(), text.end());
  std::string out;
  try {
    utf8::utf16to8(units.begin(), units.end(), std::back_inserter(out));
    return out;
  } catch (const utf8::exception&) {
  }
  // Only an unpaired surrogate makes the conversion fail: mark every
  // surrogate that is not part of a pair.
  for (std::size_t i = 0; i < units.size(); ++i) {
    const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
    const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || low) {
      units[i] = 0xFFFD;
    }
  }
  out.clear();
  utf8::utf16to8(units.begin(), units.end(), std::back_inserter(out));
  return out;
}

std::wstring WideFromUtf8(std::string_view text) {
  const std::string valid = utf8::replace_invalid(text);
  std::wstring out;
  utf8::utf8to16(valid.begin(), valid.end(), std::back_inserter(out));
  return out;
}

}  // namespace brisk::addin

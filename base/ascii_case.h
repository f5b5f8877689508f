// Case folding of ASCII letters only, as the launcher compares its options,
// file names and paths: every other character is compared as it is, so the
// result never depends on the system's locale.
#pragma once

#include <cstddef>
#include <string_view>

namespace brisk {

constexpr char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

constexpr bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// Whether text begins with prefix, comparing ASCII letters without case.
constexpr bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace brisk

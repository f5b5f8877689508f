// Built-in texts of the host layer in the form the Windows API takes.
#pragma once

#include <string>

#include "payload/encoded_strings.h"

namespace brisk {

inline std::wstring HostText(int number) {
  const std::u16string text = GetEncodedStringW(number);
  return std::wstring(text.begin(), text.end());
}

}  // namespace brisk

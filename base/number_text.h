// Numbers as text: hexadecimal, zero-padded to a width and without a prefix,
// as printf's "%08lX" or "%08lx" writes it, and decimal. The launcher formats
// its few numbers with these instead of the printf family, whose
// implementation would add tens of kilobytes to it.
#pragma once

#include <cstdint>
#include <string>

namespace brisk {

enum class HexLetters { kLower, kUpper };

// At least `width` digits; more when the value needs them.
template <typename Char>
std::basic_string<Char> HexText(std::uint64_t value, std::size_t width, HexLetters letters) {
  const char* digits = letters == HexLetters::kUpper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::basic_string<Char> text;
  do {
    text.insert(text.begin(), static_cast<Char>(digits[value & 0xF]));
    value >>= 4;
  } while (value != 0);
  if (text.size() < width) text.insert(0, width - text.size(), static_cast<Char>('0'));
  return text;
}

// Decimal digits, padded with blanks on the left to at least `width`.
inline std::string DecimalText(std::uint64_t value, std::size_t width = 0) {
  std::string text;
  do {
    text.insert(text.begin(), static_cast<char>('0' + value % 10));
    value /= 10;
  } while (value != 0);
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

}  // namespace brisk

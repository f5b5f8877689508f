#include "payload/encoded_text.h"

#include <cstddef>
#include <cstdint>

namespace brisk {

namespace {

unsigned SymbolValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= '[') return static_cast<unsigned>(c - 'A') + 10;
  if (c >= 'a' && c <= '{') return static_cast<unsigned>(c - 'a') + 37;
  return 0;
}

char Symbol(unsigned value) {
  constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ[abcdefghijklmnopqrstuvwxyz{";
  static_assert(sizeof kAlphabet == 65);
  return kAlphabet[value & 0x3F];
}

char Byte(unsigned value) { return static_cast<char>(static_cast<std::uint8_t>(value)); }

}  // namespace

std::string DecodeText(std::string_view encoded) {
  encoded = encoded.substr(0, encoded.find('\0'));
  std::string bytes;
  bytes.reserve(encoded.size() / 4 * 3 + 2);
  std::size_t i = 0;
  for (; i + 4 <= encoded.size(); i += 4) {
    const unsigned v0 = SymbolValue(encoded[i]), v1 = SymbolValue(encoded[i + 1]);
    const unsigned v2 = SymbolValue(encoded[i + 2]), v3 = SymbolValue(encoded[i + 3]);
    bytes.push_back(Byte(v0 | ((v1 & 0x03) << 6)));
    bytes.push_back(Byte((v1 >> 2) | ((v2 & 0x0F) << 4)));
    bytes.push_back(Byte((v2 >> 4) | (v3 << 2)));
  }
  switch (encoded.size() - i) {
    case 1:
      bytes.push_back(Byte(SymbolValue(encoded[i])));
      break;
    case 2:
      bytes.push_back(Byte(SymbolValue(encoded[i]) | ((SymbolValue(encoded[i + 1]) & 0x03) << 6)));
      break;
    case 3: {
      const unsigned v0 = SymbolValue(encoded[i]), v1 = SymbolValue(encoded[i + 1]);
      const unsigned v2 = SymbolValue(encoded[i + 2]);
      bytes.push_back(Byte(v0 | ((v1 & 0x03) << 6)));
      bytes.push_back(Byte((v1 >> 2) | ((v2 & 0x0F) << 4)));
      break;
    }
    default:
      break;
  }
  return bytes;
}

std::string EncodeText(std::string_view bytes) {
  std::string encoded;
  encoded.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned x = static_cast<std::uint8_t>(bytes[i]), y = static_cast<std::uint8_t>(bytes[i + 1]);
    const unsigned z = static_cast<std::uint8_t>(bytes[i + 2]);
    encoded.push_back(Symbol(x));
    encoded.push_back(Symbol((x >> 6) | ((y & 0x0F) << 2)));
    encoded.push_back(Symbol((y >> 4) | ((z & 0x03) << 4)));
    encoded.push_back(Symbol(z >> 2));
  }
  if (bytes.size() - i == 1) {
    const unsigned x = static_cast<std::uint8_t>(bytes[i]);
    encoded.push_back(Symbol(x));
    encoded.push_back(Symbol(x >> 6));
  } else if (bytes.size() - i == 2) {
    const unsigned x = static_cast<std::uint8_t>(bytes[i]), y = static_cast<std::uint8_t>(bytes[i + 1]);
    encoded.push_back(Symbol(x));
    encoded.push_back(Symbol((x >> 6) | ((y & 0x0F) << 2)));
    encoded.push_back(Symbol(y >> 4));
  }
  return encoded;
}

}  // namespace brisk

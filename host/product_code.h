// Which add-in a host needs, from the GUID of its product code.
#pragma once

#include <cstdint>

namespace brisk {

// True when the first two bytes of the GUID's fourth field (Data4[0] and
// Data4[1]) are 0x10 and 0x00, i.e. the fourth group of the text reads 1000:
// the mark of a 64-bit build.
constexpr bool IsProductCode64Bit(std::uint8_t data4First, std::uint8_t data4Second) {
  return data4First == 0x10 && data4Second == 0x00;
}

}  // namespace brisk

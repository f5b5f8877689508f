// The four numbers of an executable's file version.
#pragma once

#include <cstdint>

namespace brisk {

struct HostFileVersion {
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t build = 0;
  std::uint16_t revision = 0;

  friend bool operator==(const HostFileVersion&, const HostFileVersion&) = default;
};

// From the two double words of a fixed version block (most and least
// significant).
constexpr HostFileVersion HostFileVersionFromWords(std::uint32_t mostSignificant, std::uint32_t leastSignificant) {
  return {static_cast<std::uint16_t>(mostSignificant >> 16), static_cast<std::uint16_t>(mostSignificant & 0xFFFF),
          static_cast<std::uint16_t>(leastSignificant >> 16), static_cast<std::uint16_t>(leastSignificant & 0xFFFF)};
}

}  // namespace brisk

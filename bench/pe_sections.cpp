#include "bench/pe_sections.h"

#include <cstring>

#include "payload/byte_order.h"

namespace brisk::bench {

std::optional<std::uint32_t> SectionFileOffset(std::span<const std::uint8_t> headers, std::string_view name) {
  constexpr std::size_t kFileHeaderSize = 20;
  constexpr std::size_t kSectionHeaderSize = 40;
  if (headers.size() < 0x40 || name.size() > 8) return std::nullopt;
  const std::size_t nt = le::ReadU32(headers.data() + 0x3C);
  if (nt > headers.size() || headers.size() - nt < 4 + kFileHeaderSize ||
      std::memcmp(headers.data() + nt, "PE\0\0", 4) != 0) {
    return std::nullopt;
  }
  const std::uint8_t* fileHeader = headers.data() + nt + 4;
  const std::size_t sections = le::ReadU16(fileHeader + 2);
  const std::size_t optionalSize = le::ReadU16(fileHeader + 16);
  const std::size_t table = nt + 4 + kFileHeaderSize + optionalSize;
  for (std::size_t i = 0; i < sections; ++i) {
    const std::size_t at = table + i * kSectionHeaderSize;
    if (at > headers.size() || headers.size() - at < kSectionHeaderSize) return std::nullopt;
    char sectionName[9] = {};
    std::memcpy(sectionName, headers.data() + at, 8);
    if (name == sectionName) return le::ReadU32(headers.data() + at + 20);
  }
  return std::nullopt;
}

}  // namespace brisk::bench

#include "text/byte_reader.h"

#include <algorithm>

namespace brisk {

std::span<const std::uint8_t> ByteReader::Peek(std::size_t count) const noexcept {
  return bytes_.subspan(position_, std::min(count, Remaining()));
}

std::optional<std::span<const std::uint8_t>> ByteReader::Read(std::size_t count) noexcept {
  if (count > Remaining()) return std::nullopt;
  auto bytes = bytes_.subspan(position_, count);
  position_ += count;
  return bytes;
}

std::optional<std::uint32_t> ByteReader::ReadU32() noexcept {
  auto bytes = Read(4);
  if (!bytes) return std::nullopt;
  return LoadU32(bytes->first<4>());
}

bool ByteReader::Skip(std::size_t count) noexcept { return Read(count).has_value(); }

std::uint32_t LoadU32(std::span<const std::uint8_t, 4> bytes) noexcept {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace brisk

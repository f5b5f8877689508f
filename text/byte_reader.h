// A sequential reader over a span of bytes that never reads past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace brisk {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}
  ByteReader(const void* data, std::size_t size) noexcept : bytes_(static_cast<const std::uint8_t*>(data), size) {}

  std::size_t Remaining() const noexcept { return bytes_.size() - position_; }

  // Up to `count` of the next bytes, without consuming them.
  std::span<const std::uint8_t> Peek(std::size_t count) const noexcept;

  // The next `count` bytes, consumed; nothing (and nothing consumed) when
  // fewer remain.
  std::optional<std::span<const std::uint8_t>> Read(std::size_t count) noexcept;

  // A little-endian unsigned 32-bit field, consumed; nothing when fewer than
  // four bytes remain.
  std::optional<std::uint32_t> ReadU32() noexcept;

  // Consumes `count` bytes; false (and nothing consumed) when fewer remain.
  bool Skip(std::size_t count) noexcept;

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// The little-endian unsigned 32-bit value of the first four bytes.
std::uint32_t LoadU32(std::span<const std::uint8_t, 4> bytes) noexcept;

}  // namespace brisk

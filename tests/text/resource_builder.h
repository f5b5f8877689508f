// Builds message table resources byte by byte for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisk::test {

class ResourceBuilder {
 public:
  ResourceBuilder& U32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
    return *this;
  }
  ResourceBuilder& Bytes(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }
  ResourceBuilder& Header(std::uint32_t count, std::uint32_t headerSize = 12) {
    return U32(headerSize).U32(count).U32(0);
  }
  ResourceBuilder& Entry(std::uint32_t slot, std::string_view text) {
    return U32(slot).U32(static_cast<std::uint32_t>(text.size())).Bytes(text);
  }
  const std::vector<std::uint8_t>& Data() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace brisk::test

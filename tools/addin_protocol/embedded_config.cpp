#include "tools/addin_protocol/embedded_config.h"

#include <algorithm>
#include <cstring>

namespace brisk::addin {

namespace {

constexpr std::size_t kSlotBytes = kConfigSlotMarkerBytes + kConfigSlotPathUnits * 2;

// Offset of the one slot in the image, or a fault.
std::optional<std::size_t> FindSlot(const std::vector<std::uint8_t>& image, std::string* fault) {
  const auto* marker = reinterpret_cast<const std::uint8_t*>(kConfigSlotMarker);
  const auto first = std::search(image.begin(), image.end(), marker, marker + kConfigSlotMarkerBytes);
  if (first == image.end()) {
    *fault = "the image has no configuration slot";
    return std::nullopt;
  }
  if (std::search(first + 1, image.end(), marker, marker + kConfigSlotMarkerBytes) != image.end()) {
    *fault = "the image has more than one configuration slot";
    return std::nullopt;
  }
  const auto offset = static_cast<std::size_t>(first - image.begin());
  if (image.size() - offset < kSlotBytes) {
    *fault = "the configuration slot is cut off";
    return std::nullopt;
  }
  return offset;
}

}  // namespace

std::optional<std::string> EmbedConfigPath(std::vector<std::uint8_t>& image, std::u16string_view path) {
  if (path.empty()) return "the configuration path is empty";
  if (path.size() >= kConfigSlotPathUnits) {
    return "the configuration path is longer than " + std::to_string(kConfigSlotPathUnits - 1) + " units";
  }
  std::string fault;
  const auto offset = FindSlot(image, &fault);
  if (!offset) return fault;
  std::uint8_t* slot = image.data() + *offset + kConfigSlotMarkerBytes;
  std::memset(slot, 0, kConfigSlotPathUnits * 2);
  for (std::size_t i = 0; i < path.size(); ++i) {
    slot[2 * i] = static_cast<std::uint8_t>(path[i] & 0xFF);
    slot[2 * i + 1] = static_cast<std::uint8_t>(path[i] >> 8);
  }
  return std::nullopt;
}

std::optional<std::u16string> EmbeddedConfigPath(const std::vector<std::uint8_t>& image) {
  std::string fault;
  const auto offset = FindSlot(image, &fault);
  if (!offset) return std::nullopt;
  const std::uint8_t* slot = image.data() + *offset + kConfigSlotMarkerBytes;
  std::u16string path;
  for (std::size_t i = 0; i + 1 < kConfigSlotPathUnits; ++i) {
    const auto unit = static_cast<char16_t>(slot[2 * i] | (slot[2 * i + 1] << 8));
    if (unit == 0) break;
    path.push_back(unit);
  }
  return path;
}

}  // namespace brisk::addin

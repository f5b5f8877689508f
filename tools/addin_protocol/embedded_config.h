// A configuration path carried inside the add-in's own image. The launcher
// extracts the add-in into a folder of random name, so a test cannot put a
// configuration file beside it in advance; instead it writes the path into
// the slot of its copy of the image before the copy goes into a launcher.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisk::addin {

// Marks the slot; appears exactly once in a built add-in.
inline constexpr char kConfigSlotMarker[] = "BRISK-STANDIN-ADDIN-CONFIG-SLOT";
constexpr std::size_t kConfigSlotMarkerBytes = sizeof kConfigSlotMarker;  // with its zero
constexpr std::size_t kConfigSlotPathUnits = 260;                         // with the terminating zero

struct ConfigSlot {
  char marker[kConfigSlotMarkerBytes];
  char16_t path[kConfigSlotPathUnits];
};
static_assert(kConfigSlotMarkerBytes % 2 == 0, "the path follows the marker at an even offset");

// Writes `path` (UTF-16, little-endian) into the image's slot, the rest of
// the slot zero. Returns the fault, or nothing on success; the image is
// unchanged on failure (no slot, two slots, an empty or too long path).
std::optional<std::string> EmbedConfigPath(std::vector<std::uint8_t>& image, std::u16string_view path);

// The path in the image's slot: empty when the slot is empty, nothing when
// the image has no single slot.
std::optional<std::u16string> EmbeddedConfigPath(const std::vector<std::uint8_t>& image);

}  // namespace brisk::addin

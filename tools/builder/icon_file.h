// Icon files (.ico) and the icon resources made from them: an icon group
// (RT_GROUP_ICON) that lists its images, each image an RT_ICON resource.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "payload/payload_buffer.h"

namespace brisk {

struct IconImage {
  std::uint16_t width = 0;  // in pixels, 1-256
  std::uint16_t height = 0;
  std::uint8_t colorCount = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  PayloadBuffer bytes;  // a PNG file or a bitmap (BITMAPINFOHEADER onwards)
};

struct IconFileResult {
  std::vector<IconImage> images;
  std::string error;  // one line, set when the file is refused
};

// Reads a .ico file: its header, its directory and every image, each of
// which must lie inside the file and be a PNG or a bitmap. A zero plane or
// bit count in the directory is taken from the image itself.
IconFileResult ParseIconFile(std::span<const std::uint8_t> file);

// The RT_GROUP_ICON resource for `images`, whose RT_ICON resources get the
// ids firstId, firstId + 1, ...
PayloadBuffer MakeIconGroup(const std::vector<IconImage>& images, std::uint16_t firstId);

struct IconGroupEntry {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint16_t bitCount = 0;
  std::uint32_t bytes = 0;
  std::uint16_t id = 0;
};

// The entries of an RT_GROUP_ICON resource; nothing when it is malformed.
std::optional<std::vector<IconGroupEntry>> ParseIconGroup(std::span<const std::uint8_t> group);

}  // namespace brisk

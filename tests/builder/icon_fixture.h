// Icon files made by the tests: 32-bit bitmap images of one colour each, or
// PNG images (only their header: enough for the builder, which stores them
// as they are).
#pragma once

#include <cstdint>
#include <vector>

#include "payload/byte_order.h"
#include "payload/payload_buffer.h"

namespace brisk::test {

struct IconSpec {
  std::uint16_t size = 16;          // width and height, 1-256
  std::uint32_t colour = 0xFF0000;  // 0xRRGGBB
  bool png = false;
  std::uint16_t directoryBitCount = 32;  // what the directory entry says
};

// A bitmap icon image: BITMAPINFOHEADER (height doubled for the mask), the
// 32-bit pixels, an all-clear AND mask.
inline PayloadBuffer BitmapIconImage(std::uint16_t size, std::uint32_t colour) {
  const std::size_t maskRow = ((size + 31) / 32) * 4;
  PayloadBuffer image(40 + std::size_t{size} * size * 4 + maskRow * size, 0);
  le::WriteU32(image.data(), 40);
  le::WriteU32(image.data() + 4, size);
  le::WriteU32(image.data() + 8, 2u * size);
  le::WriteU16(image.data() + 12, 1);
  le::WriteU16(image.data() + 14, 32);
  for (std::size_t pixel = 0; pixel < std::size_t{size} * size; ++pixel) {
    le::WriteU32(image.data() + 40 + 4 * pixel, 0xFF000000u | colour);
  }
  return image;
}

// The start of a PNG file: signature and an IHDR chunk (8-bit RGBA).
inline PayloadBuffer PngIconImage(std::uint16_t size) {
  PayloadBuffer image = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (std::uint32_t field : {std::uint32_t{size}, std::uint32_t{size}}) {
    for (int shift = 24; shift >= 0; shift -= 8) image.push_back(static_cast<std::uint8_t>(field >> shift));
  }
  for (std::uint8_t byte : {8, 6, 0, 0, 0, 0, 0, 0, 0}) image.push_back(byte);
  return image;
}

inline PayloadBuffer MakeIconFile(const std::vector<IconSpec>& icons) {
  PayloadBuffer file(6 + 16 * icons.size(), 0);
  le::WriteU16(file.data() + 2, 1);
  le::WriteU16(file.data() + 4, static_cast<std::uint16_t>(icons.size()));
  for (std::size_t i = 0; i < icons.size(); ++i) {
    const IconSpec& icon = icons[i];
    const PayloadBuffer image = icon.png ? PngIconImage(icon.size) : BitmapIconImage(icon.size, icon.colour);
    std::uint8_t* entry = file.data() + 6 + 16 * i;
    entry[0] = static_cast<std::uint8_t>(icon.size == 256 ? 0 : icon.size);
    entry[1] = entry[0];
    le::WriteU16(entry + 4, 1);
    le::WriteU16(entry + 6, icon.directoryBitCount);
    le::WriteU32(entry + 8, static_cast<std::uint32_t>(image.size()));
    le::WriteU32(entry + 12, static_cast<std::uint32_t>(file.size()));
    file.insert(file.end(), image.begin(), image.end());
  }
  return file;
}

}  // namespace brisk::test

#include "icon_file.h"

#include <cstring>

#include "payload/byte_order.h"

namespace brisk {

namespace {

constexpr std::size_t kIconHeaderBytes = 6;
constexpr std::size_t kFileEntryBytes = 16;
constexpr std::size_t kGroupEntryBytes = 14;
constexpr std::uint16_t kIconType = 1;
constexpr std::size_t kBitmapHeaderBytes = 40;
constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kPngHeaderEnd = 8 + 8 + 13;  // signature, IHDR chunk head and body

bool IsPng(std::span<const std::uint8_t> image) {
  return image.size() >= kPngHeaderEnd && std::memcmp(image.data(), kPngSignature, sizeof kPngSignature) == 0 &&
         std::memcmp(image.data() + 12, "IHDR", 4) == 0;
}

// A BITMAPINFOHEADER or one of its longer successors (V4, V5).
bool IsBitmap(std::span<const std::uint8_t> image) {
  if (image.size() < kBitmapHeaderBytes) return false;
  const std::uint32_t headerBytes = le::ReadU32(image.data());
  return (headerBytes == 40 || headerBytes == 108 || headerBytes == 124) && headerBytes <= image.size();
}

IconFileResult Refused(const std::string& why) { return {{}, why}; }

void AppendU16(PayloadBuffer& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendU32(PayloadBuffer& bytes, std::uint32_t value) {
  AppendU16(bytes, static_cast<std::uint16_t>(value));
  AppendU16(bytes, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace

IconFileResult ParseIconFile(std::span<const std::uint8_t> file) {
  if (file.size() < kIconHeaderBytes || le::ReadU16(file.data()) != 0 || le::ReadU16(file.data() + 2) != kIconType) {
    return Refused("not an icon file (no icon header)");
  }
  const std::size_t count = le::ReadU16(file.data() + 4);
  if (count == 0) return Refused("the icon file holds no image");
  if (kIconHeaderBytes + count * kFileEntryBytes > file.size()) return Refused("cut-off icon directory");

  IconFileResult result;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = file.data() + kIconHeaderBytes + i * kFileEntryBytes;
    const std::string which = "icon image " + std::to_string(i + 1);
    const std::uint32_t size = le::ReadU32(entry + 8);
    const std::uint32_t offset = le::ReadU32(entry + 12);
    if (size == 0 || offset > file.size() || size > file.size() - offset)
      return Refused(which + " lies outside the file");
    const std::span<const std::uint8_t> bytes = file.subspan(offset, size);
    IconImage image;
    image.width = entry[0] == 0 ? 256 : entry[0];
    image.height = entry[1] == 0 ? 256 : entry[1];
    image.colorCount = entry[2];
    image.planes = le::ReadU16(entry + 4);
    image.bitCount = le::ReadU16(entry + 6);
    if (IsPng(bytes)) {
      // IHDR: width, height, bit depth, colour type; colour type 6 is RGBA.
      const std::uint8_t depth = bytes[24];
      const std::uint8_t colourType = bytes[25];
      if (image.bitCount == 0) image.bitCount = colourType == 6 ? static_cast<std::uint16_t>(depth * 4) : depth;
    } else if (IsBitmap(bytes)) {
      if (image.bitCount == 0) image.bitCount = le::ReadU16(bytes.data() + 14);
    } else {
      return Refused(which + " is neither a PNG image nor a bitmap");
    }
    if (image.planes == 0) image.planes = 1;
    image.bytes.assign(bytes.begin(), bytes.end());
    result.images.push_back(std::move(image));
  }
  return result;
}

PayloadBuffer MakeIconGroup(const std::vector<IconImage>& images, std::uint16_t firstId) {
  PayloadBuffer group;
  AppendU16(group, 0);
  AppendU16(group, kIconType);
  AppendU16(group, static_cast<std::uint16_t>(images.size()));
  std::uint16_t id = firstId;
  for (const IconImage& image : images) {
    group.push_back(static_cast<std::uint8_t>(image.width >= 256 ? 0 : image.width));
    group.push_back(static_cast<std::uint8_t>(image.height >= 256 ? 0 : image.height));
    group.push_back(image.colorCount);
    group.push_back(0);
    AppendU16(group, image.planes);
    AppendU16(group, image.bitCount);
    AppendU32(group, static_cast<std::uint32_t>(image.bytes.size()));
    AppendU16(group, id++);
  }
  return group;
}

std::optional<std::vector<IconGroupEntry>> ParseIconGroup(std::span<const std::uint8_t> group) {
  if (group.size() < kIconHeaderBytes || le::ReadU16(group.data() + 2) != kIconType) return std::nullopt;
  const std::size_t count = le::ReadU16(group.data() + 4);
  if (kIconHeaderBytes + count * kGroupEntryBytes > group.size()) return std::nullopt;
  std::vector<IconGroupEntry> entries;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = group.data() + kIconHeaderBytes + i * kGroupEntryBytes;
    entries.push_back({static_cast<std::uint16_t>(entry[0] == 0 ? 256 : entry[0]),
                       static_cast<std::uint16_t>(entry[1] == 0 ? 256 : entry[1]), le::ReadU16(entry + 6),
                       le::ReadU32(entry + 8), le::ReadU16(entry + 12)});
  }
  return entries;
}

}  // namespace brisk

#include "pe_image.h"

#include <algorithm>
#include <functional>

#include "payload/byte_order.h"

namespace brisk::pe {

namespace {

constexpr std::size_t kDosHeaderBytes = 64;
constexpr std::size_t kAtNewHeader = 0x3C;
constexpr std::size_t kCoffHeaderBytes = 20;
constexpr std::size_t kSectionHeaderBytes = 40;
constexpr std::size_t kMaxSections = 96;
constexpr std::size_t kMaxDirectories = 16;
constexpr std::size_t kResourceDirectoryBytes = 16;
constexpr std::size_t kResourceEntryBytes = 8;
constexpr std::size_t kResourceDataEntryBytes = 16;
constexpr std::size_t kExportDirectoryBytes = 40;
constexpr std::size_t kDebugEntryBytes = 28;
constexpr std::uint32_t kHighBit = 0x80000000u;

bool Fits(std::size_t size, std::uint64_t offset, std::uint64_t length) {
  return offset <= size && length <= size - offset;
}

ImageResult Refused(const std::string& why) { return {std::nullopt, why}; }

// Walks the three levels of the resource tree (type, name, language). Calls
// `directory` with the file offset of every directory table and `leaf` with
// every data entry. False when any part lies outside the resource section.
struct ResourceTree {
  std::span<const std::uint8_t> file;
  std::size_t base = 0;   // file offset of the root directory
  std::size_t limit = 0;  // end of the section that holds it
  std::function<void(std::size_t)> directory;
  std::function<void(const ResourceEntry&)> leaf;

  bool Name(std::uint32_t field, ResourceName& name) const {
    if (!(field & kHighBit)) {
      name.id = static_cast<std::uint16_t>(field);
      return true;
    }
    const std::size_t at = base + (field & ~kHighBit);
    if (at + 2 > limit) return false;
    const std::size_t length = le::ReadU16(file.data() + at);
    if (length == 0 || at + 2 + 2 * length > limit) return false;
    for (std::size_t i = 0; i < length; ++i)
      name.text.push_back(static_cast<char16_t>(le::ReadU16(file.data() + at + 2 + 2 * i)));
    return true;
  }

  bool Walk(std::size_t offset, int level, ResourceEntry entry) const {
    const std::size_t at = base + offset;
    if (at + kResourceDirectoryBytes > limit) return false;
    if (directory) directory(at);
    const std::size_t count = std::size_t{le::ReadU16(file.data() + at + 12)} + le::ReadU16(file.data() + at + 14);
    if (at + kResourceDirectoryBytes + count * kResourceEntryBytes > limit) return false;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* item = file.data() + at + kResourceDirectoryBytes + i * kResourceEntryBytes;
      const std::uint32_t nameField = le::ReadU32(item);
      const std::uint32_t target = le::ReadU32(item + 4);
      ResourceEntry child = entry;
      if (level == 0) {
        child.type = {};
        if (!Name(nameField, child.type)) return false;
      } else if (level == 1) {
        child.name = {};
        if (!Name(nameField, child.name)) return false;
      } else {
        if (nameField & kHighBit) return false;
        child.language = static_cast<std::uint16_t>(nameField);
      }
      const bool isDirectory = (target & kHighBit) != 0;
      if (isDirectory != (level < 2)) return false;
      if (isDirectory) {
        if (!Walk(target & ~kHighBit, level + 1, child)) return false;
        continue;
      }
      const std::size_t data = base + target;
      if (data + kResourceDataEntryBytes > limit) return false;
      child.dataRva = le::ReadU32(file.data() + data);
      child.size = le::ReadU32(file.data() + data + 4);
      if (leaf) leaf(child);
    }
    return true;
  }
};

std::optional<ResourceTree> OpenTree(std::span<const std::uint8_t> file, const Image& image) {
  const DataDirectory resources = image.Directory(kResourceDirectory);
  if (resources.address == 0 || resources.size == 0) return ResourceTree{file, 0, 0, {}, {}};
  for (const Section& section : image.sections) {
    if (resources.address < section.virtualAddress || resources.address - section.virtualAddress >= section.rawSize) {
      continue;
    }
    ResourceTree tree;
    tree.file = file;
    tree.base = section.rawOffset + (resources.address - section.virtualAddress);
    tree.limit = std::size_t{section.rawOffset} + section.rawSize;
    return tree;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::size_t> Image::FileOffset(std::uint32_t rva, std::uint32_t length) const {
  for (const Section& section : sections) {
    if (rva < section.virtualAddress) continue;
    const std::uint64_t into = rva - section.virtualAddress;
    if (into + length <= section.rawSize) return section.rawOffset + static_cast<std::size_t>(into);
  }
  return std::nullopt;
}

ImageResult ParseImage(std::span<const std::uint8_t> file) {
  const std::uint8_t* bytes = file.data();
  if (file.size() < kDosHeaderBytes || bytes[0] != 'M' || bytes[1] != 'Z')
    return Refused("not an executable (no MZ header)");
  const std::size_t peAt = le::ReadU32(bytes + kAtNewHeader);
  if (!Fits(file.size(), peAt, 4 + kCoffHeaderBytes) || bytes[peAt] != 'P' || bytes[peAt + 1] != 'E' ||
      bytes[peAt + 2] != 0 || bytes[peAt + 3] != 0) {
    return Refused("not a PE image (no PE header)");
  }
  Image image;
  const std::size_t coff = peAt + 4;
  image.machine = le::ReadU16(bytes + coff);
  const std::size_t sectionCount = le::ReadU16(bytes + coff + 2);
  image.timeStampOffset = coff + 4;
  image.symbolTable = le::ReadU32(bytes + coff + 8);
  const std::size_t optionalBytes = le::ReadU16(bytes + coff + 16);
  image.characteristics = le::ReadU16(bytes + coff + 18);
  const std::size_t optional = coff + kCoffHeaderBytes;
  image.optionalOffset = optional;
  if (!Fits(file.size(), optional, optionalBytes) || optionalBytes < 2) return Refused("cut-off PE header");
  image.optionalMagic = le::ReadU16(bytes + optional);
  std::size_t countAt = 0;
  if (image.optionalMagic == kOptionalHeaderPe32) {
    countAt = 92;
  } else if (image.optionalMagic == kOptionalHeaderPe32Plus) {
    countAt = 108;
  } else {
    return Refused("unknown optional header");
  }
  if (optionalBytes < countAt + 4) return Refused("cut-off optional header");
  image.checksumOffset = optional + 64;
  image.subsystem = le::ReadU16(bytes + optional + 68);
  const std::size_t headerBytes = le::ReadU32(bytes + optional + 60);
  const std::size_t directoryCount = le::ReadU32(bytes + optional + countAt);
  image.directoryOffset = optional + countAt + 4;
  if (directoryCount > kMaxDirectories || countAt + 4 + directoryCount * 8 > optionalBytes) {
    return Refused("damaged data directory");
  }
  for (std::size_t i = 0; i < directoryCount; ++i) {
    const std::uint8_t* entry = bytes + image.directoryOffset + 8 * i;
    image.directories.push_back({le::ReadU32(entry), le::ReadU32(entry + 4)});
  }
  const std::size_t table = optional + optionalBytes;
  image.sectionTableOffset = table;
  if (sectionCount == 0 || sectionCount > kMaxSections ||
      !Fits(file.size(), table, sectionCount * kSectionHeaderBytes)) {
    return Refused("damaged section table");
  }
  image.imageEnd = std::max<std::uint64_t>(headerBytes, table + sectionCount * kSectionHeaderBytes);
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t* header = bytes + table + i * kSectionHeaderBytes;
    Section section;
    section.name.assign(reinterpret_cast<const char*>(header), 8);
    section.name.resize(section.name.find('\0') == std::string::npos ? 8 : section.name.find('\0'));
    section.virtualSize = le::ReadU32(header + 8);
    section.virtualAddress = le::ReadU32(header + 12);
    section.rawSize = le::ReadU32(header + 16);
    section.rawOffset = le::ReadU32(header + 20);
    section.characteristics = le::ReadU32(header + 36);
    if (section.rawSize != 0) {
      if (!Fits(file.size(), section.rawOffset, section.rawSize)) {
        return Refused("section " + section.name + " lies beyond the end of the file (cut off?)");
      }
      image.imageEnd = std::max<std::uint64_t>(image.imageEnd, std::uint64_t{section.rawOffset} + section.rawSize);
    }
    image.sections.push_back(std::move(section));
  }
  if (image.imageEnd > file.size()) return Refused("headers lie beyond the end of the file (cut off?)");
  return {std::move(image), {}};
}

std::optional<std::vector<ResourceEntry>> ListResources(std::span<const std::uint8_t> file, const Image& image) {
  std::optional<ResourceTree> tree = OpenTree(file, image);
  if (!tree) return std::nullopt;
  std::vector<ResourceEntry> entries;
  if (tree->limit == 0) return entries;
  tree->leaf = [&](const ResourceEntry& entry) { entries.push_back(entry); };
  if (!tree->Walk(0, 0, {})) return std::nullopt;
  return entries;
}

std::span<const std::uint8_t> ResourceBytes(std::span<const std::uint8_t> file, const Image& image,
                                            const ResourceEntry& entry) {
  const std::optional<std::size_t> at = image.FileOffset(entry.dataRva, entry.size);
  if (!at) return {};
  return file.subspan(*at, entry.size);
}

bool SetTimeStamps(std::span<std::uint8_t> file, const Image& image, std::uint32_t stamp) {
  le::WriteU32(file.data() + image.timeStampOffset, stamp);

  const DataDirectory exports = image.Directory(kExportDirectory);
  if (exports.size != 0) {
    const auto at = image.FileOffset(exports.address, kExportDirectoryBytes);
    if (!at) return false;
    le::WriteU32(file.data() + *at + 4, stamp);
  }

  const DataDirectory debug = image.Directory(kDebugDirectory);
  for (std::uint32_t i = 0; i < debug.size / kDebugEntryBytes; ++i) {
    const auto at = image.FileOffset(debug.address + i * kDebugEntryBytes, kDebugEntryBytes);
    if (!at) return false;
    le::WriteU32(file.data() + *at + 4, stamp);
  }

  std::optional<ResourceTree> tree = OpenTree(file, image);
  if (!tree) return false;
  if (tree->limit == 0) return true;
  std::vector<std::size_t> directories;
  tree->directory = [&](std::size_t at) { directories.push_back(at); };
  if (!tree->Walk(0, 0, {})) return false;
  for (std::size_t at : directories) le::WriteU32(file.data() + at + 4, stamp);
  return true;
}

std::uint32_t ComputeChecksum(std::span<const std::uint8_t> file, std::size_t checksumOffset) {
  std::uint64_t sum = 0;
  const std::size_t size = file.size();
  // The checksum field counts as zero, wherever it lies.
  const auto byte = [&](std::size_t at) -> std::uint32_t {
    return at >= size || (at >= checksumOffset && at - checksumOffset < 4) ? 0 : file[at];
  };
  for (std::size_t at = 0; at < size; at += 2) {
    sum += byte(at) | (byte(at + 1) << 8);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + size);
}

void WriteChecksum(std::span<std::uint8_t> file, const Image& image) {
  le::WriteU32(file.data() + image.checksumOffset, ComputeChecksum(file, image.checksumOffset));
}

bool HasCertificateTable(std::span<const std::uint8_t> file, const Image& image) {
  const DataDirectory table = image.Directory(kCertificateTable);
  return table.address != 0 && table.size != 0 && Fits(file.size(), table.address, table.size);
}

bool RemoveCertificateTable(std::vector<std::uint8_t>& file, const Image& image) {
  const DataDirectory table = image.Directory(kCertificateTable);
  if (!HasCertificateTable(file, image) || table.address < image.imageEnd ||
      std::uint64_t{table.address} + table.size != file.size()) {
    return false;
  }
  // Signing tools pad the image to eight bytes before the table: zeros
  // after the image go with it.
  std::size_t end = table.address;
  while (end > image.imageEnd && file[end - 1] == 0) --end;
  file.resize(end);
  le::WriteU32(file.data() + image.directoryOffset + 8 * kCertificateTable, 0);
  le::WriteU32(file.data() + image.directoryOffset + 8 * kCertificateTable + 4, 0);
  return true;
}

}  // namespace brisk::pe

#include "resource_section.h"

#include <algorithm>
#include <cstddef>

#include "payload/byte_order.h"

namespace brisk::pe {

namespace {

constexpr std::size_t kDirectoryBytes = 16;
constexpr std::size_t kEntryBytes = 8;
constexpr std::size_t kDataEntryBytes = 16;
constexpr std::uint64_t kDataAlignment = 8;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint32_t kInitializedData = 0x00000040u;
// Offsets in the optional header, the same in PE32 and PE32+.
constexpr std::size_t kAtSizeOfInitializedData = 8;
constexpr std::size_t kAtEntryPoint = 16;
constexpr std::size_t kAtSectionAlignment = 32;
constexpr std::size_t kAtFileAlignment = 36;
constexpr std::size_t kAtSizeOfImage = 56;
constexpr std::size_t kSectionHeaderBytes = 40;
constexpr std::size_t kRelocationBlockBytes = 8;

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

bool PowerOfTwo(std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

int CompareNames(const ResourceName& a, const ResourceName& b) {
  if (a.text.empty() != b.text.empty()) return a.text.empty() ? 1 : -1;
  if (a.text.empty()) return a.id == b.id ? 0 : (a.id < b.id ? -1 : 1);
  const std::size_t common = std::min(a.text.size(), b.text.size());
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t x = FoldResourceNameUnit(a.text[i]);
    const char16_t y = FoldResourceNameUnit(b.text[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.text.size() == b.text.size() ? 0 : (a.text.size() < b.text.size() ? -1 : 1);
}

std::string Describe(const ResourceName& name) {
  if (name.text.empty()) return std::to_string(name.id);
  std::string text;
  for (char16_t unit : name.text) text += unit < 0x80 && unit >= 0x20 ? static_cast<char>(unit) : '?';
  return "\"" + text + "\"";
}

// The tree of the resources, sorted: types, their names, their languages.
struct NameNode {
  const ResourceName* name;
  std::vector<const ResourceItem*> languages;
};
struct TypeNode {
  const ResourceName* type;
  std::vector<NameNode> names;
};

void Put16(std::vector<std::uint8_t>& bytes, std::uint64_t at, std::uint32_t value) {
  le::WriteU16(bytes.data() + at, static_cast<std::uint16_t>(value));
}
void Put32(std::vector<std::uint8_t>& bytes, std::uint64_t at, std::uint64_t value) {
  le::WriteU32(bytes.data() + at, static_cast<std::uint32_t>(value));
}

void PutDirectory(std::vector<std::uint8_t>& bytes, std::uint64_t at, std::size_t named, std::size_t numbered) {
  Put16(bytes, at + 12, static_cast<std::uint32_t>(named));
  Put16(bytes, at + 14, static_cast<std::uint32_t>(numbered));
}

// A name's string: its length in code units, then the units.
void PutString(std::vector<std::uint8_t>& bytes, std::uint64_t at, const ResourceName& name) {
  if (name.text.empty()) return;
  Put16(bytes, at, static_cast<std::uint32_t>(name.text.size()));
  for (std::size_t c = 0; c < name.text.size(); ++c) Put16(bytes, at + 2 + 2 * c, name.text[c]);
}

std::size_t CountNamed(const std::vector<NameNode>& names) {
  return static_cast<std::size_t>(
      std::count_if(names.begin(), names.end(), [](const NameNode& node) { return !node.name->text.empty(); }));
}

std::string Refused(const std::string& why) { return "cannot rewrite its resources: " + why; }

}  // namespace

char16_t FoldResourceNameUnit(char16_t unit) {
  if ((unit >= u'a' && unit <= u'z') || (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7) ||
      (unit >= 0x3B1 && unit <= 0x3CB && unit != 0x3C2) || (unit >= 0x430 && unit <= 0x44F)) {
    return static_cast<char16_t>(unit - 0x20);
  }
  if (unit >= 0x450 && unit <= 0x45F) return static_cast<char16_t>(unit - 0x50);
  return unit;
}

bool ResourceNameBefore(const ResourceName& a, const ResourceName& b) { return CompareNames(a, b) < 0; }

ResourceSectionLayout LayOutResourceSection(std::vector<ResourceItem> resources, std::uint32_t sectionRva) {
  std::stable_sort(resources.begin(), resources.end(), [](const ResourceItem& a, const ResourceItem& b) {
    if (const int type = CompareNames(a.type, b.type)) return type < 0;
    if (const int name = CompareNames(a.name, b.name)) return name < 0;
    return a.language < b.language;
  });
  std::vector<TypeNode> types;
  for (std::size_t i = 0; i < resources.size(); ++i) {
    const ResourceItem& item = resources[i];
    const bool newType = i == 0 || CompareNames(resources[i - 1].type, item.type) != 0;
    const bool newName = newType || CompareNames(resources[i - 1].name, item.name) != 0;
    // The loader finds a type or a name whatever its case: two spellings of
    // one would read back as one of them.
    if (!newType && resources[i - 1].type.text != item.type.text) {
      return {{}, "resource types " + Describe(resources[i - 1].type) + " and " + Describe(item.type) +
                      " differ only in case"};
    }
    if (!newName && resources[i - 1].name.text != item.name.text) {
      return {{}, "resource names " + Describe(resources[i - 1].name) + " and " + Describe(item.name) +
                      " differ only in case"};
    }
    if (!newName && resources[i - 1].language == item.language) {
      return {{},
              "two resources of type " + Describe(item.type) + ", name " + Describe(item.name) + " and language " +
                  std::to_string(item.language)};
    }
    if (newType) types.push_back({&item.type, {}});
    if (newName) types.back().names.push_back({&item.name, {}});
    types.back().names.back().languages.push_back(&item);
  }

  // Offsets within the section, in the order the parts are laid out.
  std::uint64_t size = kDirectoryBytes + kEntryBytes * types.size();
  std::vector<std::uint64_t> typeAt, languagesAt;
  for (const TypeNode& type : types) {
    typeAt.push_back(size);
    size += kDirectoryBytes + kEntryBytes * type.names.size();
    for (const NameNode& name : type.names) {
      languagesAt.push_back(size);
      size += kDirectoryBytes + kEntryBytes * name.languages.size();
    }
  }
  std::vector<std::uint64_t> stringAt;
  const auto addString = [&](const ResourceName& name) {
    stringAt.push_back(size);
    if (!name.text.empty()) size += 2 + 2 * name.text.size();
  };
  for (const TypeNode& type : types) {
    addString(*type.type);
    for (const NameNode& name : type.names) addString(*name.name);
  }
  size = AlignUp(size, kDataAlignment);
  const std::uint64_t dataEntriesAt = size;
  size += kDataEntryBytes * resources.size();
  std::vector<std::uint64_t> dataAt;
  for (const ResourceItem& item : resources) {
    size = AlignUp(size, kDataAlignment);
    dataAt.push_back(size);
    size += item.bytes.size();
  }
  size = AlignUp(size, kDataAlignment);
  if (size + sectionRva > 0x7FFFFFFFu) return {{}, "the resources do not fit a PE image (" + std::to_string(size) + " bytes)"};

  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size), 0);
  const std::size_t namedTypes = static_cast<std::size_t>(
      std::count_if(types.begin(), types.end(), [](const TypeNode& node) { return !node.type->text.empty(); }));
  PutDirectory(bytes, 0, namedTypes, types.size() - namedTypes);
  std::size_t nameIndex = 0, stringIndex = 0, item = 0;
  for (std::size_t t = 0; t < types.size(); ++t) {
    const TypeNode& type = types[t];
    const std::uint64_t rootEntry = kDirectoryBytes + kEntryBytes * t;
    const std::uint64_t typeString = stringAt[stringIndex++];
    Put32(bytes, rootEntry, type.type->text.empty() ? type.type->id : (kHighBit | typeString));
    Put32(bytes, rootEntry + 4, kHighBit | typeAt[t]);
    const std::size_t named = CountNamed(type.names);
    PutDirectory(bytes, typeAt[t], named, type.names.size() - named);
    for (std::size_t n = 0; n < type.names.size(); ++n, ++nameIndex) {
      const NameNode& name = type.names[n];
      const std::uint64_t typeEntry = typeAt[t] + kDirectoryBytes + kEntryBytes * n;
      const std::uint64_t nameString = stringAt[stringIndex++];
      Put32(bytes, typeEntry, name.name->text.empty() ? name.name->id : (kHighBit | nameString));
      Put32(bytes, typeEntry + 4, kHighBit | languagesAt[nameIndex]);
      const std::uint64_t languages = languagesAt[nameIndex];
      PutDirectory(bytes, languages, 0, name.languages.size());
      for (std::size_t l = 0; l < name.languages.size(); ++l, ++item) {
        const std::uint64_t languageEntry = languages + kDirectoryBytes + kEntryBytes * l;
        const std::uint64_t dataEntry = dataEntriesAt + kDataEntryBytes * item;
        Put32(bytes, languageEntry, name.languages[l]->language);
        Put32(bytes, languageEntry + 4, dataEntry);
        Put32(bytes, dataEntry, sectionRva + dataAt[item]);
        Put32(bytes, dataEntry + 4, name.languages[l]->bytes.size());
        std::copy(name.languages[l]->bytes.begin(), name.languages[l]->bytes.end(), bytes.begin() + dataAt[item]);
      }
    }
  }
  stringIndex = 0;
  for (const TypeNode& type : types) {
    PutString(bytes, stringAt[stringIndex++], *type.type);
    for (const NameNode& name : type.names) PutString(bytes, stringAt[stringIndex++], *name.name);
  }
  return {std::move(bytes), {}};
}

std::string ReplaceResources(std::vector<std::uint8_t>& file, const std::vector<ResourceItem>& resources) {
  const ImageResult parsed = ParseImage(file);
  if (!parsed.image) return parsed.error;
  const Image& image = *parsed.image;
  if (image.symbolTable != 0) return Refused("it carries a COFF symbol table");
  const DataDirectory certificate = image.Directory(kCertificateTable);
  if (certificate.address != 0 || certificate.size != 0) return Refused("it carries a certificate table");
  if (image.Directory(kDebugDirectory).size != 0) return Refused("it carries a debug directory");
  if (file.size() > image.imageEnd) return Refused("data is appended after its image");

  const std::uint8_t* optional = file.data() + image.optionalOffset;
  const std::uint32_t sectionAlignment = le::ReadU32(optional + kAtSectionAlignment);
  const std::uint32_t fileAlignment = le::ReadU32(optional + kAtFileAlignment);
  if (!PowerOfTwo(sectionAlignment) || !PowerOfTwo(fileAlignment) || fileAlignment > sectionAlignment) {
    return Refused("its section or file alignment is not a power of two");
  }

  // Sections in address order; none may overlap another, in memory or in
  // the file, and the file keeps them in the same order.
  std::vector<std::size_t> order(image.sections.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return image.sections[a].virtualAddress < image.sections[b].virtualAddress;
  });
  const auto span = [](const Section& section) -> std::uint64_t {
    return section.virtualSize != 0 ? section.virtualSize : section.rawSize;
  };
  std::uint64_t memoryEnd = 0, fileEnd = 0;
  for (std::size_t i : order) {
    const Section& section = image.sections[i];
    if (section.virtualAddress < memoryEnd) return Refused("its sections overlap");
    memoryEnd = AlignUp(std::uint64_t{section.virtualAddress} + span(section), sectionAlignment);
    if (section.rawSize == 0) continue;
    if (section.rawOffset < fileEnd) return Refused("its sections overlap or are out of order in the file");
    fileEnd = std::uint64_t{section.rawOffset} + section.rawSize;
  }

  const DataDirectory resourceDirectory = image.Directory(kResourceDirectory);
  std::size_t resourceOrder = order.size();
  for (std::size_t k = 0; k < order.size(); ++k) {
    const Section& section = image.sections[order[k]];
    if (resourceDirectory.address != 0 && section.virtualAddress == resourceDirectory.address && section.rawSize != 0) {
      resourceOrder = k;
    }
  }
  if (resourceOrder == order.size()) return Refused("it has no section that starts with its resource directory");
  const std::size_t resourceIndex = order[resourceOrder];
  const Section& resourceSection = image.sections[resourceIndex];
  if (resourceSection.rawOffset % fileAlignment != 0 || resourceSection.rawSize % fileAlignment != 0) {
    return Refused("its resource section is not aligned to the file alignment");
  }

  // What lies in a section that moves or changes: only the directory entry
  // that this rewrite keeps up to date, and no entry point.
  const auto onlyDirectoryIn = [&](const Section& section, std::size_t allowed) {
    const std::uint64_t begin = section.virtualAddress;
    const std::uint64_t end = begin + std::max<std::uint64_t>(span(section), 1);
    for (std::size_t d = 0; d < image.directories.size(); ++d) {
      const DataDirectory entry = image.directories[d];
      if (d == allowed || d == kCertificateTable || entry.size == 0) continue;
      if (entry.address < end && std::uint64_t{entry.address} + entry.size > begin) return false;
    }
    const std::uint32_t entryPoint = le::ReadU32(optional + kAtEntryPoint);
    return !(entryPoint >= begin && entryPoint < end);
  };
  if (!onlyDirectoryIn(resourceSection, kResourceDirectory)) {
    return Refused("its resource section holds other data of the image");
  }
  const DataDirectory relocations = image.Directory(kBaseRelocationTable);
  for (std::size_t k = resourceOrder + 1; k < order.size(); ++k) {
    const Section& later = image.sections[order[k]];
    const bool relocationSection = relocations.size != 0 && relocations.address == later.virtualAddress &&
                                   relocations.size <= span(later) && relocations.size <= later.rawSize &&
                                   onlyDirectoryIn(later, kBaseRelocationTable);
    if (!relocationSection) {
      return Refused("its resource section is followed by section " + later.name + ", which cannot be moved");
    }
    // The relocations may name addresses up to the resource section; those
    // of the sections that move would move with them.
    const std::size_t at = later.rawOffset;
    for (std::uint64_t block = 0; block + kRelocationBlockBytes <= relocations.size;) {
      const std::uint32_t page = le::ReadU32(file.data() + at + block);
      const std::uint32_t blockBytes = le::ReadU32(file.data() + at + block + 4);
      if (blockBytes < kRelocationBlockBytes) return Refused("its relocations are damaged");
      if (page >= resourceSection.virtualAddress) return Refused("its relocations reach into sections that move");
      block += blockBytes;
    }
  }

  ResourceSectionLayout layout = LayOutResourceSection(resources, resourceSection.virtualAddress);
  if (!layout.error.empty()) return Refused(layout.error);
  const std::uint64_t newVirtualSize = layout.bytes.size();
  const std::uint64_t newRawSize = AlignUp(newVirtualSize, fileAlignment);
  const std::int64_t fileShift = static_cast<std::int64_t>(newRawSize) - resourceSection.rawSize;
  const std::int64_t memoryShift =
      static_cast<std::int64_t>(AlignUp(resourceSection.virtualAddress + newVirtualSize, sectionAlignment)) -
      static_cast<std::int64_t>(AlignUp(std::uint64_t{resourceSection.virtualAddress} + span(resourceSection),
                                        sectionAlignment));
  const std::uint64_t newFileSize = file.size() + fileShift;
  if (newFileSize > 0xFFFFFFFFu || memoryEnd + memoryShift > 0x7FFFFFFFu) {
    return Refused("the resources do not fit a PE image");
  }

  std::vector<std::uint8_t> result;
  result.reserve(static_cast<std::size_t>(newFileSize));
  const std::size_t oldEnd = std::size_t{resourceSection.rawOffset} + resourceSection.rawSize;
  result.insert(result.end(), file.begin(), file.begin() + resourceSection.rawOffset);
  result.insert(result.end(), layout.bytes.begin(), layout.bytes.end());
  result.resize(result.size() + static_cast<std::size_t>(newRawSize - newVirtualSize), 0);
  result.insert(result.end(), file.begin() + oldEnd, file.end());
  layout.bytes = {};

  std::uint8_t* header = result.data() + image.sectionTableOffset + kSectionHeaderBytes * resourceIndex;
  le::WriteU32(header + 8, static_cast<std::uint32_t>(newVirtualSize));
  le::WriteU32(header + 16, static_cast<std::uint32_t>(newRawSize));
  std::uint64_t imageSize = 0;
  for (std::size_t k = 0; k < order.size(); ++k) {
    const Section& section = image.sections[order[k]];
    std::uint64_t address = section.virtualAddress;
    if (k > resourceOrder) {
      header = result.data() + image.sectionTableOffset + kSectionHeaderBytes * order[k];
      address += memoryShift;
      le::WriteU32(header + 12, static_cast<std::uint32_t>(address));
      if (section.rawSize != 0) le::WriteU32(header + 20, static_cast<std::uint32_t>(section.rawOffset + fileShift));
    }
    imageSize = std::max(imageSize, address + (k == resourceOrder ? newVirtualSize : span(section)));
  }
  std::uint8_t* newOptional = result.data() + image.optionalOffset;
  le::WriteU32(newOptional + kAtSizeOfImage, static_cast<std::uint32_t>(AlignUp(imageSize, sectionAlignment)));
  if (resourceSection.characteristics & kInitializedData) {
    const std::uint32_t initialized = le::ReadU32(newOptional + kAtSizeOfInitializedData);
    le::WriteU32(newOptional + kAtSizeOfInitializedData, static_cast<std::uint32_t>(initialized + fileShift));
  }
  std::uint8_t* directory = result.data() + image.directoryOffset;
  le::WriteU32(directory + 8 * kResourceDirectory + 4, static_cast<std::uint32_t>(newVirtualSize));
  if (relocations.size != 0 && relocations.address > resourceSection.virtualAddress) {
    le::WriteU32(directory + 8 * kBaseRelocationTable, static_cast<std::uint32_t>(relocations.address + memoryShift));
  }
  WriteChecksum(result, image);
  file = std::move(result);
  return {};
}

}  // namespace brisk::pe

// Small PE images made by the builder's tests: headers, one code section
// and a resource section with the resources asked for.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "payload/byte_order.h"
#include "payload/payload_buffer.h"
#include "pe_image.h"
#include "version_resource.h"

namespace brisk::test {

struct TestResource {
  pe::ResourceName type;
  pe::ResourceName name;
  std::uint16_t language = 0x409;
  PayloadBuffer bytes;
};

struct TestImageOptions {
  // An x86-64 machine gets a PE32+ optional header, every other a PE32 one.
  std::uint16_t machine = pe::kMachineI386;
  std::uint16_t characteristics = 0x0102;  // executable, 32-bit
  std::uint16_t subsystem = pe::kSubsystemWindowsGui;
  // A base-relocation section after the resources, as the linker puts it.
  bool relocations = false;
  // The checksum of the finished image, as the linker writes it.
  bool checksum = true;
};

// Layout: headers up to 0x200; .text at RVA 0x1000 (file 0x200, 0x200
// bytes); .rsrc at RVA 0x2000 (file 0x400); with relocations, .reloc on the
// next page after .rsrc and the next 0x200 bytes of the file, holding one
// block of two relocations in .text.
inline constexpr std::size_t kTestOptionalHeader = 0x58;
inline constexpr std::size_t kTestResourceFileOffset = 0x400;
inline constexpr std::uint32_t kTestResourceRva = 0x2000;

namespace detail {

inline void Put16(PayloadBuffer& bytes, std::size_t at, std::uint32_t value) {
  le::WriteU16(bytes.data() + at, static_cast<std::uint16_t>(value));
}
inline void Put32(PayloadBuffer& bytes, std::size_t at, std::uint32_t value) { le::WriteU32(bytes.data() + at, value); }

// Named entries before numbered ones, each kind in ascending order.
inline bool NameBefore(const pe::ResourceName& a, const pe::ResourceName& b) {
  if (a.text.empty() != b.text.empty()) return !a.text.empty();
  return a.text.empty() ? a.id < b.id : a.text < b.text;
}

// The resource section's bytes: every directory table first, then the name
// strings, the data entries and the data.
inline PayloadBuffer ResourceSection(std::vector<TestResource> resources) {
  std::sort(resources.begin(), resources.end(), [](const TestResource& a, const TestResource& b) {
    if (!(a.type == b.type)) return NameBefore(a.type, b.type);
    if (!(a.name == b.name)) return NameBefore(a.name, b.name);
    return a.language < b.language;
  });
  struct Directory {
    std::vector<std::pair<std::uint32_t, std::size_t>> entries;  // name field, child directory or data index
    bool leaves = false;
    std::vector<std::pair<const pe::ResourceName*, std::size_t>> names;
  };
  // Directories in the order they are laid out: the root, the types' name
  // directories, the names' language directories.
  std::vector<Directory> directories(1);
  std::vector<const pe::ResourceName*> strings;
  std::map<std::size_t, std::size_t> typeDirectory, nameDirectory;  // first resource index -> directory
  for (std::size_t i = 0; i < resources.size(); ++i) {
    if (i == 0 || !(resources[i].type == resources[i - 1].type)) {
      typeDirectory[i] = directories.size();
      directories.emplace_back();
    }
  }
  for (std::size_t i = 0; i < resources.size(); ++i) {
    if (i == 0 || !(resources[i].type == resources[i - 1].type) || !(resources[i].name == resources[i - 1].name)) {
      nameDirectory[i] = directories.size();
      directories.emplace_back();
      directories.back().leaves = true;
    }
  }
  std::size_t offset = 0;
  std::vector<std::size_t> directoryOffsets;
  std::size_t currentType = 0, currentName = 0;
  for (std::size_t i = 0; i < resources.size(); ++i) {
    if (typeDirectory.count(i)) {
      currentType = typeDirectory[i];
      directories[0].names.push_back({&resources[i].type, currentType});
    }
    if (nameDirectory.count(i)) {
      currentName = nameDirectory[i];
      directories[currentType].names.push_back({&resources[i].name, currentName});
    }
    directories[currentName].entries.push_back({resources[i].language, i});
  }
  for (const Directory& directory : directories) {
    directoryOffsets.push_back(offset);
    offset += 16 + 8 * (directory.leaves ? directory.entries.size() : directory.names.size());
  }
  std::map<const pe::ResourceName*, std::size_t> stringOffsets;
  for (const Directory& directory : directories) {
    for (const auto& [name, child] : directory.names) {
      if (name->text.empty()) continue;
      stringOffsets[name] = offset;
      offset += 2 + 2 * name->text.size();
    }
  }
  offset = (offset + 3) & ~std::size_t{3};
  const std::size_t dataEntries = offset;
  offset += 16 * resources.size();
  std::vector<std::size_t> dataOffsets;
  for (const TestResource& resource : resources) {
    dataOffsets.push_back(offset);
    offset = (offset + resource.bytes.size() + 3) & ~std::size_t{3};
  }
  PayloadBuffer section(offset, 0);
  for (std::size_t d = 0; d < directories.size(); ++d) {
    const Directory& directory = directories[d];
    const std::size_t at = directoryOffsets[d];
    std::size_t named = 0;
    for (const auto& [name, child] : directory.names) named += name->text.empty() ? 0 : 1;
    const std::size_t count = directory.leaves ? directory.entries.size() : directory.names.size();
    Put16(section, at + 12, static_cast<std::uint32_t>(directory.leaves ? 0 : named));
    Put16(section, at + 14, static_cast<std::uint32_t>(count - (directory.leaves ? 0 : named)));
    for (std::size_t e = 0; e < count; ++e) {
      const std::size_t entry = at + 16 + 8 * e;
      if (directory.leaves) {
        Put32(section, entry, directory.entries[e].first);
        Put32(section, entry + 4, static_cast<std::uint32_t>(dataEntries + 16 * directory.entries[e].second));
      } else {
        const auto& [name, child] = directory.names[e];
        Put32(section, entry, name->text.empty() ? name->id : (0x80000000u | stringOffsets[name]));
        Put32(section, entry + 4, 0x80000000u | static_cast<std::uint32_t>(directoryOffsets[child]));
      }
    }
  }
  for (const auto& [name, at] : stringOffsets) {
    Put16(section, at, static_cast<std::uint32_t>(name->text.size()));
    for (std::size_t c = 0; c < name->text.size(); ++c) Put16(section, at + 2 + 2 * c, name->text[c]);
  }
  for (std::size_t i = 0; i < resources.size(); ++i) {
    Put32(section, dataEntries + 16 * i, static_cast<std::uint32_t>(kTestResourceRva + dataOffsets[i]));
    Put32(section, dataEntries + 16 * i + 4, static_cast<std::uint32_t>(resources[i].bytes.size()));
    std::copy(resources[i].bytes.begin(), resources[i].bytes.end(), section.begin() + dataOffsets[i]);
  }
  return section;
}

}  // namespace detail

inline PayloadBuffer MakeTestImage(const std::vector<TestResource>& resources, const TestImageOptions& options = {}) {
  using detail::Put16;
  using detail::Put32;
  PayloadBuffer rsrc = detail::ResourceSection(resources);
  const std::size_t rsrcRaw = (rsrc.size() + 0x1FF) & ~std::size_t{0x1FF};
  const std::uint32_t rsrcPages = static_cast<std::uint32_t>((rsrc.size() + 0xFFF) & ~std::size_t{0xFFF});
  const std::uint32_t relocRva = kTestResourceRva + rsrcPages;
  const std::uint32_t relocRaw = static_cast<std::uint32_t>(kTestResourceFileOffset + rsrcRaw);
  const int sectionCount = options.relocations ? 3 : 2;
  PayloadBuffer file(kTestResourceFileOffset + rsrcRaw + (options.relocations ? 0x200 : 0), 0);
  file[0] = 'M';
  file[1] = 'Z';
  Put32(file, 0x3C, 0x40);
  file[0x40] = 'P';
  file[0x41] = 'E';
  const std::size_t coff = 0x44;
  Put16(file, coff, options.machine);
  Put16(file, coff + 2, static_cast<std::uint32_t>(sectionCount));
  Put32(file, coff + 4, 0x12345678);
  const bool pe32Plus = options.machine == pe::kMachineAmd64;
  const std::size_t optionalSize = pe32Plus ? 240 : 224;
  const std::size_t directories = pe32Plus ? 112 : 96;
  Put16(file, coff + 16, static_cast<std::uint32_t>(optionalSize));
  Put16(file, coff + 18, options.characteristics);
  const std::size_t optional = kTestOptionalHeader;
  Put16(file, optional, pe32Plus ? pe::kOptionalHeaderPe32Plus : pe::kOptionalHeaderPe32);
  Put32(file, optional + 8, static_cast<std::uint32_t>(rsrcRaw + (options.relocations ? 0x200 : 0)));
  Put32(file, optional + 16, 0x1000);
  Put32(file, optional + (pe32Plus ? 24 : 28), 0x400000);
  Put32(file, optional + 32, 0x1000);
  Put32(file, optional + 36, 0x200);
  Put32(file, optional + 56, relocRva + (options.relocations ? 0x1000 : 0));
  Put32(file, optional + 60, 0x200);
  Put16(file, optional + 68, options.subsystem);
  Put32(file, optional + directories - 4, 16);
  Put32(file, optional + directories + 8 * pe::kResourceDirectory, kTestResourceRva);
  Put32(file, optional + directories + 8 * pe::kResourceDirectory + 4, static_cast<std::uint32_t>(rsrc.size()));
  if (options.relocations) {
    Put32(file, optional + directories + 8 * pe::kBaseRelocationTable, relocRva);
    Put32(file, optional + directories + 8 * pe::kBaseRelocationTable + 4, 12);
    Put32(file, relocRaw, 0x1000);
    Put32(file, relocRaw + 4, 12);
    Put16(file, relocRaw + 8, 0x3010);
    Put16(file, relocRaw + 10, 0x3020);
  }
  const std::size_t table = optional + optionalSize;
  const char* names[] = {".text", ".rsrc", ".reloc"};
  const std::uint32_t rvas[] = {0x1000, kTestResourceRva, relocRva};
  const std::uint32_t raws[] = {0x200, static_cast<std::uint32_t>(kTestResourceFileOffset), relocRaw};
  const std::uint32_t sizes[] = {0x200, static_cast<std::uint32_t>(rsrcRaw), 0x200};
  const std::uint32_t virtualSizes[] = {0x200, static_cast<std::uint32_t>(rsrcRaw), 12};
  const std::uint32_t characteristics[] = {0x60000020, 0xC0000040, 0x42000040};
  for (int i = 0; i < sectionCount; ++i) {
    const std::size_t header = table + 40 * i;
    std::copy(names[i], names[i] + std::char_traits<char>::length(names[i]), file.begin() + header);
    Put32(file, header + 8, virtualSizes[i]);
    Put32(file, header + 12, rvas[i]);
    Put32(file, header + 16, sizes[i]);
    Put32(file, header + 20, raws[i]);
    Put32(file, header + 36, characteristics[i]);
  }
  file[0x200] = 0xC3;
  std::copy(rsrc.begin(), rsrc.end(), file.begin() + kTestResourceFileOffset);
  if (options.checksum) pe::WriteChecksum(file, *pe::ParseImage(file).image);
  return file;
}

// A DLL of the bitness of `machine` (i386 or x86-64), as an add-in is.
inline PayloadBuffer MakeTestDll(std::uint16_t machine) {
  TestImageOptions options;
  options.machine = machine;
  options.characteristics = machine == pe::kMachineAmd64 ? 0x2022 : 0x2102;
  return MakeTestImage({}, options);
}

// Writes the image's checksum anew, after a test changed its bytes.
inline void RewriteChecksum(PayloadBuffer& file) { pe::WriteChecksum(file, *pe::ParseImage(file).image); }

// The resources that make an image a launcher of this project.
inline std::vector<TestResource> LauncherResources() {
  std::vector<TestResource> resources = {
      {{pe::kTypeDialog, {}}, {113, {}}, 0x409, PayloadBuffer(66, 1)},
      {{pe::kTypeIcon, {}}, {1, {}}, 0x409, PayloadBuffer(40, 2)},
      {{pe::kTypeIcon, {}}, {2, {}}, 0x409, PayloadBuffer(40, 3)},
      {{pe::kTypeGroupIcon, {}}, {1, {}}, 0x409, PayloadBuffer(34, 4)},
      {{pe::kTypeVersion, {}},
       {1, {}},
       0x409,
       MakeVersionResource({{0, 1, 0, 0}, {0, 1, 0, 0}, {{u"ProductName", u"Brisk launcher"}}})},
  };
  for (std::uint16_t id = 141; id <= 146; ++id)
    resources.push_back({{0, u"PNG"}, {id, {}}, 0x409, PayloadBuffer(8, 6)});
  return resources;
}

}  // namespace brisk::test

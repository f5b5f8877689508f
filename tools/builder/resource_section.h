// Portable writing of a PE image's resources: lays out a whole resource
// section from a set of resources and puts it in place of the image's own,
// so that a build is made the same way, byte for byte, on every platform.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pe_image.h"

namespace brisk::pe {

struct ResourceItem {
  ResourceName type;
  ResourceName name;
  std::uint16_t language = 0;
  std::span<const std::uint8_t> bytes;
};

// Orders types and names as the system's loader searches them: entries with
// a name before numbered ones, names case-insensitively by their UTF-16 code
// units (FoldResourceNameUnit), numbers ascending.
bool ResourceNameBefore(const ResourceName& a, const ResourceName& b);

// The code unit a name is compared by: letters of the Latin, Greek and
// Cyrillic alphabets in upper case, every other unit as it is.
char16_t FoldResourceNameUnit(char16_t unit);

// A resource section laid out as the linker lays one out, for a section at
// `sectionRva`: the root directory; each type's directory followed by the
// language directories of its names; the name strings; the data entries;
// each resource's data on an eight-byte boundary. Directory time stamps are
// zero (the build sets them). Refused, with one line, when two resources
// have the same type, name and language, when one type or name is spelled in
// two cases (the loader would take them for one) or when the whole does not
// fit the image's 32-bit addresses.
struct ResourceSectionLayout {
  std::vector<std::uint8_t> bytes;
  std::string error;
};
ResourceSectionLayout LayOutResourceSection(std::vector<ResourceItem> resources, std::uint32_t sectionRva);

// Replaces every resource of the image in `file` by `resources`: the new
// section goes at the old one's file offset (which stays page-aligned), a
// base-relocation section after it moves with it, and the section table, the
// resource and relocation directory entries, SizeOfImage,
// SizeOfInitializedData and the checksum are updated. Refuses, with one line
// and `file` unchanged, an image it cannot rewrite safely: one with a symbol
// table, a certificate table, a debug directory or data after its image,
// overlapping sections, or a resource section that shares its section with
// other data or is followed by a section other than the relocations.
std::string ReplaceResources(std::vector<std::uint8_t>& file, const std::vector<ResourceItem>& resources);

}  // namespace brisk::pe

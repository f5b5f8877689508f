// Writes resources into a copy of the launcher executable.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brisk {

struct PayloadResource {
  int id;
  std::vector<std::uint8_t> bytes;
};

// Adds or replaces the resources (type from the encoded string table,
// language 0x409) in the executable at exePath. An empty byte vector deletes
// the resource. Returns false and leaves the file as it was on any failure.
bool WritePayloadResources(const std::wstring& exePath, const std::vector<PayloadResource>& resources);

// A resource type or name: a number, or a string when `text` is not empty.
struct ResourceRef {
  std::uint16_t id = 0;
  std::wstring text;
};

// One change of a resource update: the bytes that replace or add the
// resource, or none to delete it.
struct ResourceChange {
  ResourceRef type;
  ResourceRef name;
  std::uint16_t language = 0;
  std::span<const std::uint8_t> bytes;
};

// Applies the changes in their order in one update of the file; on failure
// the file is left as it was and the Windows error code is returned (0 on
// success). With `replaceAll` the file keeps none of its resources but
// those written here. Under Wine a change without bytes deletes only what
// this update added: the file's own resources are merged in when the update
// ends, so a file that must lose some of them is rewritten with replaceAll.
unsigned long UpdateResources(const std::wstring& exePath, const std::vector<ResourceChange>& changes,
                              bool replaceAll = false);

}  // namespace brisk

// Writes payload resources into a copy of the launcher executable.
#pragma once

#include <cstdint>
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

}  // namespace brisk

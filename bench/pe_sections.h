// Where a PE image keeps its sections in the file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace brisk::bench {

// The file offset (PointerToRawData) of the named section, from the image's
// headers (the start of the file is enough); nothing for a section that is
// not there or headers that do not fit.
std::optional<std::uint32_t> SectionFileOffset(std::span<const std::uint8_t> headers, std::string_view name);

}  // namespace brisk::bench

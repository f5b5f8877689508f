// The version resource (RT_VERSION): a VS_VERSIONINFO block with the fixed
// file information, one string table (US English, Unicode: "040904B0") and
// the matching translation in VarFileInfo.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "payload/payload_buffer.h"

namespace brisk {

// The language and code page of the string table: US English, Unicode.
inline constexpr std::uint16_t kVersionLanguage = 0x0409;
inline constexpr std::uint16_t kVersionCodePage = 1200;

struct VersionInfo {
  std::array<std::uint16_t, 4> fileVersion{};
  std::array<std::uint16_t, 4> productVersion{};
  // Name and value, in the order they are stored.
  std::vector<std::pair<std::u16string, std::u16string>> strings;
};

PayloadBuffer MakeVersionResource(const VersionInfo& info);

// What a version resource holds, as read back.
struct ParsedVersion {
  VersionInfo info;
  std::u16string stringTable;               // the key of the first string table, such as u"040904B0"
  std::vector<std::uint32_t> translations;  // language in the low word, code page in the high
};

// Reads a VS_VERSIONINFO block; nothing when it is malformed.
std::optional<ParsedVersion> ParseVersionResource(std::span<const std::uint8_t> bytes);

}  // namespace brisk

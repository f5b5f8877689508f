// The build settings record (payload resource kBuildSettingsResource): its
// parser and writer, and the external storage file that may replace it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "payload/payload_buffer.h"

namespace brisk {

// Validity magic of a usable record.
constexpr std::uint32_t kSettingsMagic = 0xE2205D8A;
// First four bytes of an unpacked main workbook: kSettingsMagic rotated right
// by 5 bits.
constexpr std::uint32_t kWorkbookMarker = 0x571102EC;

// Bits of BuildSettings::flags that the launcher acts on.
constexpr std::uint32_t kFlagHostInvisible = 0x40;
constexpr std::uint32_t kFlagHostVersionChecks = 0x80;
constexpr std::uint32_t kFlagSplashForced = 0x200;
constexpr std::uint32_t kFlagSingleInstance = 0x4000;
constexpr std::uint32_t kFlagExternalStorage = 0x20000;
// Every bit the launcher acts on; the builder refuses the others.
constexpr std::uint32_t kLauncherFlags =
    kFlagHostInvisible | kFlagHostVersionChecks | kFlagSplashForced | kFlagSingleInstance | kFlagExternalStorage;

// Size of the current header layout; smaller headers (and 104-byte headers of
// older builders) are mapped onto it.
constexpr std::uint16_t kSettingsHeaderSize = 104;

// Builder versions that select the layout of a 104-byte header.
constexpr std::uint32_t kBuilderShortFlags = 0x02010409;  // below: 16-bit partFBytes too
constexpr std::uint32_t kBuilderCurrentLayout = 0x02040000;

// The current layout: a kSettingsHeaderSize-byte header with the fields at
// these offsets (little-endian, widths in the comments), then the parts back
// to back: A (application name, UTF-16), B (application information, UTF-16),
// C, D, E, F, G, a raw block of kMiddleBlockBytes, H (the password), I and
// what follows as the trailing list. Parts C, H and I hold encoded text
// (EncodeSettingsText). The parser maps older layouts onto this one.
namespace settings_layout {
constexpr std::size_t kAtHeaderSize = 0;       // u16
constexpr std::size_t kAtAppVersion = 4;       // u32
constexpr std::size_t kAtFlags = 24;           // u32
constexpr std::size_t kAtAppNameBytes = 28;    // u8, length of part A
constexpr std::size_t kAtAppInfoBytes = 30;    // u16, length of part B
constexpr std::size_t kAtPartC = 32;           // u32, length of part C
constexpr std::size_t kAtPartD = 36;           // u32
constexpr std::size_t kAtPartE = 40;           // u32
constexpr std::size_t kAtPartF = 64;           // u32
constexpr std::size_t kAtMagic = 68;           // u32
constexpr std::size_t kAtPartG = 72;           // i16, a negative length counts as 0
constexpr std::size_t kAtPassword = 76;        // u32, length of part H
constexpr std::size_t kAtPartI = 80;           // u32
constexpr std::size_t kAtWorkbookFormat = 84;  // u32
constexpr std::size_t kAtBuilderVersion = 92;  // u32
constexpr std::size_t kMiddleBlockBytes = 12;
}  // namespace settings_layout

struct BuildSettings {
  // Header fields after mapping onto the current layout. Only the first
  // headerSize bytes of the mapped header are kept; fields beyond them read 0
  // even when a longer mapped field was used to read the parts.
  std::uint16_t headerSize = 0;
  std::uint32_t appVersion = 0;
  std::uint32_t flags = 0;
  std::uint8_t appNameBytes = 0;
  std::uint16_t appInfoBytes = 0;
  std::uint32_t partCBytes = 0;
  std::uint32_t partDBytes = 0;
  std::uint32_t partEBytes = 0;
  std::uint32_t partFBytes = 0;
  std::uint32_t magic = 0;
  std::int16_t partGBytes = 0;
  std::uint32_t passwordBytes = 0;
  std::uint32_t partIBytes = 0;
  std::uint32_t workbookFormat = 0;
  std::uint32_t builderVersion = 0;

  std::u16string appName;         // part A
  std::u16string appInfo;         // part B
  std::u16string storedPassword;  // part H, decoded
  std::u16string partCText;       // part C, decoded; not used by the launcher
  std::u16string partIText;       // part I, decoded; not used by the launcher
  PayloadBuffer trailingList;     // what follows part I, when two bytes or more

  bool operator==(const BuildSettings&) const = default;
};

// Unpacks `record` in place when it is a valid container (the lenient
// reading, UnpackInPlace), then parses it. A short or malformed record is no
// error: parts that do not fit stay empty.
BuildSettings ParseBuildSettings(PayloadBuffer& record);

// The stored form of parts C, H and I: the text's UTF-16 little-endian bytes,
// encoded with EncodeText. The parser decodes them up to the first zero byte.
std::string EncodeSettingsText(std::u16string_view text);

// Everything a current-layout record holds. The writer sets each length field
// from the size of its part, cut to the width of the field.
struct SettingsRecordContent {
  std::uint32_t appVersion = 0;
  std::uint32_t flags = 0;
  std::uint32_t magic = kSettingsMagic;
  std::uint32_t workbookFormat = 0;
  std::uint32_t builderVersion = kBuilderCurrentLayout;
  std::u16string appName;  // part A
  std::u16string appInfo;  // part B
  // The other parts as stored: C, H and I encoded (EncodeSettingsText).
  std::string partC;
  std::string partD;
  std::string partE;
  std::string partF;
  std::string partG;
  std::string middleBlock = std::string(settings_layout::kMiddleBlockBytes, '\0');
  std::string password;  // part H
  std::string partI;
  std::string trailingList;
};

// The record's bytes, unpacked, exactly as the content says: nothing is
// checked.
PayloadBuffer SerializeBuildSettings(const SettingsRecordContent& content);

// The values the builder stores; every other part stays empty.
struct SettingsRecordInput {
  std::u16string appName;
  std::u16string appInfo;
  std::uint32_t appVersion = 0;
  std::uint32_t flags = 0;
  std::u16string password;
  std::uint32_t workbookFormat = 0;
  std::uint32_t magic = kSettingsMagic;
};

struct SettingsRecordResult {
  PayloadBuffer record;  // unpacked
  std::string error;     // one line, set when the values cannot be stored
};

// A current-layout record of the builder version kBuilderCurrentLayout,
// checked by parsing it back: values that would not come back unchanged (a
// name too long for its length field, a password that does not survive its
// encoding) are refused.
SettingsRecordResult WriteBuildSettingsRecord(const SettingsRecordInput& input);

// The most payload file bytes (workbooks, add-ins, licence, splash, added
// up, before packing) that an application build carries. The 32-bit
// launcher maps its whole image, packed payload included, and unpacks the
// main workbook into one buffer beside it; the 32-bit builder holds a file,
// its packed form and the resource update's copy at once. 256 MiB keeps
// both well inside the 2 GiB a 32-bit process has, with room left for a
// fragmented address space, and below the external storage file's limit.
inline constexpr std::uint64_t kMaxBuildPayloadBytes = 256ull * 1024 * 1024;

}  // namespace brisk

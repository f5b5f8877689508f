#include "payload/build_settings.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "payload/byte_order.h"
#include "payload/container.h"
#include "payload/encoded_text.h"

namespace brisk {

using namespace settings_layout;

namespace {

using Header = std::array<std::uint8_t, kSettingsHeaderSize>;

void Copy(const Header& from, std::size_t fromOffset, Header& to, std::size_t toOffset, std::size_t width) {
  std::memcpy(to.data() + toOffset, from.data() + fromOffset, width);
}

// Older layouts keep a 16-bit flags word, the name length and the info length
// back to back; the target fields are zero, so narrower copies zero-extend.
void CopyShortFlags(const Header& from, std::size_t flagsAt, Header& to) {
  Copy(from, flagsAt, to, kAtFlags, 2);
  Copy(from, flagsAt + 2, to, kAtAppNameBytes, 1);
  Copy(from, flagsAt + 4, to, kAtAppInfoBytes, 2);
}

// Maps any header layout onto the current one. Fields a layout lacks are 0.
Header MapHeader(const Header& raw) {
  const std::uint16_t headerSize = le::ReadU16(raw.data());
  const std::uint32_t builderVersion = le::ReadU32(raw.data() + kAtBuilderVersion);
  if (headerSize == kSettingsHeaderSize && (builderVersion == 0 || builderVersion >= kBuilderCurrentLayout)) {
    return raw;
  }
  Header mapped{};
  Copy(raw, 0, mapped, 0, 2);
  switch (headerSize) {
    case kSettingsHeaderSize:
      Copy(raw, 4, mapped, 4, 20);
      Copy(raw, 32, mapped, 32, kSettingsHeaderSize - 32);
      CopyShortFlags(raw, 24, mapped);
      if (builderVersion < kBuilderShortFlags) {
        std::memset(mapped.data() + kAtPartF, 0, 4);
        Copy(raw, 64, mapped, kAtPartF, 2);
      }
      break;
    case 96:
    case 88:
      Copy(raw, 4, mapped, 4, 20);
      CopyShortFlags(raw, 24, mapped);
      Copy(raw, 32, mapped, 32, 12);
      Copy(raw, 44, mapped, 44, 2);
      Copy(raw, 46, mapped, 46, 2);
      Copy(raw, 48, mapped, 48, 2);
      Copy(raw, 56, mapped, 56, 8);
      Copy(raw, 64, mapped, kAtPartF, 2);
      Copy(raw, 68, mapped, kAtMagic, 4);
      Copy(raw, 72, mapped, kAtPartG, 2);
      Copy(raw, 76, mapped, 76, headerSize == 96 ? 16 : 12);
      break;
    case 80:
    case 72:
      Copy(raw, 4, mapped, 4, 20);
      CopyShortFlags(raw, 24, mapped);
      Copy(raw, 32, mapped, 32, 12);
      Copy(raw, 44, mapped, 44, 2);
      Copy(raw, 48, mapped, 56, 8);
      Copy(raw, 56, mapped, kAtPartF, 2);
      Copy(raw, 60, mapped, kAtMagic, 4);
      Copy(raw, 64, mapped, kAtPartG, 2);
      Copy(raw, 68, mapped, kAtPassword, 4);
      if (headerSize == 80) {
        Copy(raw, 72, mapped, kAtPartI, 4);
        Copy(raw, 76, mapped, kAtWorkbookFormat, 4);
      }
      break;
    case 44:
      Copy(raw, 4, mapped, 4, 16);
      CopyShortFlags(raw, 24, mapped);
      Copy(raw, 32, mapped, 32, 12);
      break;
    case 28:
      Copy(raw, 4, mapped, 4, 16);
      CopyShortFlags(raw, 20, mapped);
      break;
    case 24:
      Copy(raw, 4, mapped, 4, 12);
      CopyShortFlags(raw, 16, mapped);
      break;
    default:
      // Unknown smaller layouts are taken as they stand; a larger one is from
      // a future builder whose fields cannot be trusted, so none is taken.
      if (headerSize > 2 && headerSize < kSettingsHeaderSize) Copy(raw, 2, mapped, 2, headerSize - 2u);
      break;
  }
  return mapped;
}

// Reads the variable parts in order. A part is taken only when its length is
// non-zero and fits in what is left; a part that is not taken does not move
// the position.
class PartReader {
 public:
  PartReader(const PayloadBuffer& record, std::size_t start) : record_(record), position_(start) {}

  std::string_view Take(std::uint64_t length) {
    if (length == 0 || length > Remaining()) return {};
    std::string_view part(reinterpret_cast<const char*>(record_.data()) + position_, static_cast<std::size_t>(length));
    position_ += static_cast<std::size_t>(length);
    return part;
  }

  bool Skip(std::size_t length) {
    if (length > Remaining()) return false;
    position_ += length;
    return true;
  }

  std::size_t Remaining() const { return position_ < record_.size() ? record_.size() - position_ : 0; }
  std::size_t Position() const { return position_; }

 private:
  const PayloadBuffer& record_;
  std::size_t position_;
};

// UTF-16 little-endian bytes as code units; an odd last byte is dropped.
std::u16string Utf16FromLittleEndian(std::string_view bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                    (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return text;
}

void AppendLittleEndian(PayloadBuffer& bytes, std::u16string_view text) {
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
}

// The encoded parts hold UTF-16 text once decoded (DecodeText stops at the
// part's first zero byte).
std::u16string DecodePart(std::string_view part) { return Utf16FromLittleEndian(DecodeText(part)); }

void StoreHeaderFields(const Header& stored, BuildSettings& settings) {
  const std::uint8_t* h = stored.data();
  settings.headerSize = le::ReadU16(h);
  settings.appVersion = le::ReadU32(h + kAtAppVersion);
  settings.flags = le::ReadU32(h + kAtFlags);
  settings.appNameBytes = h[kAtAppNameBytes];
  settings.appInfoBytes = le::ReadU16(h + kAtAppInfoBytes);
  settings.partCBytes = le::ReadU32(h + kAtPartC);
  settings.partDBytes = le::ReadU32(h + kAtPartD);
  settings.partEBytes = le::ReadU32(h + kAtPartE);
  settings.partFBytes = le::ReadU32(h + kAtPartF);
  settings.magic = le::ReadU32(h + kAtMagic);
  settings.partGBytes = static_cast<std::int16_t>(le::ReadU16(h + kAtPartG));
  settings.passwordBytes = le::ReadU32(h + kAtPassword);
  settings.partIBytes = le::ReadU32(h + kAtPartI);
  settings.workbookFormat = le::ReadU32(h + kAtWorkbookFormat);
  settings.builderVersion = le::ReadU32(h + kAtBuilderVersion);
}

}  // namespace

BuildSettings ParseBuildSettings(PayloadBuffer& record) {
  UnpackInPlace(record);
  BuildSettings settings;

  Header raw{};
  if (!record.empty()) std::memcpy(raw.data(), record.data(), std::min(record.size(), raw.size()));
  const std::uint16_t headerSize = le::ReadU16(raw.data());
  const Header mapped = MapHeader(raw);

  Header stored = mapped;
  std::memset(stored.data() + std::min<std::size_t>(headerSize, stored.size()), 0,
              stored.size() - std::min<std::size_t>(headerSize, stored.size()));
  StoreHeaderFields(stored, settings);

  // The lengths come from the whole mapped header, also where it goes beyond
  // the stored bytes.
  const std::uint8_t* m = mapped.data();
  PartReader parts(record, headerSize);
  settings.appName = Utf16FromLittleEndian(parts.Take(m[kAtAppNameBytes]));
  settings.appInfo = Utf16FromLittleEndian(parts.Take(le::ReadU16(m + kAtAppInfoBytes)));
  settings.partCText = DecodePart(parts.Take(le::ReadU32(m + kAtPartC)));
  parts.Take(le::ReadU32(m + kAtPartD));
  parts.Take(le::ReadU32(m + kAtPartE));
  parts.Take(le::ReadU32(m + kAtPartF));
  const auto partGBytes = static_cast<std::int16_t>(le::ReadU16(m + kAtPartG));
  parts.Take(partGBytes > 0 ? static_cast<std::uint64_t>(partGBytes) : 0);
  if (!parts.Skip(kMiddleBlockBytes)) return settings;
  settings.storedPassword = DecodePart(parts.Take(le::ReadU32(m + kAtPassword)));
  settings.partIText = DecodePart(parts.Take(le::ReadU32(m + kAtPartI)));
  if (parts.Remaining() >= 2) settings.trailingList.assign(record.begin() + parts.Position(), record.end());
  return settings;
}

std::string EncodeSettingsText(std::u16string_view text) {
  PayloadBuffer bytes;
  AppendLittleEndian(bytes, text);
  return EncodeText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

PayloadBuffer SerializeBuildSettings(const SettingsRecordContent& content) {
  PayloadBuffer record(kSettingsHeaderSize, 0);
  std::uint8_t* h = record.data();
  le::WriteU16(h + kAtHeaderSize, kSettingsHeaderSize);
  le::WriteU32(h + kAtAppVersion, content.appVersion);
  le::WriteU32(h + kAtFlags, content.flags);
  h[kAtAppNameBytes] = static_cast<std::uint8_t>(content.appName.size() * 2);
  le::WriteU16(h + kAtAppInfoBytes, static_cast<std::uint16_t>(content.appInfo.size() * 2));
  le::WriteU32(h + kAtPartC, static_cast<std::uint32_t>(content.partC.size()));
  le::WriteU32(h + kAtPartD, static_cast<std::uint32_t>(content.partD.size()));
  le::WriteU32(h + kAtPartE, static_cast<std::uint32_t>(content.partE.size()));
  le::WriteU32(h + kAtPartF, static_cast<std::uint32_t>(content.partF.size()));
  le::WriteU32(h + kAtMagic, content.magic);
  le::WriteU16(h + kAtPartG, static_cast<std::uint16_t>(content.partG.size()));
  le::WriteU32(h + kAtPassword, static_cast<std::uint32_t>(content.password.size()));
  le::WriteU32(h + kAtPartI, static_cast<std::uint32_t>(content.partI.size()));
  le::WriteU32(h + kAtWorkbookFormat, content.workbookFormat);
  le::WriteU32(h + kAtBuilderVersion, content.builderVersion);

  AppendLittleEndian(record, content.appName);
  AppendLittleEndian(record, content.appInfo);
  for (const std::string* part : {&content.partC, &content.partD, &content.partE, &content.partF, &content.partG,
                                  &content.middleBlock, &content.password, &content.partI, &content.trailingList}) {
    record.insert(record.end(), part->begin(), part->end());
  }
  return record;
}

SettingsRecordResult WriteBuildSettingsRecord(const SettingsRecordInput& input) {
  const std::size_t nameBytes = input.appName.size() * 2;
  const std::size_t infoBytes = input.appInfo.size() * 2;
  if (nameBytes > 0xFF) return {{}, "application name is longer than 127 UTF-16 units"};
  if (infoBytes > 0xFFFF) return {{}, "application information is longer than 32767 UTF-16 units"};
  if (input.password.find(u'\0') != std::u16string::npos) return {{}, "password contains a zero character"};

  SettingsRecordContent content;
  content.appVersion = input.appVersion;
  content.flags = input.flags;
  content.magic = input.magic;
  content.workbookFormat = input.workbookFormat;
  content.appName = input.appName;
  content.appInfo = input.appInfo;
  content.password = EncodeSettingsText(input.password);
  PayloadBuffer record = SerializeBuildSettings(content);

  PayloadBuffer check = record;
  const BuildSettings parsed = ParseBuildSettings(check);
  if (parsed.storedPassword != input.password) return {{}, "password cannot be encoded"};
  if (parsed.appName != input.appName || parsed.appInfo != input.appInfo || parsed.flags != input.flags ||
      parsed.magic != input.magic || parsed.appVersion != input.appVersion) {
    return {{}, "settings record does not read back unchanged"};
  }
  return {std::move(record), {}};
}

}  // namespace brisk

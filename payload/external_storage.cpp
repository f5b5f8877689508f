// The external storage file: written by the add-in next to the executable, it
// may replace the build settings record and the main workbook at the next
// start.
//
//   offset 0   magic          "QRSH" (0x48535251)
//   offset 4   headerSize     40
//   offset 12  bindingTag     StorageBindingTag(settings magic)
//   offset 24  part1Bytes     8-bit text, not used
//   offset 28  settingsBytes  a complete build settings record
//   offset 32  workbookBytes  the main workbook, raw or packed
//   offset 36  part4Bytes     not used
//   offset 40  the four parts, back to back
#include <cstddef>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string_view>

#include "base/file_io.h"
#include "payload/external_storage.h"

#include "payload/byte_order.h"
#include "payload/container.h"

namespace brisk {

namespace {

constexpr std::uint32_t kStorageMagic = 0x48535251;
constexpr std::size_t kStorageHeaderSize = 40;

// The add-in never writes a part 1 longer than this. A longer one used to be
// read through only the low 16 bits of its length, which shifts every later
// part; such a file cannot be trusted and is rejected.
constexpr std::uint32_t kMaxPart1Bytes = 1024;

std::uint32_t RotateRight(std::uint32_t value, unsigned bits) { return (value >> bits) | (value << (32 - bits)); }

struct StorageHeader {
  std::uint32_t magic;
  std::uint32_t headerSize;
  std::uint32_t bindingTag;
  std::uint32_t part1Bytes;
  std::uint32_t settingsBytes;
  std::uint32_t workbookBytes;
  std::uint32_t part4Bytes;
};

StorageHeader ReadHeader(const std::uint8_t* bytes) {
  return {le::ReadU32(bytes),      le::ReadU32(bytes + 4),  le::ReadU32(bytes + 12), le::ReadU32(bytes + 24),
          le::ReadU32(bytes + 28), le::ReadU32(bytes + 32), le::ReadU32(bytes + 36)};
}

bool HeaderAccepted(const StorageHeader& header, std::uint32_t settingsMagic, std::uint64_t fileSize) {
  // Summed in 64 bits: four 32-bit lengths must not wrap around to the size.
  const std::uint64_t declared = kStorageHeaderSize + std::uint64_t{header.part1Bytes} + header.settingsBytes +
                                 header.workbookBytes + header.part4Bytes;
  return header.magic == kStorageMagic && header.headerSize == kStorageHeaderSize &&
         ~RotateRight(header.bindingTag, 3) == RotateRight(settingsMagic, 5) && declared == fileSize &&
         header.part1Bytes <= kMaxPart1Bytes && header.settingsBytes != 0;
}

// Reads exactly `length` bytes into `part`; false on a short read or when the
// memory cannot be had.
bool ReadPart(std::FILE* in, std::uint32_t length, PayloadBuffer& part) {
  try {
    part.resize(length);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return length == 0 || std::fread(part.data(), length, 1, in) == 1;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

std::u16string ExternalStoragePath(std::u16string_view exePath) {
  std::size_t nameStart = exePath.size();
  while (nameStart > 0 && !IsSeparator(exePath[nameStart - 1]) && exePath[nameStart - 1] != u':') --nameStart;
  const std::size_t dot = exePath.rfind(u'.');
  std::u16string storage(
      exePath.substr(0, dot != std::u16string_view::npos && dot >= nameStart ? dot : exePath.size()));
  return storage + u".qstg";
}

std::uint32_t StorageBindingTag(std::uint32_t settingsMagic) { return ~RotateRight(settingsMagic, 2); }

bool LoadExternalStorage(std::u16string_view file, BuildSettings& settings, PayloadBuffer& rawRecord,
                         PayloadBuffer& workbookBuffer) {
  const UniqueFile in = OpenFile(file, "rb");
  if (!in) return false;
  const auto fileSize = FileSize(in.get());
  if (!fileSize || *fileSize <= kStorageHeaderSize || *fileSize > kMaxStorageFileBytes) return false;

  std::uint8_t headerBytes[kStorageHeaderSize];
  if (std::fread(headerBytes, sizeof headerBytes, 1, in.get()) != 1) return false;
  const StorageHeader header = ReadHeader(headerBytes);
  if (!HeaderAccepted(header, settings.magic, *fileSize)) return false;

  // Parts 1 and 4 are not used: part 1 is skipped, and part 4 is there in
  // full because the declared lengths add up to the file's size.
  PayloadBuffer record;
  PayloadBuffer workbook;
  if (std::fseek(in.get(), static_cast<long>(header.part1Bytes), SEEK_CUR) != 0) return false;
  if (!ReadPart(in.get(), header.settingsBytes, record) || !ReadPart(in.get(), header.workbookBytes, workbook)) {
    return false;
  }

  // The file's settings must pass the checks the carried ones pass: a record
  // with a wrong validity magic would make every later start refuse the
  // build as damaged, and one without external storage mode would switch
  // the mode off and leave the files of the next launch behind.
  BuildSettings stored = ParseBuildSettings(record);
  if (stored.magic != kSettingsMagic || !(stored.flags & kFlagExternalStorage)) return false;
  // A workbook part that does not unpack makes the file invalid as well:
  // taken on its header, it would fail every later start as a damaged build,
  // and reinstalling would leave the file in place. It is unpacked here,
  // once, and handed on unpacked.
  if (!workbook.empty() && UnpackPayloadInPlace(workbook) != PayloadState::kReady) return false;

  rawRecord.swap(record);
  settings = std::move(stored);
  workbookBuffer.swap(workbook);
  return true;
}

}  // namespace brisk

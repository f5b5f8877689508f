#include "storage_file.h"

namespace brisk::e2e {

namespace {

constexpr std::uint32_t kStorageMagic = 0x48535251;  // "QRSH"
constexpr std::uint32_t kStorageHeaderSize = 40;

void AppendU32(PayloadBuffer& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

PayloadBuffer MakeStorageFile(const StorageFileParts& parts) {
  PayloadBuffer part1(parts.part1.begin(), parts.part1.end());
  part1.push_back(0);
  PayloadBuffer file;
  AppendU32(file, kStorageMagic);
  AppendU32(file, kStorageHeaderSize);
  AppendU32(file, 0);
  AppendU32(file, StorageBindingTag(parts.settingsMagic));
  AppendU32(file, 0);
  AppendU32(file, 0);
  AppendU32(file, static_cast<std::uint32_t>(part1.size()));
  AppendU32(file, static_cast<std::uint32_t>(parts.settings.size()));
  AppendU32(file, static_cast<std::uint32_t>(parts.workbook.size()));
  AppendU32(file, static_cast<std::uint32_t>(parts.part4.size()));
  const PayloadBuffer* const partsInOrder[] = {&part1, &parts.settings, &parts.workbook, &parts.part4};
  for (const PayloadBuffer* part : partsInOrder) {
    file.insert(file.end(), part->begin(), part->end());
  }
  return file;
}

PayloadBuffer MarkedWorkbook(const std::string& content) {
  PayloadBuffer workbook;
  AppendU32(workbook, kWorkbookMarker);
  workbook.insert(workbook.end(), content.begin(), content.end());
  return workbook;
}

}  // namespace brisk::e2e

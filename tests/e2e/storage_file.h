// The external storage file as the add-in writes it next to an application
// build: a 40-byte header and four parts back to back.
#pragma once

#include <cstdint>
#include <string>

#include "payload/build_settings.h"
#include "payload/external_storage.h"
#include "payload/payload_buffer.h"

namespace brisk::e2e {

struct StorageFileParts {
  std::string part1;       // 8-bit text; written with its terminating zero
  PayloadBuffer settings;  // a whole build settings record
  PayloadBuffer workbook;  // the main workbook with its 4-byte marker, raw or packed
  PayloadBuffer part4;
  std::uint32_t settingsMagic = kSettingsMagic;  // the record the file is bound to
};

PayloadBuffer MakeStorageFile(const StorageFileParts& parts);

// A main workbook payload: the marker followed by the workbook's bytes.
PayloadBuffer MarkedWorkbook(const std::string& content);

}  // namespace brisk::e2e

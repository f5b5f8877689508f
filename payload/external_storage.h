// The external storage file that the add-in writes next to the executable:
// at the next start it may replace the build settings record and the main
// workbook (the format: external_storage.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "payload/build_settings.h"
#include "payload/payload_buffer.h"

namespace brisk {

// The external storage file that belongs to an executable: its path with the
// extension (from the last dot of the file name) replaced by ".qstg".
std::u16string ExternalStoragePath(std::u16string_view exePath);

// The largest external storage file the launcher reads: its parts are held
// in memory, packed and unpacked, by a 32-bit process.
inline constexpr std::uint64_t kMaxStorageFileBytes = 512ull * 1024 * 1024;

// bindingTag of an external storage file that belongs to a record with this
// magic: NOT (magic rotated right by 2 bits).
std::uint32_t StorageBindingTag(std::uint32_t settingsMagic);

// Reads the external storage file. When it is valid for `settings` (see
// external_storage.cpp) and its own settings record has the validity magic
// and keeps kFlagExternalStorage, replaces `rawRecord` by that record (as
// ParseBuildSettings leaves it), replaces `settings` by what it holds and replaces
// `workbookBuffer` by its workbook part, unpacked (UnpackPayloadInPlace), and
// returns true. A file whose workbook part does not unpack is invalid.
// Otherwise changes nothing and returns false. The caller checks
// kFlagExternalStorage first.
bool LoadExternalStorage(std::u16string_view file, BuildSettings& settings, PayloadBuffer& rawRecord,
                         PayloadBuffer& workbookBuffer);

}  // namespace brisk

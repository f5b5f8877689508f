// The settings record parser followed by the external storage file.
//
// Input: a 16-bit little-endian record length, the record, and the rest as
// the content of the external storage file.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "payload/build_settings.h"
#include "payload/external_storage.h"
#include "payload/byte_order.h"
#include "payload/container.h"

namespace {

// One scratch file per process, removed again when the process exits.
class ScratchFile {
 public:
  ScratchFile()
      : path_(std::filesystem::temp_directory_path() / ("brisk_fuzz_storage_" + std::to_string(getpid()) + ".qstg")) {}
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

const std::filesystem::path& StorageFile() {
  static const ScratchFile file;
  return file.Path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using brisk::PayloadBuffer;
  if (size < 2) return 0;
  const std::size_t recordBytes = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
  PayloadBuffer rawRecord(data + 2, data + 2 + recordBytes);
  {
    std::ofstream file(StorageFile(), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data + 2 + recordBytes),
               static_cast<std::streamsize>(size - 2 - recordBytes));
  }

  brisk::BuildSettings settings = brisk::ParseBuildSettings(rawRecord);
  if (settings.storedPassword.size() * 2 > rawRecord.size()) std::abort();

  // Parsing is a pure function of the unpacked record.
  if (!brisk::IsContainerHeader(rawRecord.data(), rawRecord.size())) {
    PayloadBuffer copy = rawRecord;
    const brisk::BuildSettings again = brisk::ParseBuildSettings(copy);
    if (!(again == settings) || copy != rawRecord) std::abort();
  }

  const brisk::BuildSettings before = settings;
  const PayloadBuffer recordBefore = rawRecord;
  PayloadBuffer workbook{0xEC};
  const bool accepted = brisk::LoadExternalStorage(StorageFile().u16string(), settings, rawRecord, workbook);
  if (!accepted && (!(settings == before) || rawRecord != recordBefore || workbook != PayloadBuffer{0xEC})) {
    std::abort();
  }
  if (accepted) {
    // The workbook part, unpacked by the one rule; an accepted file's part
    // always unpacks.
    const std::uint8_t* file = data + 2 + recordBytes;
    const std::size_t workbookAt = 40 + std::size_t{brisk::le::ReadU32(file + 28)} + brisk::le::ReadU32(file + 24);
    const std::span<const std::uint8_t> part(file + workbookAt, brisk::le::ReadU32(file + 32));
    PayloadBuffer expected;
    const brisk::PayloadState state = brisk::UnpackPayload(part, expected);
    if (state == brisk::PayloadState::kDamaged || workbook != expected) std::abort();
  }
  return 0;
}

// Writes the small seed corpora of the payload fuzz targets, with the
// payload's own writers: make_payload_seed_corpus CORPUS_FOLDER (the project's
// fuzz/corpus; the files are checked in).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "payload/build_settings.h"
#include "payload/byte_order.h"
#include "payload/container.h"
#include "payload/external_storage.h"
#include "payload/encoded_text.h"

namespace brisk {
namespace {

constexpr std::uint32_t kStorageMagic = 0x48535251;
constexpr std::uint32_t kStorageHeaderSize = 40;

using Bytes = std::string;

Bytes Utf16(std::u16string_view text) {
  Bytes bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

Bytes U16(std::uint16_t value) { return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)}; }

Bytes U32(std::uint32_t value) {
  Bytes bytes(4, '\0');
  le::WriteU32(reinterpret_cast<std::uint8_t*>(bytes.data()), value);
  return bytes;
}

// A container of the data, with the header's version and unpacked size
// replaced when given.
Bytes Container(std::string_view data, std::uint32_t version = kContainerVersion, std::int64_t unpackedSize = -1) {
  PayloadBuffer packed;
  if (!PackContainer(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), packed)) return {};
  le::WriteU32(packed.data() + 8, version);
  if (unpackedSize >= 0) le::WriteU32(packed.data() + 16, static_cast<std::uint32_t>(unpackedSize));
  return Bytes(packed.begin(), packed.end());
}

Bytes Record(std::u16string_view name = u"Fuzz", std::uint32_t flags = kFlagExternalStorage,
             std::uint32_t builderVersion = 0x02050000, std::u16string_view password = u"pw") {
  SettingsRecordContent content;
  content.appVersion = 0x01020300;
  content.flags = flags;
  content.workbookFormat = '4';
  content.builderVersion = builderVersion;
  content.appName = name;
  content.appInfo = u"info";
  content.partC = EncodeSettingsText(u"C");
  content.partD = Utf16(u"D");
  content.partE = Utf16(u"E");
  content.partF = "F";
  content.partG = Utf16(u"G");
  content.password = EncodeSettingsText(password);
  content.trailingList = "tl";
  const PayloadBuffer record = SerializeBuildSettings(content);
  return Bytes(record.begin(), record.end());
}

// A 72-byte header of an old builder: 16-bit flags at 24, the name length at
// 26, the magic at 60, the password length at 68.
Bytes OldRecord72() {
  const Bytes password = EncodeSettingsText(u"old");
  Bytes header(72, '\0');
  header.replace(0, 2, U16(72));
  header.replace(24, 2, U16(kFlagExternalStorage >> 4));
  header[26] = 4;
  header.replace(60, 4, U32(kSettingsMagic));
  header.replace(68, 4, U32(static_cast<std::uint32_t>(password.size())));
  return header + Utf16(u"Ab") + Bytes(12, '\0') + password;
}

Bytes Storage(std::string_view settings, std::string_view workbook, std::uint32_t magic = kSettingsMagic) {
  const Bytes part1("note\0", 5);
  const Bytes part4 = "end";
  return U32(kStorageMagic) + U32(kStorageHeaderSize) + U32(0) + U32(StorageBindingTag(magic)) + Bytes(8, '\0') +
         U32(static_cast<std::uint32_t>(part1.size())) + U32(static_cast<std::uint32_t>(settings.size())) +
         U32(static_cast<std::uint32_t>(workbook.size())) + U32(static_cast<std::uint32_t>(part4.size())) + part1 +
         Bytes(settings) + Bytes(workbook) + part4;
}

// Input of the settings target: the record's length, the record, the storage file.
Bytes SettingsInput(std::string_view record, std::string_view storage = {}) {
  return U16(static_cast<std::uint16_t>(record.size())) + Bytes(record) + Bytes(storage);
}

bool Write(const std::filesystem::path& corpus, const char* target, const char* name, std::string_view data) {
  const std::filesystem::path folder = corpus / target;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::ofstream file(folder / name, std::ios::binary | std::ios::trunc);
  file.write(data.data(), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(file);
}

}  // namespace
}  // namespace brisk

int main(int argc, char** argv) {
  using namespace brisk;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_payload_seed_corpus CORPUS_FOLDER\n");
    return 2;
  }
  const std::filesystem::path corpus = argv[1];
  const Bytes workbook = U32(kWorkbookMarker) + "workbook";
  bool written = true;
  const auto write = [&](const char* target, const char* name, std::string_view data) {
    written = Write(corpus, target, name, data) && written;
  };

  write("payload_container", "packed", Container("packed payload content\n"));
  write("payload_container", "one_byte", "1");
  write("payload_container", "version_200", Container("abcabcabc", 0x200));
  write("payload_container", "claims_more", Container("zeros" + Bytes(200, '\0'), kContainerVersion, 4096));
  write("payload_container", "empty_content", Container("", kContainerVersion, 0));

  write("payload_settings", "current_with_storage", SettingsInput(Record(), Storage(Record(u"Stored"), workbook)));
  write("payload_settings", "packed_storage_parts",
        SettingsInput(Container(Record()), Storage(Container(Record(u"Packed")), Container(workbook))));
  write("payload_settings", "old_builder", SettingsInput(Record(u"Fuzz", 0x4080, 0x02010408)));
  write("payload_settings", "header_72", SettingsInput(OldRecord72(), Storage(OldRecord72(), "")));
  write("payload_settings", "tiny", SettingsInput(Bytes("\x18\x00", 2)));

  write("payload_text_decode", "abc", "X9rO");
  write("payload_text_decode", "tails", "X9rO{X1-X96");
  write("payload_text_decode", "utf8",
        EncodeText("Gr\xC3\xBC\xC3\x9F"
                   "e \xF0\x9F\x98\x80"));
  write("payload_text_decode", "utf16_password", EncodeSettingsText(u"secret"));
  write("payload_text_decode", "invalid_utf8", EncodeText("\xED\xA0\x80\xFF"));

  if (!written) {
    std::fprintf(stderr, "cannot write every seed into %s\n", corpus.string().c_str());
    return 1;
  }
  return 0;
}

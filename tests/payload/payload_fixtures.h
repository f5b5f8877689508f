// Settings records (through the payload's writer) and byte-level external
// storage files for the tests.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "payload/build_settings.h"
#include "payload/external_storage.h"
#include "payload/payload_buffer.h"

namespace brisk::test {

inline void PutLe(PayloadBuffer& bytes, std::size_t offset, std::uint64_t value, std::size_t width) {
  if (bytes.size() < offset + width) bytes.resize(offset + width);
  for (std::size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void Append(PayloadBuffer& bytes, std::string_view more) { bytes.insert(bytes.end(), more.begin(), more.end()); }

inline std::string Utf16Le(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

// The encoded form of a text as the builder stores it in parts C, H and I.
inline std::string EncodedUtf16(std::u16string_view text) { return EncodeSettingsText(text); }

inline std::string AsString(const PayloadBuffer& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A record in the current 104-byte layout with a value in every field and
// part; the length fields match the parts.
struct CurrentRecord : SettingsRecordContent {
  CurrentRecord() {
    appVersion = 0x01020300;
    workbookFormat = '4';
    builderVersion = 0x02050000;
    appName = u"Budget";
    appInfo = u"Team tool";
    partC = EncodedUtf16(u"C");
    partD = Utf16Le(u"D");
    partE = Utf16Le(u"E1");
    partF = "F8";
    partG = Utf16Le(u"G");
    middleBlock = std::string(12, '\x7F');
    password = EncodedUtf16(u"secret");
    partI = EncodedUtf16(u"I");
  }

  PayloadBuffer Build() const { return SerializeBuildSettings(*this); }
};

// An external storage file around the given parts.
struct StorageFile {
  std::uint32_t magic = 0x48535251;
  std::uint32_t headerSize = 40;
  std::uint32_t bindingTag = StorageBindingTag(kSettingsMagic);
  std::string part1 = std::string("note\0", 5);
  std::string settings;
  std::string workbook;
  std::string part4 = "tail";

  PayloadBuffer Build() const {
    PayloadBuffer file(40, 0);
    PutLe(file, 0, magic, 4);
    PutLe(file, 4, headerSize, 4);
    PutLe(file, 12, bindingTag, 4);
    PutLe(file, 24, part1.size(), 4);
    PutLe(file, 28, settings.size(), 4);
    PutLe(file, 32, workbook.size(), 4);
    PutLe(file, 36, part4.size(), 4);
    for (std::string_view part : {part1, settings, workbook, part4}) Append(file, part);
    return file;
  }
};

// A private folder for the running test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // The process id keeps two runs of the same test apart (two build trees
    // tested at once share the temporary folder).
#ifdef _WIN32
    const int processId = _getpid();
#else
    const int processId = static_cast<int>(getpid());
#endif
    std::string name =
        std::string("brisk_payload_") + info->test_suite_name() + "_" + info->name() + "_" + std::to_string(processId);
    for (char& c : name) c = (c == '/') ? '_' : c;  // parameterised names hold slashes
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  std::filesystem::path Write(const std::filesystem::path& name, const PayloadBuffer& bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace brisk::test

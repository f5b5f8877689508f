#include "build_resources.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "licence_check.h"
#include "payload/build_settings.h"
#include "payload/container.h"
#include "payload/payload_ids.h"
#include "text/byte_reader.h"
#include "text/language_file_io.h"
#include "text/message_table.h"

namespace brisk {

namespace {

void PutU32(PayloadBuffer& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void AppendU32(PayloadBuffer& bytes, std::uint32_t value) {
  bytes.resize(bytes.size() + 4);
  PutU32(bytes, bytes.size() - 4, value);
}

void AppendUtf16(PayloadBuffer& bytes, std::u16string_view text) {
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
}

bool ReadWholeFile(const std::filesystem::path& path, PayloadBuffer& bytes) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream file(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

PayloadBuffer Packed(const PayloadBuffer& bytes) {
  PayloadBuffer packed;
  PackContainer(bytes.data(), bytes.size(), packed);
  return packed;
}

// The message table resource of a language file in the text form.
PayloadBuffer MessageTableResource(const std::filesystem::path& languageFile) {
  MessageTable table;
  LoadLanguageFile(table, languageFile);
  PayloadBuffer resource;
  AppendU32(resource, 12);
  AppendU32(resource, static_cast<std::uint32_t>(table.Texts().size()));
  AppendU32(resource, 0);
  for (const auto& [slot, text] : table.Texts()) {
    AppendU32(resource, static_cast<std::uint32_t>(slot));
    AppendU32(resource, static_cast<std::uint32_t>(text.size()));
    resource.insert(resource.end(), text.begin(), text.end());
  }
  return resource;
}

// kAddinEncipheredDataResource is read by the add-in only; the launcher carries it.
PayloadBuffer EncipheredPlaceholder() {
  const PayloadBuffer stream = {0x5A, 0x3C, 0x96, 0x0F, 0xA5, 0xC3, 0x69, 0xF0};
  PayloadBuffer resource(kContainerHeaderSize + stream.size(), 0);
  PutU32(resource, 0, kContainerMagic);
  PutU32(resource, 4, kContainerHeaderSize);
  PutU32(resource, 8, 0x100);
  PutU32(resource, 12, static_cast<std::uint32_t>(stream.size()));
  PutU32(resource, 16, static_cast<std::uint32_t>(stream.size()));
  std::copy(stream.begin(), stream.end(), resource.begin() + kContainerHeaderSize);
  return resource;
}

// The add-in's language tables: just their header lines, in UTF-16.
PayloadBuffer TextTable(std::u16string_view headerLine) {
  PayloadBuffer bytes = {0xFF, 0xFE};
  AppendUtf16(bytes, headerLine);
  AppendUtf16(bytes, u"\r\n");
  return Packed(bytes);
}

}  // namespace

BuildResult MakeBuildResources(const BuildManifest& manifest) {
  BuildResult result;
  const auto refuse = [&](const std::string& message) {
    result.resources.clear();
    result.error = message;
    return result;
  };
  const auto read = [&](const std::filesystem::path& path, PayloadBuffer& bytes) {
    return ReadWholeFile(path, bytes);
  };

  SettingsRecordInput settings{manifest.appName, manifest.appInfo, manifest.appVersion, manifest.flags,
                               manifest.password, manifest.workbookFormat,
                               manifest.magic.value_or(kSettingsMagic)};
  SettingsRecordResult record = WriteBuildSettingsRecord(settings);
  if (!record.error.empty()) return refuse(record.error);
  result.resources.push_back({kBuildSettingsResource, Packed(record.record)});

  PayloadBuffer workbook;
  if (!read(manifest.workbook, workbook)) return refuse("cannot read workbook " + manifest.workbook.string());
  PayloadBuffer marked(4);
  PutU32(marked, 0, kWorkbookMarker);
  marked.insert(marked.end(), workbook.begin(), workbook.end());
  result.resources.push_back({kMainWorkbookResource, Packed(marked)});

  PayloadBuffer aux;
  if (!read(manifest.auxWorkbook, aux)) return refuse("cannot read aux-workbook " + manifest.auxWorkbook.string());
  result.resources.push_back({kAuxWorkbookResource, Packed(aux)});

  PayloadBuffer addin;
  if (!read(manifest.addin32, addin)) return refuse("cannot read addin32 " + manifest.addin32.string());
  result.resources.push_back({kAddin32Resource, Packed(addin)});
  if (!manifest.addin64.empty()) {
    if (!read(manifest.addin64, addin)) return refuse("cannot read addin64 " + manifest.addin64.string());
    result.resources.push_back({kAddin64Resource, Packed(addin)});
  }

  if (manifest.language.empty()) {
    result.resources.push_back({kMessageTableResource, PayloadBuffer{'1'}});
  } else {
    std::error_code error;
    if (!std::filesystem::is_regular_file(manifest.language, error)) {
      return refuse("cannot read language " + manifest.language.string());
    }
    result.resources.push_back({kMessageTableResource, Packed(MessageTableResource(manifest.language))});
  }

  if (manifest.licence.empty()) {
    result.resources.push_back({kLicenceTextResource, PayloadBuffer{'1'}});
  } else {
    PayloadBuffer licence;
    if (!read(manifest.licence, licence)) return refuse("cannot read licence " + manifest.licence.string());
    if (std::string why = LicenceRefusal(licence, manifest.licence); !why.empty()) return refuse(why);
    result.resources.push_back({kLicenceTextResource, Packed(licence)});
  }

  if (!manifest.splash.empty()) {
    PayloadBuffer splash;
    if (!read(manifest.splash, splash)) return refuse("cannot read splash " + manifest.splash.string());
    result.resources.push_back({kSplashPictureResource, std::move(splash)});
  }

  result.resources.push_back({kAddinTextTable1043Resource,
                              TextTable(u"Value;English;German;French;Spanish;Portuguese;Dutch;Finnish;"
                                        u"Italian;Swedish;Russian;Danish;Czech;Hungarian;Norwegian;Polish;Turkish")});
  result.resources.push_back({kAddinTextTable1045Resource,
                              TextTable(u"English;Russian;German;French;Italian;Finnish;Dutch;Spanish;"
                                        u"Swedish;Portuguese;Danish;Czech;Hungarian;Norwegian;Polish;Turkish;"
                                        u"Greek;Romanian;Slovenian")});
  result.resources.push_back({kCarried1060Resource, PayloadBuffer{0x01}});
  result.resources.push_back({kCarried1070Resource, PayloadBuffer{0x01}});
  result.resources.push_back({kCarried1107Resource, PayloadBuffer{'1'}});
  result.resources.push_back({kAddinEncipheredDataResource, EncipheredPlaceholder()});
  return result;
}

}  // namespace brisk

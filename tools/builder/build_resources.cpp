#include "build_resources.h"

#include <algorithm>

#include "build_files.h"
#include "licence_check.h"
#include "payload_check.h"
#include "payload/build_settings.h"
#include "payload/container.h"
#include "payload/payload_ids.h"
#include "text/language_file_io.h"
#include "text/message_table.h"
#include "version_resource.h"

namespace brisk {

namespace {

// Icon files are small; anything far larger is no icon.
constexpr std::uintmax_t kMaxIconFileBytes = 16 * 1024 * 1024;
constexpr std::uint64_t kMebibyte = 1024 * 1024;

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

std::string Describe(const char* role, const std::filesystem::path& path) {
  return std::string(role) + " " + Utf8Path(path);
}

// The size of an input file; the reason when it is missing, a folder or
// unreadable.
std::string InputSize(const char* role, const std::filesystem::path& path, std::uintmax_t& size) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) return "cannot read " + Describe(role, path) + ": no such file";
  if (error) return "cannot read " + Describe(role, path) + ": " + error.message();
  if (std::filesystem::is_directory(status)) return "cannot read " + Describe(role, path) + ": it is a folder";
  if (!std::filesystem::is_regular_file(status)) return "cannot read " + Describe(role, path) + ": not a regular file";
  size = std::filesystem::file_size(path, error);
  if (error) return "cannot read " + Describe(role, path) + ": " + error.message();
  return {};
}

// Reads the file into `bytes` after `prefix` bytes kept free at the front,
// so that a caller that needs a header there holds the file once.
std::string ReadInput(const char* role, const std::filesystem::path& path, PayloadBuffer& bytes,
                      std::size_t prefix = 0) {
  const std::string error = ReadWholeFile(path, kMaxBuildPayloadBytes, bytes, prefix);
  return error.empty() ? error : "cannot read " + Describe(role, path) + ": " + error;
}

bool Pack(const PayloadBuffer& bytes, PayloadBuffer& packed) {
  return PackContainer(bytes.data(), bytes.size(), packed);
}

// The message table resource of a language file in the text form. Lines
// the launcher passes over are kept as warnings about the file's lines.
std::optional<Diagnostic> MessageTableResource(const BuildManifest& manifest, PayloadBuffer& resource,
                                               std::vector<Diagnostic>& warnings) {
  MessageTable table;
  std::vector<LanguageNote> ignored;
  const std::string file = Utf8Path(manifest.language);
  if (const auto error = LoadLanguageFile(table, manifest.language, &ignored)) {
    if (error->line == 0)
      return manifest.At("language", Describe("language", manifest.language) + ": " + error->message);
    return Diagnostic{Severity::kError, file, error->line, error->message};
  }
  for (const LanguageNote& note : ignored) warnings.push_back({Severity::kWarning, file, note.line, note.message});
  AppendU32(resource, 12);
  AppendU32(resource, static_cast<std::uint32_t>(table.Texts().size()));
  AppendU32(resource, 0);
  for (const auto& [slot, text] : table.Texts()) {
    AppendU32(resource, static_cast<std::uint32_t>(slot));
    AppendU32(resource, static_cast<std::uint32_t>(text.size()));
    resource.insert(resource.end(), text.begin(), text.end());
  }
  return std::nullopt;
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
  PayloadBuffer packed;
  Pack(bytes, packed);
  return packed;
}

struct PayloadInput {
  const char* role;  // also the manifest's key
  const std::filesystem::path* path;
  int id;
  std::uintmax_t size = 0;
};

// The manifest's key of the settings record's value that cannot be stored.
const char* SettingsKey(const std::string& error) {
  if (error.starts_with("application name")) return "name";
  if (error.starts_with("application information")) return "info";
  if (error.starts_with("password")) return "password";
  return "";
}

// Why the launcher cannot use the payload file as it is read, if it cannot.
std::string PayloadProblem(const PayloadInput& input, const PayloadBuffer& bytes, std::size_t prefix) {
  const std::span<const std::uint8_t> file = std::span<const std::uint8_t>(bytes).subspan(prefix);
  switch (input.id) {
    case kMainWorkbookResource:
    case kAuxWorkbookResource:
      return file.empty() ? Describe(input.role, *input.path) + " is empty" : std::string();
    case kAddin32Resource:
    case kAddin64Resource: {
      const std::string problem =
          AddinSlotProblem(InspectAddin(file), input.id == kAddin32Resource ? AddinBitness::k32 : AddinBitness::k64);
      return problem.empty() ? problem : Describe(input.role, *input.path) + " is " + problem;
    }
    case kSplashPictureResource: {
      const std::string problem = InspectSplashPicture(file).problem;
      return problem.empty() ? problem : Describe("splash", *input.path) + ": " + problem;
    }
    case kLicenceTextResource:
      // The launcher shows no licence of 2 bytes or less.
      if (bytes.size() <= 2) {
        return Describe("licence", *input.path) + " has " + std::to_string(bytes.size()) +
               " bytes, and the launcher shows no licence of 2 bytes or less";
      }
      return LicenceRefusal(bytes, *input.path);
  }
  return {};
}

std::string Mebibytes(std::uint64_t bytes) { return std::to_string((bytes + kMebibyte - 1) / kMebibyte) + " MiB"; }

}  // namespace

PayloadBuffer MakeBuildVersionResource(const BuildManifest& manifest, const std::u16string& outputName) {
  VersionInfo info;
  info.fileVersion = manifest.version;
  info.productVersion = manifest.version;
  const auto add = [&](const char16_t* name, const std::u16string& value) {
    if (!value.empty()) info.strings.emplace_back(name, value);
  };
  add(u"CompanyName", manifest.company);
  add(u"FileDescription", manifest.description.empty() ? manifest.appName : manifest.description);
  add(u"FileVersion", manifest.versionText);
  add(u"LegalCopyright", manifest.copyright);
  add(u"OriginalFilename", outputName);
  add(u"ProductName", manifest.appName);
  add(u"ProductVersion", manifest.versionText);
  return MakeVersionResource(info);
}

BuildResult MakeBuildResources(const BuildManifest& manifest, const std::u16string& outputName,
                               const AddinPreparer& prepareAddin) {
  BuildResult result;
  result.warnings = manifest.warnings;
  const auto refuse = [&](Diagnostic error) {
    result = {};
    result.error = std::move(error);
    return result;
  };
  const auto refuseAt = [&](const char* key, const std::string& message) { return refuse(manifest.At(key, message)); };

  SettingsRecordInput settings{manifest.appName,
                               manifest.appInfo,
                               manifest.appVersion,
                               manifest.flags,
                               manifest.password,
                               manifest.workbookFormat,
                               manifest.magic.value_or(kSettingsMagic)};
  SettingsRecordResult record = WriteBuildSettingsRecord(settings);
  if (!record.error.empty()) {
    const char* key = SettingsKey(record.error);
    return *key ? refuseAt(key, record.error) : refuse(BuildError(record.error));
  }

  // Every payload file is looked at before any is read: one that is missing
  // or too large stops the build at once.
  std::vector<PayloadInput> inputs = {{"workbook", &manifest.workbook, kMainWorkbookResource},
                                      {"aux-workbook", &manifest.auxWorkbook, kAuxWorkbookResource},
                                      {"addin32", &manifest.addin32, kAddin32Resource}};
  if (manifest.addin64.empty()) {
    // The launcher then refuses every 64-bit host with a notice that says so.
    result.warnings.push_back(
        {Severity::kWarning, manifest.file, 0, "no addin64 is given: the build will not start with a 64-bit host"});
  } else {
    inputs.push_back({"addin64", &manifest.addin64, kAddin64Resource});
  }
  if (!manifest.licence.empty()) inputs.push_back({"licence", &manifest.licence, kLicenceTextResource});
  if (!manifest.splash.empty()) inputs.push_back({"splash", &manifest.splash, kSplashPictureResource});
  std::uint64_t total = 0;
  for (PayloadInput& input : inputs) {
    const std::string error = InputSize(input.role, *input.path, input.size);
    if (!error.empty()) return refuseAt(input.role, error);
    if (input.size > kMaxBuildPayloadBytes) {
      return refuseAt(input.role, Describe(input.role, *input.path) + " is " + Mebibytes(input.size) +
                                      "; a build carries at most " + Mebibytes(kMaxBuildPayloadBytes) +
                                      " of payload files, which its 32-bit launcher unpacks in memory");
    }
    total += input.size;
  }
  if (total > kMaxBuildPayloadBytes) {
    return refuse(BuildError("the payload files add up to " + Mebibytes(total) + "; a build carries at most " +
                             Mebibytes(kMaxBuildPayloadBytes) + ", which its 32-bit launcher unpacks in memory"));
  }

  // The small inputs are checked before the payload files are read and the
  // add-ins signed.
  PayloadBuffer packed;
  if (manifest.language.empty()) {
    result.resources.push_back({kMessageTableResource, PayloadBuffer{'1'}});
  } else {
    PayloadBuffer table;
    if (auto error = MessageTableResource(manifest, table, result.warnings)) return refuse(std::move(*error));
    if (!Pack(table, packed)) return refuse(BuildError("cannot pack the message table"));
    result.resources.push_back({kMessageTableResource, std::move(packed)});
  }

  if (!manifest.icon.empty()) {
    std::uintmax_t size = 0;
    std::string error = InputSize("icon", manifest.icon, size);
    if (!error.empty()) return refuseAt("icon", error);
    if (size > kMaxIconFileBytes) {
      return refuseAt("icon", Describe("icon", manifest.icon) + ": larger than 16 MiB, no icon file");
    }
    PayloadBuffer file;
    error = ReadInput("icon", manifest.icon, file);
    if (!error.empty()) return refuseAt("icon", error);
    IconFileResult icon = ParseIconFile(file);
    if (!icon.error.empty()) return refuseAt("icon", Describe("icon", manifest.icon) + ": " + icon.error);
    result.icon = std::move(icon.images);
  }
  if (!Pack(record.record, packed)) return refuse(BuildError("cannot pack the settings record"));
  result.resources.push_back({kBuildSettingsResource, std::move(packed)});

  for (const PayloadInput& input : inputs) {
    PayloadBuffer bytes;
    const std::size_t prefix = input.id == kMainWorkbookResource ? 4 : 0;
    std::string error = ReadInput(input.role, *input.path, bytes, prefix);
    if (!error.empty()) return refuseAt(input.role, error);
    if (std::string problem = PayloadProblem(input, bytes, prefix); !problem.empty()) {
      return refuseAt(input.role, problem);
    }
    if (prefix) PutU32(bytes, 0, kWorkbookMarker);
    const bool addin = input.id == kAddin32Resource || input.id == kAddin64Resource;
    if (addin && prepareAddin) {
      error = prepareAddin(*input.path, bytes);
      if (!error.empty()) return refuse(BuildError(error));
    }
    if (input.id == kSplashPictureResource) {
      result.resources.push_back({input.id, std::move(bytes)});
      continue;
    }
    PayloadBuffer container;
    if (!Pack(bytes, container)) {
      return refuse(BuildError("not enough memory to pack " + Describe(input.role, *input.path)));
    }
    result.resources.push_back({input.id, std::move(container)});
  }

  if (manifest.licence.empty()) result.resources.push_back({kLicenceTextResource, PayloadBuffer{'1'}});

  result.resources.push_back({kAddinTextTable1043Resource,
                              TextTable(u"Value;English;German;French;Spanish;Portuguese;Dutch;Finnish;"
                                        u"Italian;Swedish;Russian;Danish;Czech;Hungarian;Norwegian;Polish;Turkish")});
  result.resources.push_back(
      {kAddinTextTable1045Resource, TextTable(u"English;Russian;German;French;Italian;Finnish;Dutch;Spanish;"
                                              u"Swedish;Portuguese;Danish;Czech;Hungarian;Norwegian;Polish;Turkish;"
                                              u"Greek;Romanian;Slovenian")});
  result.resources.push_back({kCarried1060Resource, PayloadBuffer{0x01}});
  result.resources.push_back({kCarried1070Resource, PayloadBuffer{0x01}});
  result.resources.push_back({kCarried1107Resource, PayloadBuffer{'1'}});
  result.resources.push_back({kAddinEncipheredDataResource, EncipheredPlaceholder()});
  std::sort(result.resources.begin(), result.resources.end(),
            [](const BuiltResource& a, const BuiltResource& b) { return a.id < b.id; });

  result.version = MakeBuildVersionResource(manifest, outputName);
  return result;
}

}  // namespace brisk

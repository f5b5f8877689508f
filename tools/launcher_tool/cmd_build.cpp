// build: an application build from the launcher and a manifest; show: what
// a build carries.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "build_resources.h"
#include "build_writer.h"
#include "commands.h"
#include "icon_file.h"
#include "json_writer.h"
#include "manifest.h"
#include "payload/build_settings.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"
#include "pe_image.h"
#include "settings_json.h"
#include "tool_files.h"
#include "version_resource.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace brisk::tool {

namespace {

constexpr const char* kBuildUsage = "build MANIFEST OUT.exe [--launcher LAUNCHER.exe]";
constexpr const char* kShowUsage = "show BUILD.exe";
constexpr std::uintmax_t kMaxManifestBytes = 1024 * 1024;
// A build carries at most kMaxBuildPayloadBytes, packed, beside the launcher.
constexpr std::uintmax_t kMaxShownBytes = 1024ull * 1024 * 1024;

// A file of at most `maxBytes`; the reason otherwise.
std::string ReadLimited(const std::string& name, std::uintmax_t maxBytes, PayloadBuffer& bytes) {
  const std::filesystem::path path = PathArgument(name);
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return "it is a folder";
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return "no such file";
  if (size > maxBytes) return "larger than " + std::to_string(maxBytes / (1024 * 1024)) + " MiB";
  if (!ReadWholeFile(name, bytes)) return "it cannot be read";
  return {};
}

// The launcher that ships beside this tool.
std::filesystem::path LauncherBesideTool() {
#ifdef _WIN32
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::filesystem::path(self).parent_path() / L"launcher.exe";
#else
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return (error ? std::filesystem::path(".") : self.parent_path()) / "launcher.exe";
#endif
}

int Build(const Args& args) {
  std::filesystem::path launcherOverride;
  Args positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--launcher") {
      if (i + 1 >= args.size()) return Usage(kBuildUsage);
      launcherOverride = PathArgument(args[++i]);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) return Usage(kBuildUsage);

  PayloadBuffer manifestBytes;
  const std::string readError = ReadLimited(positional[0], kMaxManifestBytes, manifestBytes);
  if (!readError.empty()) return Refuse("cannot read the manifest " + positional[0] + ": " + readError);
  const std::string text(manifestBytes.begin(), manifestBytes.end());
  const std::filesystem::path manifestPath = PathArgument(positional[0]);
  ManifestResult manifest = ParseManifest(text, manifestPath.parent_path());
  if (!manifest.manifest) return Refuse(manifest.error);
  const std::filesystem::path output = PathArgument(positional[1]);

  BuildRequest request;
  request.manifest = &*manifest.manifest;
  request.manifestPath = manifestPath;
  request.launcher = launcherOverride;
  if (request.launcher.empty()) request.launcher = manifest.manifest->launcher;
  if (request.launcher.empty()) request.launcher = LauncherBesideTool();
  request.output = output;
  std::vector<std::string> warnings;
  const std::string error = WriteApplicationBuild(request, warnings);
  if (!error.empty()) return Refuse(error);
  // Only a build that was made warns: a refusal stays one line.
  for (const std::string& warning : warnings) std::fprintf(stderr, "launcher-tool: warning: %s\n", warning.c_str());
  return kExitOk;
}

bool IsSigned(std::span<const std::uint8_t> file) {
  const pe::ImageResult image = pe::ParseImage(file);
  return image.image && pe::HasCertificateTable(file, *image.image);
}

std::string PayloadLine(int id, std::span<const std::uint8_t> bytes) {
  std::vector<std::string> members = {Member("id", std::to_string(id)), Member("bytes", std::to_string(bytes.size()))};
  PayloadBuffer unpacked;
  const bool packed = UnpackContainer(bytes.data(), bytes.size(), unpacked);
  members.push_back(Member("packed", packed ? "true" : "false"));
  if (packed) members.push_back(Member("unpackedBytes", std::to_string(unpacked.size())));
  if (id == kAddin32Resource || id == kAddin64Resource) {
    members.push_back(
        Member("signed", IsSigned(packed ? std::span<const std::uint8_t>(unpacked) : bytes) ? "true" : "false"));
  }
  return InlineObject(members);
}

std::string VersionNumbers(const std::array<std::uint16_t, 4>& version) {
  return "\"" + std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]) + "." +
         std::to_string(version[3]) + "\"";
}

}  // namespace

int RunBuild(const Args& args) {
  try {
    return Build(args);
  } catch (const std::bad_alloc&) {
    return Refuse("not enough memory for this build");
  }
}

// Prints whether the build is signed, its icon sizes, its version strings,
// its payload resources and its settings record as the settings subcommand
// does. Read from the file itself, so that it works on any machine.
int RunShow(const Args& args) {
  if (args.size() != 1) return Usage(kShowUsage);
  PayloadBuffer file;
  const std::string readError = ReadLimited(args[0], kMaxShownBytes, file);
  if (!readError.empty()) return Refuse("cannot read " + args[0] + ": " + readError);
  const pe::ImageResult image = pe::ParseImage(file);
  if (!image.image) return Refuse(args[0] + " is " + image.error);
  const auto resources = pe::ListResources(file, *image.image);
  if (!resources) return Refuse(args[0] + " has a damaged resource directory");

  const std::u16string payloadType = GetEncodedStringW(kPayloadResourceType);
  const auto find = [&](const pe::ResourceName& type,
                        std::optional<int> id = std::nullopt) -> const pe::ResourceEntry* {
    for (const pe::ResourceEntry& entry : *resources) {
      if (entry.type == type && (!id || (entry.name.text.empty() && entry.name.id == *id))) return &entry;
    }
    return nullptr;
  };
  const auto bytesOf = [&](const pe::ResourceEntry* entry) {
    return entry ? pe::ResourceBytes(file, *image.image, *entry) : std::span<const std::uint8_t>();
  };

  std::vector<std::string> icon;
  if (const auto group = ParseIconGroup(bytesOf(find({pe::kTypeGroupIcon, {}})))) {
    for (const IconGroupEntry& entry : *group) {
      icon.push_back(InlineObject(
          {Member("width", std::to_string(entry.width)), Member("height", std::to_string(entry.height)),
           Member("bitCount", std::to_string(entry.bitCount)), Member("bytes", std::to_string(entry.bytes))}));
    }
  }

  std::vector<std::string> version;
  if (const auto parsed = ParseVersionResource(bytesOf(find({pe::kTypeVersion, {}})))) {
    version.push_back(Member("fileVersion", VersionNumbers(parsed->info.fileVersion)));
    version.push_back(Member("productVersion", VersionNumbers(parsed->info.productVersion)));
    for (const auto& [name, value] : parsed->info.strings) {
      version.push_back(JsonString(name) + ": " + JsonString(value));
    }
  }

  std::vector<int> ids;
  for (const pe::ResourceEntry& entry : *resources) {
    if (entry.type.text == payloadType && entry.name.text.empty()) ids.push_back(entry.name.id);
  }
  std::sort(ids.begin(), ids.end());
  std::vector<std::string> payload;
  for (int id : ids) payload.push_back(PayloadLine(id, bytesOf(find({0, payloadType}, id))));

  const std::span<const std::uint8_t> recordBytes = bytesOf(find({0, payloadType}, kBuildSettingsResource));
  PayloadBuffer record(recordBytes.begin(), recordBytes.end());
  const BuildSettings settings = ParseBuildSettings(record);

  std::printf(
      "{\n  \"signed\": %s,\n  \"icon\": [\n%s  ],\n  \"version\": {\n%s  },\n  \"payload\": [\n%s  ],\n"
      "  \"settings\": {\n%s  }\n}\n",
      pe::HasCertificateTable(file, *image.image) ? "true" : "false", MemberLines(icon, "    ").c_str(),
      MemberLines(version, "    ").c_str(), MemberLines(payload, "    ").c_str(),
      MemberLines(SettingsMembers(settings), "    ").c_str());
  return kExitOk;
}

}  // namespace brisk::tool

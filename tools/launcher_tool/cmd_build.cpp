// build: an application build from the launcher and a manifest.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <type_traits>
#include <filesystem>
#include <string>

#include "build_resources.h"
#include "commands.h"
#include "json_writer.h"
#include "manifest.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"
#include "settings_json.h"
#include "tool_files.h"

#ifdef _WIN32
#include <windows.h>

#include "base/unique_handle.h"

#include "resource_writer_win.h"
#endif

namespace brisk::tool {

namespace {

constexpr const char* kBuildUsage = "build MANIFEST OUT.exe [--launcher LAUNCHER.exe]";
constexpr const char* kShowUsage = "show BUILD.exe";

#ifdef _WIN32
// The launcher that ships beside this tool.
std::filesystem::path LauncherBesideTool() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::filesystem::path(self).parent_path() / L"launcher.exe";
}

// Copies the launcher, writes the resources into the copy and only then puts
// it in place, so that a refused or failed build leaves no output behind.
int WriteBuild(const std::filesystem::path& launcher, const std::filesystem::path& out,
               const BuildResult& build) {
  std::filesystem::path partial = out;
  partial += L".partial";
  if (!CopyFileW(launcher.c_str(), partial.c_str(), FALSE)) {
    return Refuse("cannot copy the launcher " + launcher.string());
  }
  std::vector<PayloadResource> resources;
  for (const BuiltResource& resource : build.resources) resources.push_back({resource.id, resource.bytes});
  if (!WritePayloadResources(partial.wstring(), resources) ||
      !MoveFileExW(partial.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(partial.c_str());
    return Refuse("cannot write the build " + out.string());
  }
  return kExitOk;
}

BOOL CALLBACK CollectPayloadId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::vector<int>*>(param)->push_back(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
  }
  return TRUE;
}

PayloadBuffer ResourceBytes(HMODULE module, const std::wstring& type, int id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type.c_str());
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* data = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
  if (!data) return {};
  return PayloadBuffer(data, data + SizeofResource(module, found));
}

std::string PayloadLine(int id, const PayloadBuffer& bytes) {
  std::vector<std::string> members = {Member("id", std::to_string(id)), Member("bytes", std::to_string(bytes.size()))};
  PayloadBuffer unpacked;
  const bool packed = UnpackContainer(bytes.data(), bytes.size(), unpacked);
  members.push_back(Member("packed", packed ? "true" : "false"));
  if (packed) members.push_back(Member("unpackedBytes", std::to_string(unpacked.size())));
  return InlineObject(members);
}
#endif

}  // namespace

int RunBuild(const Args& args) {
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
  if (!ReadWholeFile(positional[0], manifestBytes)) return Refuse("cannot read manifest " + positional[0]);
  const std::string text(manifestBytes.begin(), manifestBytes.end());
  ManifestResult manifest = ParseManifest(text, PathArgument(positional[0]).parent_path());
  if (!manifest.manifest) return Refuse(manifest.error);

  const BuildResult build = MakeBuildResources(*manifest.manifest);
  if (!build.error.empty()) return Refuse(build.error);

#ifdef _WIN32
  std::filesystem::path launcher = launcherOverride;
  if (launcher.empty()) launcher = manifest.manifest->launcher;
  if (launcher.empty()) launcher = LauncherBesideTool();
  return WriteBuild(launcher, PathArgument(positional[1]), build);
#else
  return Refuse("writing a build needs the Windows launcher-tool.exe (run it under Wine)");
#endif
}

}  // namespace brisk::tool

namespace brisk::tool {

// Lists the payload resources of a build and prints its settings record as
// the settings subcommand does.
int RunShow(const Args& args) {
  if (args.size() != 1) return Usage(kShowUsage);
#ifdef _WIN32
  const std::filesystem::path build = PathArgument(args[0]);
  const UniqueModule module(
      LoadLibraryExW(build.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!module) return Refuse("cannot open " + args[0] + " as an executable");
  const std::wstring type = GetEncodedStringWide(kPayloadResourceType);
  std::vector<int> ids;
  EnumResourceNamesW(module.get(), type.c_str(), CollectPayloadId, reinterpret_cast<LONG_PTR>(&ids));
  std::sort(ids.begin(), ids.end());

  std::vector<std::string> payload;
  for (int id : ids) payload.push_back(PayloadLine(id, ResourceBytes(module.get(), type, id)));
  PayloadBuffer record = ResourceBytes(module.get(), type, kBuildSettingsResource);
  BuildSettings settings;
  ParseBuildSettings(record, settings);
  std::printf("{\n  \"payload\": [\n%s  ],\n  \"settings\": {\n%s  }\n}\n", MemberLines(payload, "    ").c_str(),
              MemberLines(SettingsMembers(settings), "    ").c_str());
  return kExitOk;
#else
  return Refuse("reading a build's resources needs the Windows launcher-tool.exe (run it under Wine)");
#endif
}

}  // namespace brisk::tool

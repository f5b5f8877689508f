// build: an application build from the launcher and a manifest.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "build_resources.h"
#include "commands.h"
#include "manifest.h"

#ifdef _WIN32
#include <windows.h>

#include "resource_writer_win.h"
#endif

namespace brisk::tool {

namespace {

constexpr const char* kBuildUsage = "build MANIFEST OUT.exe [--launcher LAUNCHER.exe]";

std::filesystem::path PathArgument(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

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

  const std::filesystem::path manifestPath = PathArgument(positional[0]);
  std::ifstream manifestFile(manifestPath, std::ios::binary);
  if (!manifestFile) return Refuse("cannot read manifest " + positional[0]);
  const std::string text((std::istreambuf_iterator<char>(manifestFile)), std::istreambuf_iterator<char>());
  ManifestResult manifest = ParseManifest(text, manifestPath.parent_path());
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

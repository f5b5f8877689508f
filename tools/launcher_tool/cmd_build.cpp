// build: an application build from the launcher and a manifest.
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "build_writer.h"
#include "commands.h"
#include "diagnostic.h"
#include "interruption.h"
#include "manifest.h"
#include "tool_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace brisk::tool {

namespace {

constexpr const char* kBuildUsage = "build MANIFEST OUT.exe [--launcher LAUNCHER.exe] [--quiet] [--warnings-as-errors]";
constexpr std::uint64_t kMaxManifestBytes = 1024 * 1024;

// Prints each diagnostic on a line of its own (stderr); kExitRefused when
// one is an error.
int Print(const std::vector<Diagnostic>& diagnostics) {
  bool refused = false;
  for (const Diagnostic& diagnostic : diagnostics) {
    std::fprintf(stderr, "%s\n", FormatDiagnostic(diagnostic).c_str());
    refused = refused || diagnostic.severity == Severity::kError;
  }
  return refused ? kExitRefused : kExitOk;
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
  bool quiet = false;
  bool warningsAsErrors = false;
  Args positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--launcher") {
      if (i + 1 >= args.size()) return Usage(kBuildUsage);
      launcherOverride = PathArgument(args[++i]);
    } else if (args[i] == "--quiet") {
      quiet = true;
    } else if (args[i] == "--warnings-as-errors") {
      warningsAsErrors = true;
    } else if (args[i].starts_with("--")) {
      return Usage(kBuildUsage);
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
  ManifestResult manifest = ParseManifest(text, manifestPath.parent_path(), positional[0]);
  if (!manifest.manifest) return Print({manifest.error});

  BuildRequest request;
  request.manifest = &*manifest.manifest;
  request.manifestPath = manifestPath;
  request.launcher = launcherOverride;
  if (request.launcher.empty()) request.launcher = manifest.manifest->launcher;
  if (request.launcher.empty()) request.launcher = LauncherBesideTool();
  request.output = PathArgument(positional[1]);
  request.warningsAsErrors = warningsAsErrors;
  interruption::InstallHandlers();
  const BuildOutcome outcome = WriteApplicationBuild(request);
  if (!outcome.errors.empty()) return Print(outcome.errors);
  // Only a build that was made warns: a refusal stays its error.
  if (!quiet) Print(outcome.warnings);
  return kExitOk;
}

}  // namespace

int RunBuild(const Args& args) {
  try {
    return Build(args);
  } catch (const std::bad_alloc&) {
    return Refuse("not enough memory for this build");
  }
}

}  // namespace brisk::tool

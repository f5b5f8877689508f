#include "build_writer.h"

#include <optional>
#include <span>
#include <system_error>
#include <vector>

#include "build_files.h"
#include "build_image.h"
#include "build_resources.h"
#include "payload/encoded_strings.h"
#include "pe_image.h"
#include "resource_section.h"
#include "sign_command.h"

namespace brisk {

namespace {

constexpr std::uint16_t kLanguage = 0x0409;
// The launcher is a few hundred KiB; anything far larger is none.
constexpr std::uint64_t kMaxLauncherBytes = 64ull * 1024 * 1024;
// A build: the launcher, at most kMaxBuildPayloadBytes of payload packed
// (zlib grows incompressible data by a little) and a signature.
constexpr std::uint64_t kMaxBuildBytes = 1024ull * 1024 * 1024;
constexpr std::uint16_t kIconGroupId = 1;
constexpr std::uint16_t kFirstIconId = 1;
constexpr std::uint16_t kVersionId = 1;

// Every resource of the build, written in place of all the launcher's: the
// launcher's own (its dialog, symbols and the rest) except its payload, its
// version and, when the build has an icon of its own, its icons; then the
// build's icons, version and payload. Nothing of an earlier build's payload
// is carried over, and the launcher's icon images that the new group does
// not use go with the old group.
struct BuildResourceSet {
  PayloadBuffer iconGroup;
  std::vector<pe::ResourceItem> resources;
};

BuildResourceSet MakeResourceSet(std::span<const std::uint8_t> launcher, const LauncherCheck& check,
                                 const BuildResult& build) {
  BuildResourceSet result;
  const std::u16string payloadType = GetEncodedStringW(kPayloadResourceType);
  const bool newIcon = !build.icon.empty();
  for (const pe::ResourceEntry& entry : check.resources) {
    const bool icon =
        entry.type == pe::ResourceName{pe::kTypeIcon, {}} || entry.type == pe::ResourceName{pe::kTypeGroupIcon, {}};
    if (entry.type.text == payloadType || entry.type == pe::ResourceName{pe::kTypeVersion, {}} || (newIcon && icon)) {
      continue;
    }
    result.resources.push_back(
        {entry.type, entry.name, entry.language, pe::ResourceBytes(launcher, *check.image, entry)});
  }
  if (newIcon) {
    result.iconGroup = MakeIconGroup(build.icon, kFirstIconId);
    result.resources.push_back({{pe::kTypeGroupIcon, {}}, {kIconGroupId, {}}, kLanguage, result.iconGroup});
    std::uint16_t id = kFirstIconId;
    for (const IconImage& image : build.icon) {
      result.resources.push_back({{pe::kTypeIcon, {}}, {id++, {}}, kLanguage, image.bytes});
    }
  }
  result.resources.push_back({{pe::kTypeVersion, {}}, {kVersionId, {}}, kLanguage, build.version});
  for (const BuiltResource& resource : build.resources) {
    result.resources.push_back(
        {{0, payloadType}, {static_cast<std::uint16_t>(resource.id), {}}, kLanguage, resource.bytes});
  }
  return result;
}

// Runs the sign command on the file and checks that it then carries a
// signature; `bytes` is the signed file.
std::string SignFile(const BuildManifest& manifest, const std::filesystem::path& manifestFolder,
                     const std::filesystem::path& file, const std::string& what, std::vector<std::uint8_t>& bytes) {
  std::string error = RunSignCommand(manifest.signCommand, file, manifestFolder, what);
  if (!error.empty()) return error;
  error = ReadWholeFile(file, kMaxBuildBytes, bytes);
  if (!error.empty()) return "cannot read " + what + " after signing: " + error;
  const pe::ImageResult image = pe::ParseImage(bytes);
  if (!image.image) return "the sign command left " + what + " damaged: " + image.error;
  if (!pe::HasCertificateTable(bytes, *image.image)) return "the sign command left " + what + " without a signature";
  return {};
}

// Makes the build; returns why it was refused, one line about the build as
// a whole, or nothing. Errors about an input file go to outcome.errors.
std::string WriteBuild(const BuildRequest& request, BuildOutcome& outcome);

}  // namespace

BuildOutcome WriteApplicationBuild(const BuildRequest& request) {
  BuildOutcome outcome;
  std::string refusal = WriteBuild(request, outcome);
  if (!refusal.empty()) outcome.errors.push_back(BuildError(std::move(refusal)));
  if (!outcome.errors.empty()) outcome.warnings.clear();
  return outcome;
}

namespace {

std::string WriteBuild(const BuildRequest& request, BuildOutcome& outcome) {
  const BuildManifest& manifest = *request.manifest;
  const std::filesystem::path output = FullPath(request.output);
  const std::filesystem::path folder = output.parent_path();
  const std::filesystem::path manifestFolder = FullPath(request.manifestPath).parent_path();
  const std::string outputName = Utf8Path(output);

  std::error_code statusError;
  const std::filesystem::file_status folderStatus = std::filesystem::status(folder, statusError);
  if (folderStatus.type() == std::filesystem::file_type::not_found) {
    return "the output folder " + Utf8Path(folder) + " does not exist";
  }
  if (statusError) return "cannot use the output folder " + Utf8Path(folder) + ": " + statusError.message();
  if (!std::filesystem::is_directory(folderStatus)) return "the output folder " + Utf8Path(folder) + " is a file";
  if (std::filesystem::is_directory(output, statusError)) return "the output " + outputName + " is a folder";

  std::string error;
  std::optional<OutputLock> lock = OutputLock::Create(output, error);
  if (!lock) return "cannot use the output folder " + Utf8Path(folder) + ": " + error;
  if (!lock->TryTake(error)) {
    if (!error.empty()) return "cannot write in the output folder " + Utf8Path(folder) + ": " + error;
    return "another build is writing " + outputName + "; try again when it has finished";
  }
  RemoveStaleScratchFiles(output);

  std::vector<std::uint8_t> launcher;
  error = ReadWholeFile(request.launcher, kMaxLauncherBytes, launcher);
  if (!error.empty()) return "cannot read the launcher " + Utf8Path(request.launcher) + ": " + error;
  const LauncherCheck check = CheckLauncherImage(launcher);
  if (!check.error.empty()) return "the launcher " + Utf8Path(request.launcher) + " is " + check.error;

  if (const std::optional<FileIdentity> outputFile = IdentityOf(output)) {
    const std::pair<const char*, const std::filesystem::path*> inputs[] = {{"the launcher", &request.launcher},
                                                                           {"the manifest", &request.manifestPath},
                                                                           {"the workbook", &manifest.workbook},
                                                                           {"the aux-workbook", &manifest.auxWorkbook},
                                                                           {"addin32", &manifest.addin32},
                                                                           {"addin64", &manifest.addin64},
                                                                           {"the licence", &manifest.licence},
                                                                           {"the splash picture", &manifest.splash},
                                                                           {"the language file", &manifest.language},
                                                                           {"the icon", &manifest.icon}};
    for (const auto& [role, path] : inputs) {
      if (!path->empty() && IdentityOf(*path) == outputFile) {
        return "the output " + outputName + " is " + role + " itself; choose another output name";
      }
    }
  }

  const TimeStampChoice stamp = ChooseTimeStamp(EnvironmentVariable("SOURCE_DATE_EPOCH"));
  if (!stamp.error.empty()) return stamp.error;

  const auto cannotWrite = [&](const std::string& why) {
    return "cannot write in the output folder " + Utf8Path(folder) + ": " + why;
  };
  AddinPreparer prepareAddin;
  if (!manifest.signCommand.empty()) {
    prepareAddin = [&](const std::filesystem::path& addin, PayloadBuffer& bytes) -> std::string {
      const std::string what = "the add-in " + Utf8Path(addin);
      const pe::ImageResult image = pe::ParseImage(bytes);
      if (!image.image) return "cannot sign " + what + ": " + image.error;
      std::string why;
      std::optional<ScratchFile> copy = ScratchFile::Create(output, "addin", Utf8Path(addin.extension()), why);
      if (!copy) return cannotWrite(why);
      if (!(why = WriteWholeFile(copy->path(), bytes)).empty()) return cannotWrite(why);
      return SignFile(manifest, manifestFolder, copy->path(), what, bytes);
    };
  }
  BuildResult build = MakeBuildResources(manifest, output.filename().u16string(), prepareAddin);
  if (build.error) {
    outcome.errors.push_back(std::move(*build.error));
    return {};
  }
  outcome.warnings = std::move(build.warnings);
  if (request.warningsAsErrors && !outcome.warnings.empty()) {
    for (Diagnostic warning : outcome.warnings) {
      warning.severity = Severity::kError;
      outcome.errors.push_back(std::move(warning));
    }
    outcome.errors.push_back(BuildError(std::to_string(outcome.warnings.size()) +
                                        " warning(s) refused under --warnings-as-errors: nothing was written"));
    return {};
  }

  std::optional<ScratchFile> scratch = ScratchFile::Create(output, "build", ".tmp", error);
  if (!scratch) return cannotWrite(error);
  std::vector<std::uint8_t> image = launcher;
  {
    const BuildResourceSet set = MakeResourceSet(launcher, check, build);
    error = pe::ReplaceResources(image, set.resources);
    if (!error.empty()) return "the launcher " + Utf8Path(request.launcher) + " is refused: " + error;
  }
  launcher = {};
  build = {};

  if (!FinishBuildImage(image, stamp.stamp)) return "the resource writer left a damaged image";
  if (!(error = WriteWholeFile(scratch->path(), image)).empty()) return cannotWrite(error);

  if (!manifest.signCommand.empty()) {
    error = SignFile(manifest, manifestFolder, scratch->path(), "the build " + outputName, image);
    if (!error.empty()) return error;
    if (!UpdateChecksum(image)) return "the sign command left the build damaged";
    if (!(error = WriteWholeFile(scratch->path(), image)).empty()) return cannotWrite(error);
  }
  image = {};

  if (!(error = scratch->MoveTo(output)).empty()) return "cannot replace " + outputName + ": " + error;
  return {};
}

}  // namespace

}  // namespace brisk

// Everything an application build carries, made from a manifest: the payload
// resources in the form the launcher reads them, the application's icon and
// its version resource.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "diagnostic.h"
#include "icon_file.h"
#include "manifest.h"
#include "payload/payload_buffer.h"

namespace brisk {

struct BuiltResource {
  int id;  // a PayloadResourceId
  PayloadBuffer bytes;
};

struct BuildResult {
  std::vector<BuiltResource> resources;  // in the order they are written
  std::vector<IconImage> icon;           // empty: the launcher keeps its own
  PayloadBuffer version;                 // the RT_VERSION resource
  std::optional<Diagnostic> error;       // set when the build is refused
  // Input the launcher passes over or that may not be what the maker meant:
  // the manifest's own warnings first.
  std::vector<Diagnostic> warnings;
};

// Turns an add-in library into the bytes that are embedded (the builder
// signs a scratch copy); returns the reason on failure. Without one the
// file is embedded as it is.
using AddinPreparer = std::function<std::string(const std::filesystem::path& addin, PayloadBuffer& bytes)>;

// Reads every file the manifest names and makes the resources. Every input
// must be a regular file; the payload files may add up to at most
// kMaxBuildPayloadBytes and are refused before they are read when they do
// not. What the launcher cannot use is refused at the manifest's line that
// names it: an add-in that is no DLL of its slot's bitness, a splash picture
// the launcher's picture loader does not read, an empty workbook, a licence
// beyond the licence dialog's limits, a language file the launcher would
// show broken. `outputName` is the build's file name (OriginalFilename).
BuildResult MakeBuildResources(const BuildManifest& manifest, const std::u16string& outputName,
                               const AddinPreparer& prepareAddin = {});

// The version resource of a build: ProductName the name, FileDescription
// the description or else the name, FileVersion and ProductVersion the
// version, CompanyName, LegalCopyright, OriginalFilename the output's name.
PayloadBuffer MakeBuildVersionResource(const BuildManifest& manifest, const std::u16string& outputName);

}  // namespace brisk

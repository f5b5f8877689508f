// An application build read back as the launcher reads it, with a verdict
// on each part: what `show` prints, and what a pre-ship check needs. Every
// payload is decoded by the launcher's own rules (payload/, text/, core/)
// and judged by the builder's (payload_check.h): a part the launcher would
// refuse, show broken or not use is named, with why, and the build is then
// damaged. The signature is judged by its image digest (authenticode.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "authenticode.h"
#include "icon_file.h"
#include "payload/build_settings.h"
#include "version_resource.h"

namespace brisk {

struct PartReport {
  int id = 0;
  std::string name;  // "main workbook", "add-in for 64-bit hosts", ...
  std::size_t storedBytes = 0;
  bool packed = false;  // a container that unpacks
  std::optional<std::size_t> unpackedBytes;
  std::string detail;                       // what it holds, in a few words
  std::string problem;                      // why the part is damaged; empty when it is good
  std::optional<SignatureCheck> signature;  // of an add-in
};

struct BuildInspection {
  // Why the file is no application build ("the bare launcher", ...); the
  // rest is then empty.
  std::string notABuild;
  BuildSettings settings;
  std::vector<PartReport> parts;  // every payload resource, by id
  bool hosts32 = false;           // an add-in the launcher gives a 32-bit host
  bool hosts64 = false;
  bool licence = false;  // a licence the user must agree to
  std::string splash;    // the splash picture's format; empty without one
  SignatureCheck signature;
  std::vector<IconGroupEntry> icon;
  std::optional<ParsedVersion> version;
  // One line each: every damaged part, a signature that does not match, a
  // build that starts with no host.
  std::vector<std::string> problems;

  bool Damaged() const { return !notABuild.empty() || !problems.empty(); }
};

// `file` is the whole build; nothing but a file that is no PE image at all
// is refused (`error`).
struct InspectionResult {
  std::optional<BuildInspection> inspection;
  std::string error;
};
InspectionResult InspectBuild(std::span<const std::uint8_t> file);

}  // namespace brisk

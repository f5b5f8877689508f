// Writes an application build, with the same code and so the same bytes on
// Linux, on other POSIX systems and on Windows (or under Wine): the build's
// resources are laid out by the portable resource writer.
//
// The output is made under a scratch name beside it (made exclusively,
// unique per process and attempt) and moved into place only when it is complete and,
// when the manifest asks, signed; a refused or failed build leaves neither
// an output nor a scratch file. Two builds of one output at a time: the
// second stops at once with an error naming the first (OutputLock), so the
// output is always the whole work of the one build that reported success.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "manifest.h"

namespace brisk {

struct BuildRequest {
  const BuildManifest* manifest = nullptr;
  std::filesystem::path manifestPath;
  std::filesystem::path launcher;
  std::filesystem::path output;
};

// Makes the build; returns the reason it was refused (one line), or nothing.
// `warnings` gets a line for each input that the build takes but the
// launcher passes over (lines of the language file it ignores).
std::string WriteApplicationBuild(const BuildRequest& request, std::vector<std::string>& warnings);

}  // namespace brisk

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
// A build that holds the lock first removes the scratch files that killed
// builds of the same output left (RemoveStaleScratchFiles); one that is
// interrupted removes its own (interruption.h).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "diagnostic.h"
#include "manifest.h"

namespace brisk {

struct BuildRequest {
  const BuildManifest* manifest = nullptr;
  std::filesystem::path manifestPath;
  std::filesystem::path launcher;
  std::filesystem::path output;
  // A build with warnings is refused, its warnings turned into errors.
  bool warningsAsErrors = false;
};

struct BuildOutcome {
  // Why the build was refused: one error, or every warning under
  // warningsAsErrors. Empty when the build was made.
  std::vector<Diagnostic> errors;
  // What the build took but the launcher passes over, or what may not be
  // what the maker meant; only of a build that was made.
  std::vector<Diagnostic> warnings;
};

BuildOutcome WriteApplicationBuild(const BuildRequest& request);

}  // namespace brisk

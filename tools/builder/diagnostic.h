// What the builder says about its inputs: an error that refuses a build or a
// warning about input the launcher would pass over, each about a line of a
// file the maker wrote (the manifest, a language file), about such a file as
// a whole, or about the build as a whole.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace brisk {

enum class Severity { kError, kWarning };

struct Diagnostic {
  Severity severity = Severity::kError;
  std::string file;      // as the maker named it, UTF-8; empty: about the build as a whole
  std::size_t line = 0;  // 1 and up; 0: about the file as a whole
  std::string message;
  bool operator==(const Diagnostic&) const = default;
};

// An error about the build as a whole.
inline Diagnostic BuildError(std::string message) { return {Severity::kError, {}, 0, std::move(message)}; }

// The line as editors and CI annotations read it: "FILE:LINE: error: ...",
// "FILE: warning: ..." for a whole file; "launcher-tool: ..." and
// "launcher-tool: warning: ..." for the build as a whole.
std::string FormatDiagnostic(const Diagnostic& diagnostic);

}  // namespace brisk

#include "diagnostic.h"

namespace brisk {

std::string FormatDiagnostic(const Diagnostic& diagnostic) {
  const bool warning = diagnostic.severity == Severity::kWarning;
  if (diagnostic.file.empty())
    return std::string("launcher-tool: ") + (warning ? "warning: " : "") + diagnostic.message;
  std::string text = diagnostic.file;
  if (diagnostic.line != 0) text += ":" + std::to_string(diagnostic.line);
  return text + (warning ? ": warning: " : ": error: ") + diagnostic.message;
}

}  // namespace brisk

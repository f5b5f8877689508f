// GoogleTest prints a Diagnostic as the line the tool prints.
#pragma once

#include <ostream>

#include "diagnostic.h"

namespace brisk {

inline void PrintTo(const Diagnostic& diagnostic, std::ostream* out) { *out << FormatDiagnostic(diagnostic); }

}  // namespace brisk

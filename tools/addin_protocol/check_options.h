// Command-line options of addin-check that describe the expected hand-over.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/addin_protocol/conformance.h"

namespace brisk::addin {

// Options, each followed by its value:
//   --pid N  --property1209 N  --language N  --option N   (decimal, or hex with 0x)
//   --exe-path  --settings-record  --completed  --external  --visible-at-end
//   --icon  --quit   (yes or no)
// Returns the fault, or nothing when every option was understood.
std::optional<std::string> ParseExpectationOptions(const std::vector<std::string>& args, HandoverExpectation& expect);

}  // namespace brisk::addin

// The unpack benchmark's resource half (Windows): the payload travels as
// resource 1020 of a copy of the benchmark, and the copy times the loading
// operations of the launcher against a bare uncompress of the same resource.
#pragma once

#include <string_view>

#include "bench/unpack_payload.h"

namespace brisk::bench {

inline constexpr std::string_view kResourceChildOption = "--resource-child";

// Writes the copy, runs it with kResourceChildOption and removes it again.
int RunResourceBench(const UnpackPayload& payload, int runs);

// The copy's part: times LoadPayloadResource and LoadAndUnpackPayload of
// resource 1020 and a bare uncompress straight from the resource memory.
int RunResourceChild(int runs);

}  // namespace brisk::bench

// The byte buffer that every payload resource is loaded into.
#pragma once

#include <cstdint>
#include <vector>

namespace brisk {

// Bytes plus length, owned by whoever holds it. Payloads are binary data,
// never text.
using PayloadBuffer = std::vector<std::uint8_t>;

}  // namespace brisk

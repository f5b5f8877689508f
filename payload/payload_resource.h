// Payload resources of the launcher's own executable (Windows only).
#pragma once

#include "payload/payload_buffer.h"

namespace brisk {

// Replaces `out` by the raw bytes of resource "#<id>" of the payload type
// (encoded string kPayloadResourceType). False, with `out` empty, when the
// resource is missing, cannot be loaded or is empty.
bool LoadPayloadResource(int id, PayloadBuffer& out);

// What LoadPayloadResource followed by UnpackInPlace gives: a valid container
// unpacked, raw data that is not one as it is; false, with `out` empty, for a
// resource that LoadPayloadResource cannot load. Returns whether `out` is
// non-empty. A container is unpacked from the resource memory directly,
// without a raw copy first.
bool LoadAndUnpackPayload(int id, PayloadBuffer& out);

enum class PayloadState {
  kMissing,  // no such resource, or an empty one
  kReady,    // `out` holds the unpacked container, or raw data that is none
  kDamaged,  // a container header whose stream does not unpack, or a payload
             // beyond its size limit: a damaged build
};

// LoadAndUnpackPayload for the payloads a launch cannot do without: it tells
// a missing and a damaged resource from one that is ready. `out` is empty
// unless the state is kReady. A payload of more than `maxBytes` (raw, or as
// its container header declares) is damaged, and such a container is never
// unpacked.
PayloadState LoadPayload(int id, PayloadBuffer& out, std::size_t maxBytes = static_cast<std::size_t>(-1));

}  // namespace brisk

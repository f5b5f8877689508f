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

}  // namespace brisk

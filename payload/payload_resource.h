// Payload resources of the launcher's own executable (Windows only).
#pragma once

#include "payload/payload_buffer.h"

namespace brisk {

// Replaces `out` by the raw bytes of resource "#<id>" of the payload type
// (encoded string kPayloadResourceType). False, with `out` empty, when the
// resource is missing, cannot be loaded or is empty.
bool LoadPayloadResource(int id, PayloadBuffer& out);

// LoadPayloadResource, then UnpackInPlace: raw data that is not a valid
// container comes back as it is. Returns whether `out` is non-empty.
bool LoadAndUnpackPayload(int id, PayloadBuffer& out);

}  // namespace brisk

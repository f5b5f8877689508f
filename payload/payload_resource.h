// Payload resources of the launcher's own executable (Windows only).
#pragma once

#include "payload/container.h"
#include "payload/payload_buffer.h"

namespace brisk {

// Replaces `out` by the raw bytes of resource "#<id>" of the payload type
// (encoded string kPayloadResourceType). False, with `out` empty, when the
// resource is missing, cannot be loaded or is empty.
bool LoadPayloadResource(int id, PayloadBuffer& out);

// The lenient reading (UnpackInPlace) of a resource, for the payloads that
// read whatever bytes they get (the message table): a valid container
// unpacked, any other data, a damaged container too, as it is; false, with
// `out` empty, for a resource that LoadPayloadResource cannot load. Returns
// whether `out` is non-empty. A container is unpacked from the resource
// memory directly, without a raw copy first.
bool LoadAndUnpackPayload(int id, PayloadBuffer& out);

// The payloads a launch cannot do without, read by the one rule
// (UnpackPayload, payload/container.h) straight from the resource memory: a
// missing or empty resource is kMissing, a damaged one kDamaged.
PayloadState LoadPayload(int id, PayloadBuffer& out, std::size_t maxBytes = static_cast<std::size_t>(-1));

}  // namespace brisk

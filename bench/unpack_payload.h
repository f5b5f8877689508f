// The payload that the unpack benchmark works on: a workbook-like file behind
// the workbook marker (as the builder stores payload 1020), and its container.
#pragma once

#include <cstddef>

#include "payload/payload_buffer.h"

namespace brisk::bench {

struct UnpackPayload {
  PayloadBuffer unpacked;   // marker + workbook-like file
  PayloadBuffer container;  // PackContainer of `unpacked`
};

UnpackPayload MakeUnpackPayload(std::size_t fileBytes);

// The zlib stream of a container: everything after the 24-byte header.
struct Stream {
  const unsigned char* data;
  unsigned long size;
};
Stream ContainerStream(const unsigned char* container, std::size_t size);

// One bare zlib uncompress of the stream into a fresh destination of
// `unpackedSize` bytes that nothing has touched yet, timed alone. Returns the
// milliseconds, or a negative value when zlib fails.
double TimeBareUncompress(Stream stream, std::size_t unpackedSize);

}  // namespace brisk::bench

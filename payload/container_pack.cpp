// Packing a container (zlib's deflate side). In a file of its own so that
// only the programs that pack link it: the launcher only unpacks.
#include "payload/container.h"

#include <zlib.h>

#include <limits>
#include <new>
#include <stdexcept>

#include "payload/byte_order.h"

namespace brisk {

bool PackContainer(const std::uint8_t* data, std::size_t size, PayloadBuffer& out) {
  if (size > std::numeric_limits<std::uint32_t>::max() || size > std::numeric_limits<uLong>::max()) return false;
  // compressBound is never smaller than the classic n + n/4096 + n/16384 + 11
  // and, unlike it, is guaranteed to hold any stream zlib writes.
  const uLong bound = compressBound(static_cast<uLong>(size));
  if (bound < size || bound > std::numeric_limits<std::size_t>::max() - kContainerHeaderSize) return false;

  PayloadBuffer packed;
  try {
    packed.resize(static_cast<std::size_t>(kContainerHeaderSize) + bound);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  uLongf streamBytes = bound;
  static const std::uint8_t kNoBytes = 0;
  if (compress(packed.data() + kContainerHeaderSize, &streamBytes, size == 0 ? &kNoBytes : data,
               static_cast<uLong>(size)) != Z_OK) {
    return false;
  }
  le::WriteU32(packed.data(), kContainerMagic);
  le::WriteU32(packed.data() + 4, kContainerHeaderSize);
  le::WriteU32(packed.data() + 8, kContainerVersion);
  le::WriteU32(packed.data() + 12, static_cast<std::uint32_t>(streamBytes));
  le::WriteU32(packed.data() + 16, static_cast<std::uint32_t>(size));
  le::WriteU32(packed.data() + 20, 0);
  packed.resize(kContainerHeaderSize + streamBytes);
  out.swap(packed);
  return true;
}

}  // namespace brisk

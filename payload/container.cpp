#include "payload/container.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

#include "payload/byte_order.h"

namespace brisk {

namespace {

// Deflate cannot expand input by more than 1032:1 (a 258-byte match costs at
// least two bits), so no stream of this length can fill more than this.
// Sizing the destination by it instead of by a header that claims gigabytes
// gives exactly the same result without the useless allocation.
std::uint64_t MaxInflatedSize(std::size_t streamBytes) {
  return static_cast<std::uint64_t>(streamBytes) * 1032u + 1024u;
}

}  // namespace

bool IsContainerHeader(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < kContainerHeaderSize) return false;
  return le::ReadU32(data) == kContainerMagic && le::ReadU32(data + 4) == kContainerHeaderSize &&
         le::ReadU32(data + 12) != 0 && le::ReadU32(data + 16) != 0;
}

std::uint32_t DeclaredUnpackedSize(const std::uint8_t* data, std::size_t size) {
  return IsContainerHeader(data, size) ? le::ReadU32(data + 16) : 0;
}

bool UnpackContainer(const std::uint8_t* data, std::size_t size, PayloadBuffer& out) {
  if (!IsContainerHeader(data, size)) return false;
  const std::size_t streamBytes = size - kContainerHeaderSize;
  const std::uint64_t capacity = std::min<std::uint64_t>(le::ReadU32(data + 16), MaxInflatedSize(streamBytes));
  if (streamBytes > std::numeric_limits<uLong>::max()) return false;

  PayloadBuffer inflated;
  try {
    inflated.resize(static_cast<std::size_t>(capacity));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  uLongf produced = static_cast<uLongf>(capacity);
  if (uncompress(inflated.data(), &produced, data + kContainerHeaderSize, static_cast<uLong>(streamBytes)) != Z_OK) {
    return false;
  }
  inflated.resize(produced);
  if (inflated.capacity() / 2 > inflated.size()) inflated.shrink_to_fit();
  out.swap(inflated);
  return true;
}

bool UnpackInPlace(PayloadBuffer& buffer) {
  if (buffer.empty()) return false;
  // UnpackContainer only swaps into `buffer` once the new content is complete,
  // so the caller's bytes are never copied back and forth.
  UnpackContainer(buffer.data(), buffer.size(), buffer);
  return !buffer.empty();
}

}  // namespace brisk

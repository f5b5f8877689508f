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

// Bytes inflated per call: small enough that a slice's zeros and zlib's
// writes over them meet in the cache.
constexpr std::size_t kUnpackSliceBytes = 256 * 1024;

}  // namespace

bool IsContainerHeader(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < kContainerHeaderSize) return false;
  return le::ReadU32(data) == kContainerMagic && le::ReadU32(data + 4) == kContainerHeaderSize &&
         le::ReadU32(data + 12) != 0 && le::ReadU32(data + 16) != 0;
}

std::uint32_t DeclaredUnpackedSize(const std::uint8_t* data, std::size_t size) {
  return IsContainerHeader(data, size) ? le::ReadU32(data + 16) : 0;
}

namespace {

// The container's stream into `out`: kReady, kDamaged, or kOutOfMemory when
// the buffer or zlib's state could not be allocated.
PayloadState InflateContainer(const std::uint8_t* data, std::size_t size, PayloadBuffer& out) {
  if (!IsContainerHeader(data, size)) return PayloadState::kDamaged;
  const std::size_t streamBytes = size - kContainerHeaderSize;
  const std::uint64_t capacity = std::min<std::uint64_t>(le::ReadU32(data + 16), MaxInflatedSize(streamBytes));
  if (streamBytes > std::numeric_limits<uInt>::max() || capacity > std::numeric_limits<std::size_t>::max()) {
    return PayloadState::kDamaged;
  }

  PayloadBuffer inflated;
  try {
    inflated.reserve(static_cast<std::size_t>(capacity));
  } catch (const std::bad_alloc&) {
    return PayloadState::kOutOfMemory;
  } catch (const std::length_error&) {
    return PayloadState::kDamaged;
  }
  z_stream stream = {};
  stream.next_in = const_cast<Bytef*>(data + kContainerHeaderSize);
  stream.avail_in = static_cast<uInt>(streamBytes);
  if (const int init = inflateInit(&stream); init != Z_OK) {
    return init == Z_MEM_ERROR ? PayloadState::kOutOfMemory : PayloadState::kDamaged;
  }
  // The buffer grows one slice at a time just before zlib writes the slice:
  // the zeros a vector must put there first stay in the cache, instead of
  // costing a pass over the whole payload in memory before the inflation.
  int status = Z_OK;
  do {
    const std::size_t filled = inflated.size();
    const std::size_t slice = std::min<std::size_t>(kUnpackSliceBytes, static_cast<std::size_t>(capacity) - filled);
    inflated.resize(filled + slice);  // within the reserved capacity: never reallocates
    stream.next_out = inflated.data() + filled;
    stream.avail_out = static_cast<uInt>(slice);
    status = inflate(&stream, Z_NO_FLUSH);
    inflated.resize(filled + slice - stream.avail_out);
    // Anything but progress towards the stream's end is a failure: a broken
    // stream, input that ends early, or content beyond the declared size
    // (a full buffer where zlib can go no further).
    if (status != Z_OK && status != Z_STREAM_END) break;
    if (status == Z_OK && stream.avail_in == 0 && stream.avail_out != 0) status = Z_DATA_ERROR;
  } while (status == Z_OK);
  inflateEnd(&stream);
  if (status == Z_MEM_ERROR) return PayloadState::kOutOfMemory;
  if (status != Z_STREAM_END) return PayloadState::kDamaged;
  if (inflated.capacity() / 2 > inflated.size()) inflated.shrink_to_fit();
  out.swap(inflated);
  return PayloadState::kReady;
}

}  // namespace

bool UnpackContainer(const std::uint8_t* data, std::size_t size, PayloadBuffer& out) {
  return InflateContainer(data, size, out) == PayloadState::kReady;
}

PayloadState UnpackPayload(std::span<const std::uint8_t> bytes, PayloadBuffer& out, std::size_t maxBytes) {
  out.clear();
  if (bytes.empty()) return PayloadState::kMissing;
  if (IsContainerHeader(bytes.data(), bytes.size())) {
    if (DeclaredUnpackedSize(bytes.data(), bytes.size()) > maxBytes) return PayloadState::kDamaged;
    // The unpacker never gives more than the header declares.
    return InflateContainer(bytes.data(), bytes.size(), out);
  }
  if (bytes.size() > maxBytes) return PayloadState::kDamaged;
  try {
    out.reserve(bytes.size() + 1);
    out.assign(bytes.begin(), bytes.end());
  } catch (const std::bad_alloc&) {
    PayloadBuffer().swap(out);
    return PayloadState::kOutOfMemory;
  }
  return PayloadState::kReady;
}

PayloadState UnpackPayloadInPlace(PayloadBuffer& buffer, std::size_t maxBytes) {
  if (buffer.empty()) return PayloadState::kMissing;
  PayloadState state = PayloadState::kReady;
  if (IsContainerHeader(buffer.data(), buffer.size())) {
    state = DeclaredUnpackedSize(buffer.data(), buffer.size()) > maxBytes
                ? PayloadState::kDamaged
                : InflateContainer(buffer.data(), buffer.size(), buffer);
  } else if (buffer.size() > maxBytes) {
    state = PayloadState::kDamaged;
  }
  if (state != PayloadState::kReady) PayloadBuffer().swap(buffer);
  return state;
}

bool UnpackInPlace(PayloadBuffer& buffer) {
  if (buffer.empty()) return false;
  // UnpackContainer only swaps into `buffer` once the new content is complete,
  // so the caller's bytes are never copied back and forth.
  UnpackContainer(buffer.data(), buffer.size(), buffer);
  return !buffer.empty();
}

}  // namespace brisk

// The packed payload container: a 24-byte header followed by one zlib stream.
//
//   offset 0  magic         "QZH\0" (0x00485A51)
//   offset 4  headerSize    24
//   offset 8  version       0x100 (written, never checked)
//   offset 12 packedSize    compressed bytes after the header (not used to read)
//   offset 16 unpackedSize  bytes after decompression
//   offset 20 reserved      0
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "payload/payload_buffer.h"

namespace brisk {

constexpr std::uint32_t kContainerMagic = 0x00485A51;
constexpr std::uint32_t kContainerHeaderSize = 24;
constexpr std::uint32_t kContainerVersion = 0x100;

// True when the data starts with a header that the unpacker accepts: at least
// 24 bytes, the magic, headerSize 24, and non-zero packed and unpacked sizes.
// The stream itself is not examined.
bool IsContainerHeader(const std::uint8_t* data, std::size_t size);

// The unpacked size a container's header declares, read without unpacking;
// 0 when the data does not start with a header IsContainerHeader accepts.
std::uint32_t DeclaredUnpackedSize(const std::uint8_t* data, std::size_t size);

// Inflates a container. On success `out` holds exactly the inflated bytes; on
// any failure (not a container, zlib error, no memory) `out` is untouched.
// `data` may point into `out`.
bool UnpackContainer(const std::uint8_t* data, std::size_t size, PayloadBuffer& out);

// What a payload's stored bytes give under the one rule of the readers that
// tell a damaged payload from a good one.
enum class PayloadState {
  kMissing,      // no bytes
  kReady,        // the unpacked container, or raw data that is none
  kDamaged,      // a container header whose stream does not unpack, or a payload
                 // beyond its size limit: a damaged build
  kOutOfMemory,  // the memory for the unpacked bytes could not be had: the
                 // build may be sound, the machine is short of memory
};

// The rule: bytes that start with a container header are unpacked; such a
// container that does not unpack, or whose header declares more than
// `maxBytes` (it is then never unpacked), is damaged. Other bytes are the
// payload as they are, damaged when there are more than `maxBytes` or they
// cannot be copied. `out` is empty unless the state is kReady; `bytes` must
// not lie in `out`.
PayloadState UnpackPayload(std::span<const std::uint8_t> bytes, PayloadBuffer& out,
                           std::size_t maxBytes = static_cast<std::size_t>(-1));

// The same rule for bytes already held in `buffer`: raw data stays where it
// is, without a copy; `buffer` is empty unless the state is kReady.
PayloadState UnpackPayloadInPlace(PayloadBuffer& buffer, std::size_t maxBytes = static_cast<std::size_t>(-1));

// The lenient reading, for the records that read whatever bytes they get
// (the settings record, the message table): the buffer's content is
// replaced by its unpacked form when it holds a valid container, and
// otherwise, a container that does not unpack too, left as it is. Returns
// whether the buffer is non-empty afterwards; an empty buffer gives false at
// once.
bool UnpackInPlace(PayloadBuffer& buffer);

// Replaces `out` by the container of the given bytes (zlib at its default
// level). Fails only for inputs too large for the header or when zlib or the
// allocation fails; `out` is then untouched. `data` may point into `out`.
bool PackContainer(const std::uint8_t* data, std::size_t size, PayloadBuffer& out);

}  // namespace brisk

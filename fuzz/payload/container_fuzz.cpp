// The container unpacker on any bytes, and packing round trips.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <zlib.h>

#include "payload/byte_order.h"
#include "payload/container.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using brisk::PayloadBuffer;
  const PayloadBuffer input(data, data + size);
  const PayloadBuffer sentinel{0xAB};

  PayloadBuffer out = sentinel;
  const bool header = brisk::IsContainerHeader(data, size);
  const bool unpacked = brisk::UnpackContainer(data, size, out);
  if (unpacked && !header) std::abort();
  if (!unpacked && out != sentinel) std::abort();
  if (unpacked && out.size() > brisk::le::ReadU32(data + 16)) std::abort();

  // zlib's own one-call inflation into the same room is the reference: the
  // unpacker succeeds exactly when it does, with the same bytes.
  if (header) {
    const std::uint64_t streamBytes = size - 24;
    const std::uint64_t room = std::min<std::uint64_t>(brisk::le::ReadU32(data + 16), streamBytes * 1032 + 1024);
    std::vector<std::uint8_t> reference(room);
    uLongf produced = static_cast<uLongf>(room);
    const bool referenceOk =
        uncompress(reference.data(), &produced, data + 24, static_cast<uLong>(streamBytes)) == Z_OK;
    if (referenceOk != unpacked) std::abort();
    if (unpacked && !std::equal(out.begin(), out.end(), reference.begin(), reference.begin() + produced)) std::abort();
    if (unpacked && out.size() != produced) std::abort();
  }

  PayloadBuffer inPlace = input;
  const bool nonEmpty = brisk::UnpackInPlace(inPlace);
  if (inPlace != (unpacked ? out : input)) std::abort();
  if (nonEmpty != !inPlace.empty()) std::abort();

  // Whatever came out, and the input itself, survive packing and unpacking.
  const PayloadBuffer& result = out;
  for (const PayloadBuffer* bytes : {&input, &result}) {
    if (bytes->empty()) continue;
    PayloadBuffer packed;
    PayloadBuffer again;
    if (!brisk::PackContainer(bytes->data(), bytes->size(), packed)) std::abort();
    if (!brisk::UnpackContainer(packed.data(), packed.size(), again) || again != *bytes) std::abort();
  }
  return 0;
}

#include "bench/unpack_payload.h"

#include <zlib.h>

#include <memory>
#include <span>
#include <stdexcept>

#include "bench/figures.h"
#include "bench/workbook_like.h"
#include "payload/build_settings.h"
#include "payload/byte_order.h"
#include "payload/container.h"

namespace brisk::bench {

UnpackPayload MakeUnpackPayload(std::size_t fileBytes) {
  UnpackPayload payload;
  payload.unpacked.resize(4 + fileBytes);
  le::WriteU32(payload.unpacked.data(), kWorkbookMarker);
  FillWorkbookLikeFile(std::span(payload.unpacked).subspan(4), 20240611);
  if (!PackContainer(payload.unpacked.data(), payload.unpacked.size(), payload.container)) {
    throw std::runtime_error("PackContainer failed");
  }
  return payload;
}

Stream ContainerStream(const unsigned char* container, std::size_t size) {
  return {container + kContainerHeaderSize, static_cast<unsigned long>(size - kContainerHeaderSize)};
}

double TimeBareUncompress(Stream stream, std::size_t unpackedSize) {
  // Not value-initialised: the destination pages are first touched by zlib,
  // as they would be in any unpacker that writes straight into new memory.
  const std::unique_ptr<Bytef[]> destination(new Bytef[unpackedSize]);
  uLongf produced = static_cast<uLongf>(unpackedSize);
  const Stopwatch watch;
  const int result = uncompress(destination.get(), &produced, stream.data, stream.size);
  const double elapsed = watch.Milliseconds();
  return result == Z_OK && produced == unpackedSize ? elapsed : -1;
}

}  // namespace brisk::bench

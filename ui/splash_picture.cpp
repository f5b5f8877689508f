#include "ui/splash_picture.h"

#include <cstring>

#include "payload/container.h"

namespace brisk {

namespace {

constexpr std::size_t kSmallestPicture = 11;

bool StartsWithContainerMagic(const PayloadBuffer& bytes) {
  return bytes.size() >= 4 && bytes[0] == 'Q' && bytes[1] == 'Z' && bytes[2] == 'H' && bytes[3] == 0;
}

}  // namespace

ComRef<IPicture> LoadSplashPicture(const PayloadBuffer& raw) {
  ComRef<IPicture> picture;
  if (raw.size() < kSmallestPicture) return picture;
  PayloadBuffer unpacked;
  if (StartsWithContainerMagic(raw) && !UnpackContainer(raw.data(), raw.size(), unpacked)) return picture;
  const PayloadBuffer& bytes = StartsWithContainerMagic(raw) ? unpacked : raw;
  if (bytes.empty()) return picture;

  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
  if (!block) return picture;
  void* target = GlobalLock(block.get());
  if (!target) return picture;
  std::memcpy(target, bytes.data(), bytes.size());
  GlobalUnlock(block.get());

  ComRef<IStream> stream;
  // The stream frees the block with its last release.
  if (FAILED(CreateStreamOnHGlobal(block.get(), TRUE, stream.put()))) return picture;
  block.release();
  if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                            reinterpret_cast<void**>(picture.put())))) {
    picture.reset();
  }
  return picture;
}

}  // namespace brisk

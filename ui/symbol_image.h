// The notice dialog's symbols: 32 x 32 PNG images from the executable's
// resources, decoded with GDI+ (which the entry point starts).
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "base/com_ref.h"
#include "base/gdi_handles.h"

namespace brisk {

enum SymbolKind : int {
  kSymbolError = 1,
  kSymbolQuestion = 2,
  kSymbolInformation = 3,
  kSymbolWarning = 4,
  kSymbolHelp = 5,
  kSymbolSuccess = 6,
};

// A decoded image with the stream it was read from; GDI+ may read the stream
// for as long as the image lives.
class SymbolImage {
 public:
  // Null for a kind outside 1 to 6 or an image that does not decode.
  static std::unique_ptr<SymbolImage> Load(int kind);
  ~SymbolImage() = default;
  SymbolImage(const SymbolImage&) = delete;
  SymbolImage& operator=(const SymbolImage&) = delete;

  Gdiplus::Image& image() const { return *image_; }
  int width() const { return static_cast<int>(image_->GetWidth()); }
  int height() const { return static_cast<int>(image_->GetHeight()); }

 private:
  SymbolImage() = default;
  // Declared first, so released after the image.
  ComRef<IStream> stream_;
  std::unique_ptr<Gdiplus::Image> image_;
};

}  // namespace brisk

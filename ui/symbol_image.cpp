#include "ui/symbol_image.h"

#include <cstring>

#include "ui/ui_resource_ids.h"

namespace brisk {

std::unique_ptr<SymbolImage> SymbolImage::Load(int kind) {
  if (kind < kSymbolError || kind > kSymbolSuccess) return nullptr;
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDR_SYMBOL_BASE + kind), L"PNG");
  if (!resource) return nullptr;
  const DWORD size = SizeofResource(module, resource);
  const HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return nullptr;

  UniqueGlobal copy(GlobalAlloc(GMEM_FIXED, size));
  if (!copy) return nullptr;
  std::memcpy(copy.get(), bytes, size);
  std::unique_ptr<SymbolImage> symbol(new SymbolImage);
  // The stream owns the block from here on and frees it with its last release.
  if (FAILED(CreateStreamOnHGlobal(copy.get(), TRUE, symbol->stream_.put()))) return nullptr;
  copy.release();
  symbol->image_ = std::make_unique<Gdiplus::Image>(symbol->stream_.get());
  if (symbol->image_->GetLastStatus() != Gdiplus::Ok || symbol->image_->GetWidth() == 0) return nullptr;
  return symbol;
}

}  // namespace brisk

#include "ui/template_block.h"

#include <cstring>

#include "ui/dialog_layout.h"

namespace brisk {

namespace {

constexpr DWORD kNoticeStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_CENTER;

}  // namespace

TemplateBlock::~TemplateBlock() { Unlock(); }

bool TemplateBlock::Append(const void* data, std::size_t size) {
  if (locked_) return false;
  const std::size_t capacity = TemplateCapacityForAppend(capacity_, used_, size);
  if (capacity != capacity_) {
    if (!memory_) {
      memory_.reset(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, capacity));
      if (!memory_) return false;
    } else {
      HGLOBAL grown = GlobalReAlloc(memory_.get(), capacity, GMEM_MOVEABLE | GMEM_ZEROINIT);
      if (!grown) return false;
      memory_.release();
      memory_.reset(grown);
    }
    capacity_ = capacity;
  }
  void* base = GlobalLock(memory_.get());
  if (!base) return false;
  std::memcpy(static_cast<std::byte*>(base) + used_, data, size);
  GlobalUnlock(memory_.get());
  used_ += size;
  return true;
}

const DLGTEMPLATE* TemplateBlock::Lock() {
  if (!memory_) return nullptr;
  if (!locked_) locked_ = GlobalLock(memory_.get());
  return static_cast<const DLGTEMPLATE*>(locked_);
}

void TemplateBlock::Unlock() {
  if (locked_ && memory_) GlobalUnlock(memory_.get());
  locked_ = nullptr;
}

bool BuildNoticeTemplate(TemplateBlock& block, int widthPixels, int heightPixels) {
  const LONG baseUnits = GetDialogBaseUnits();
  const Size units = TemplateUnitsFromPixels({widthPixels, heightPixels}, {LOWORD(baseUnits), HIWORD(baseUnits)});
  DLGTEMPLATE header{};
  header.style = kNoticeStyle;
  header.dwExtendedStyle = WS_EX_DLGMODALFRAME;
  header.cdit = 0;
  header.cx = static_cast<short>(units.width);
  header.cy = static_cast<short>(units.height);
  // Menu and class: none; the title is the block's zero fill.
  const WORD noMenuNoClass[2] = {0, 0};
  return block.Append(&header, sizeof(header)) && block.Append(noMenuNoClass, sizeof(noMenuNoClass));
}

}  // namespace brisk

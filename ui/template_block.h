// A dialog template assembled in a movable, zero-filled global memory block.
#pragma once

#include <windows.h>

#include <cstddef>

#include "base/gdi_handles.h"

namespace brisk {

class TemplateBlock {
 public:
  TemplateBlock() = default;
  ~TemplateBlock();
  TemplateBlock(const TemplateBlock&) = delete;
  TemplateBlock& operator=(const TemplateBlock&) = delete;

  // Appends bytes, growing the block by whole kilobytes; false when memory
  // runs out (the block is then unchanged). Not while locked.
  bool Append(const void* data, std::size_t size);

  // The template for the dialog functions; null when the block is empty.
  const DLGTEMPLATE* Lock();
  void Unlock();

  std::size_t size() const { return used_; }
  std::size_t capacity() const { return capacity_; }

 private:
  UniqueGlobal memory_;
  std::size_t used_ = 0;
  std::size_t capacity_ = 0;
  void* locked_ = nullptr;
};

// The classic template of the notice dialog: popup with caption, system menu
// and DS_CENTER, WS_EX_DLGMODALFRAME, no items, no font entry, empty title,
// the width in pixels converted with the system's dialog base units.
bool BuildNoticeTemplate(TemplateBlock& block, int widthPixels, int heightPixels);

}  // namespace brisk

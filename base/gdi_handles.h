// Owners for the GDI and memory handles of the user interface; each releases
// its handle exactly once.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

namespace brisk {

using UniqueFont = UniqueAny<HFONT, ::DeleteObject>;
using UniqueBrush = UniqueAny<HBRUSH, ::DeleteObject>;
using UniqueBitmap = UniqueAny<HBITMAP, ::DeleteObject>;
using UniqueGlobal = UniqueAny<HGLOBAL, ::GlobalFree>;

// A window's device context from GetDC, given back with ReleaseDC.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context for the life of the scope.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~SelectedObject() {
    if (previous_) SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace brisk

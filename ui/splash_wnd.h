// The splash window: a borderless, topmost window in the middle of the
// screen that shows the application's picture, optionally with a banner
// strip of text under it.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdint>

#include "base/com_ref.h"
#include "base/gdi_handles.h"
#include "ui/window_object.h"

namespace brisk {

class CSplashWnd;

// The child that renders the picture over its whole client area.
class CSplashPicture : public WindowImpl {
 public:
  explicit CSplashPicture(CSplashWnd& owner);
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  CSplashWnd& owner_;
};

class CSplashWnd : public WindowImpl {
 public:
  CSplashWnd(ComRef<IPicture> picture, bool hideBanner, std::uint16_t bannerVariant);
  ~CSplashWnd() override;

  // Creates the window at its default size; WM_CREATE sizes and centres it.
  HWND CreateSplash();

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  IPicture* picture() const { return picture_.get(); }
  HWND pictureControl() const { return pictureControl_.hwnd(); }
  HWND bannerLabel() const { return bannerLabel_; }

 private:
  void OnCreate();
  LRESULT OnEraseBackground(HDC dc);

  ComRef<IPicture> picture_;
  CSplashPicture pictureControl_;
  UniqueFont bannerFont_;
  HWND bannerLabel_ = nullptr;
  UniqueBrush whiteBrush_;
  RECT windowRect_{};
  RECT clientRect_{};
  RECT bannerRect_{};
  std::uint16_t bannerVariant_;
  bool hideBanner_;
};

}  // namespace brisk

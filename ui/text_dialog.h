// The base of the small text dialogs (the password prompt): four fonts and a
// layout of centred text lines one below the other.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/gdi_handles.h"
#include "ui/window_object.h"

namespace brisk {

class CTextDialog : public DialogImpl {
 public:
  CTextDialog() = default;
  ~CTextDialog() override = default;

  // WM_INITDIALOG creates the fonts; the OK button (identifier 1) ends the
  // dialog with 1, closing it ends it with 2. Derived dialogs handle their
  // own messages first and fall back to this map.
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // Creates the fonts that do not exist yet and sets the normal font on the
  // dialog.
  BOOL CreateFonts();

  // Adds one centred line under the previous ones, in `font` or, when that is
  // null, the normal font; returns the new control.
  HWND AddTextLine(HWND parent, const std::wstring& text, HFONT font);

  HFONT titleFont() const { return titleFont_.get(); }
  HFONT normalFont() const { return normalFont_.get(); }
  HFONT textFont() const { return textFont_.get(); }
  HFONT smallFont() const { return smallFont_.get(); }

 protected:
  int contentWidth_ = 0;
  int cursorY_ = 0;
  UniqueFont titleFont_;
  UniqueFont normalFont_;
  UniqueFont textFont_;
  UniqueFont smallFont_;
  // Every control of the line layout; the dialog window destroys them.
  std::vector<HWND> children_;
};

}  // namespace brisk

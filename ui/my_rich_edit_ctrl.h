// The notice dialog's body: a read-only rich edit control that never takes
// the keyboard focus, so it shows no caret.
#pragma once

#include <windows.h>

#include "ui/window_object.h"

namespace brisk {

// Loads the rich edit library unless the process has it already; it stays
// loaded for the life of the process, like the entry point's own load.
bool EnsureRichEditLibrary();

class MyRichEditCtrl : public WindowImpl {
 public:
  MyRichEditCtrl();
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

}  // namespace brisk

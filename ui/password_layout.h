// Arithmetic of the password prompt's controls below its first text line.
#pragma once

#include "ui/geometry.h"

namespace brisk {

constexpr int kPasswordDialogWidth = 290;

struct PasswordLayout {
  Rect label;            // "Password:" in front of the field
  Rect field;            // the edit control
  Rect ok;               // identifier 1
  Rect cancel;           // identifier 2
  int cursorY = 0;       // below the buttons
  int windowHeight = 0;  // the dialog's new height
};

// `cursorY` is the text dialog's cursor after the first line, `labelText`
// the label measured on the dialog's device context as it comes.
PasswordLayout LayoutPasswordControls(int cursorY, Size labelText, int clientWidth, int nonClientHeight);

}  // namespace brisk

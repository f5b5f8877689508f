#include "ui/password_layout.h"

namespace brisk {

PasswordLayout LayoutPasswordControls(int cursorY, Size labelText, int clientWidth, int nonClientHeight) {
  PasswordLayout layout;
  int y = cursorY + 5;
  layout.label = {4, y, labelText.width, y + labelText.height + 2};
  layout.field = {labelText.width + 4, y - 2, clientWidth - 4, y + 16};
  y += labelText.height + 11;
  layout.ok = {130, y, 204, y + 23};
  layout.cancel = {208, y, 282, y + 23};
  y += 28;
  layout.cursorY = y;
  layout.windowHeight = y + nonClientHeight;
  return layout;
}

}  // namespace brisk

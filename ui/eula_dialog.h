// The licence agreement shown before the host application starts.
#pragma once

#include <windows.h>

#include <string>

#include "text/macro_table.h"
#include "ui/body_text.h"

namespace brisk {

struct EulaDialogContext {
  std::u16string appName;
  bool testMode = false;
  // The splash inputs ask for no branding (see SplashBrandingHidden).
  bool hideBranding = false;
  // Macros expanded in a plain-text or UTF-16 licence; may be null.
  const MacroTable* macros = gMacroTable;
};

// Shows the licence payload with an agree and a decline button (decline
// rightmost). Returns true when the user declined or closed the dialog or it
// could not be shown, false when the user agreed or no dialog was needed
// (test mode, an empty text). `wideText` receives the licence as UTF-16 units
// and is the caller's to keep.
bool RunEulaDialog(ByteSpan eulaBytes, HICON smallIcon, HICON largeIcon, const EulaDialogContext& context,
                   std::u16string& wideText);

}  // namespace brisk

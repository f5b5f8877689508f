// The licence agreement shown before the host application starts.
#pragma once

#include <windows.h>

#include <string>

#include "text/message_table.h"
#include "ui/body_text.h"

namespace brisk {

struct EulaDialogContext {
  std::u16string appName;
  // The splash inputs ask for no branding (see SplashBrandingHidden).
  bool hideBranding = false;
  // The buttons' and the title's texts, and the macros expanded in a
  // plain-text or UTF-16 licence.
  UserTexts texts;
};

enum class LicenceResult {
  kAgreed,    // the user agreed, or no dialog was needed (no bytes)
  kDeclined,  // the user declined or closed the dialog, or it could not be shown
  kFailed,    // the dialog failed while it was open (its map threw)
};

// Shows the licence payload with an agree and a decline button (decline
// rightmost). Payload bytes are always put to the user, even when nothing of
// them can be shown. `wideText` receives the licence as UTF-16 units and is
// the caller's to keep.
LicenceResult RunEulaDialog(ByteSpan eulaBytes, HICON smallIcon, HICON largeIcon, const EulaDialogContext& context,
                            std::u16string& wideText);

}  // namespace brisk

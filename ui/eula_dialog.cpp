#include "ui/eula_dialog.h"

#include "base/wide_text.h"
#include "payload/encoded_strings.h"
#include "text/message_table.h"
#include "ui/dialog_template.h"

namespace brisk {

namespace {

constexpr int kEulaWidth = 550;

}  // namespace

LicenceResult RunEulaDialog(ByteSpan eulaBytes, HICON smallIcon, HICON largeIcon,
                            const EulaDialogContext& context, std::u16string& wideText) {
  if (context.testMode) return LicenceResult::kAgreed;
  const bool looksUtf16 = IsUtf16Text(eulaBytes);
  wideText = LicenceWideText(eulaBytes, looksUtf16);
  if (wideText.empty()) return LicenceResult::kAgreed;

  CDialogTemplate dialog(kEulaWidth, 1.0);
  dialog.SetTitle(ToWide(context.appName) + L" - " + ToWide(GetMessageTextW(context.texts, kEulaTitle, kEulaTitleDefault)));
  if (!context.hideBranding) dialog.AddLabel(ToWide(GetEncodedStringW(kEulaExtraLabel)), 0);
  const std::string body = LicenceBodyBytes(eulaBytes, looksUtf16, wideText);
  dialog.SetBodyText({reinterpret_cast<const std::uint8_t*>(body.data()), body.size()}, context.texts.macros);
  dialog.AddButton(ToWide(GetMessageTextW(context.texts, kDeclineBtnTitle, kDeclineButtonDefault)), IDCANCEL);
  dialog.AddButton(ToWide(GetMessageTextW(context.texts, kIAgreeBtnTitle, kIAgreeButtonDefault)), IDOK);
  dialog.SetSymbol(kSymbolInformation);
  dialog.SetTopmost(true);
  dialog.SetToForeground(true);
  dialog.SetDialogIcon(largeIcon ? largeIcon : smallIcon);
  return dialog.ShowModal(GetActiveWindow()) == IDOK ? LicenceResult::kAgreed : LicenceResult::kDeclined;
}

}  // namespace brisk

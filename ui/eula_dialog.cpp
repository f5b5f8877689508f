#include "ui/eula_dialog.h"

#include "base/wide_text.h"
#include "payload/encoded_strings.h"
#include "text/message_table.h"
#include "ui/dialog_template.h"

namespace brisk {

namespace {

constexpr int kEulaWidth = 550;

}  // namespace

LicenceResult RunEulaDialog(ByteSpan eulaBytes, HICON smallIcon, HICON largeIcon, const EulaDialogContext& context,
                            std::u16string& wideText) {
  if (eulaBytes.empty()) return LicenceResult::kAgreed;
  const bool looksUtf16 = IsUtf16Text(eulaBytes);
  // A text that reads as empty (it starts with a zero, as big-endian UTF-16
  // does) is still a licence that the build carries: the dialog asks, with
  // an empty body, rather than agreeing for the user.
  wideText = LicenceWideText(eulaBytes, looksUtf16);

  CDialogTemplate dialog(kEulaWidth, 1.0);
  dialog.SetTitle(ToWide(context.appName) + L" - " +
                  ToWide(GetMessageTextW(context.texts, kEulaTitle, kEulaTitleDefault)));
  if (!context.hideBranding) dialog.AddLabel(ToWide(GetEncodedStringW(kEulaExtraLabel)), 0);
  const std::string body = LicenceBodyBytes(eulaBytes, looksUtf16, wideText);
  dialog.SetBodyText({reinterpret_cast<const std::uint8_t*>(body.data()), body.size()}, context.texts.macros);
  dialog.AddButton(ToWide(GetMessageTextW(context.texts, kDeclineBtnTitle, kDeclineButtonDefault)), IDCANCEL);
  dialog.AddButton(ToWide(GetMessageTextW(context.texts, kIAgreeBtnTitle, kIAgreeButtonDefault)), IDOK);
  dialog.SetSymbol(kSymbolInformation);
  dialog.SetTopmost(true);
  dialog.SetToForeground(true);
  dialog.SetDialogIcon(largeIcon ? largeIcon : smallIcon);
  const INT_PTR answer = dialog.ShowModal(GetActiveWindow());
  if (dialog.ProcedureFailed()) return LicenceResult::kFailed;
  return answer == IDOK ? LicenceResult::kAgreed : LicenceResult::kDeclined;
}

}  // namespace brisk

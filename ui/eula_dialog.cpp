#include "ui/eula_dialog.h"

#include "payload/encoded_strings.h"
#include "text/message_table.h"
#include "ui/notice_dialog.h"

namespace brisk {

namespace {

constexpr int kEulaWidth = 550;

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }


}  // namespace

bool RunEulaDialog(ByteSpan eulaBytes, HICON smallIcon, HICON largeIcon, const EulaDialogContext& context,
                   std::u16string& wideText) {
  if (context.testMode) return false;
  const bool looksUtf16 = IsUtf16Text(eulaBytes);
  wideText = LicenceWideText(eulaBytes, looksUtf16);
  if (wideText.empty()) return false;

  CDialogTemplate dialog(kEulaWidth, 1.0);
  dialog.SetTitle(Wide(context.appName) + L" - " + Wide(GetMessageTextW(kEulaTitle, kEulaTitleDefault)));
  if (!context.hideBranding) dialog.AddLabel(Wide(GetEncodedStringW(kEulaExtraLabel)), 0);
  const std::string body = LicenceBodyBytes(eulaBytes, looksUtf16, wideText);
  dialog.SetBodyText({reinterpret_cast<const std::uint8_t*>(body.data()), body.size()}, context.macros);
  dialog.AddButton(Wide(GetMessageTextW(kDeclineBtnTitle, kDeclineButtonDefault)), IDCANCEL);
  dialog.AddButton(Wide(GetMessageTextW(kIAgreeBtnTitle, kIAgreeButtonDefault)), IDOK);
  dialog.SetSymbol(kSymbolInformation);
  dialog.SetTopmost(true);
  dialog.SetToForeground(true);
  dialog.SetDialogIcon(largeIcon ? largeIcon : smallIcon);
  return dialog.ShowModal(GetActiveWindow()) != IDOK;
}

}  // namespace brisk

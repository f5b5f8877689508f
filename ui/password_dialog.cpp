#include "ui/password_dialog.h"

#include <array>

#include "base/wide_text.h"
#include "payload/encoded_strings.h"
#include "text/message_table.h"
#include "ui/centre_window.h"
#include "ui/password_check.h"
#include "ui/password_layout.h"
#include "ui/ui_resource_ids.h"

namespace brisk {

namespace {

constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_CENTER;
constexpr DWORD kFieldStyle = WS_CHILD | WS_VISIBLE | ES_PASSWORD | ES_AUTOHSCROLL;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD kWrongPasswordPauseMs = 300;
// The field is read into this many units; at most one less are taken.
constexpr int kPasswordBufferUnits = 512;

HWND CreateChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle,
                 const Rect& r, HFONT font) {
  const HWND child = CreateWindowExW(exStyle, className, text.c_str(), style, r.left, r.top, r.Width(), r.Height(),
                                     parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (child) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return child;
}

}  // namespace

CPasswordDialog::CPasswordDialog(std::u16string_view appName, const UserTexts& texts)
    : appName_(appName), texts_(texts) {}

void CPasswordDialog::OnInitDialog() {
  CreateFonts();
  RECT window{};
  GetWindowRect(hwnd_, &window);
  MoveWindow(hwnd_, window.left, window.top, kPasswordDialogWidth, window.bottom - window.top, TRUE);
  RECT client{};
  GetWindowRect(hwnd_, &window);
  GetClientRect(hwnd_, &client);
  const int nonClientHeight = (window.bottom - window.top) - (client.bottom - client.top);

  cursorY_ += 5;
  contentWidth_ = kPasswordDialogWidth;
  AddTextLine(hwnd_, ToWide(GetMessageTextW(texts_, kAppPasswordProtected, kAppPasswordProtectedDefault)), textFont());

  const std::wstring label = ToWide(GetMessageTextW(texts_, kPasswordWord, kPasswordWordDefault));
  SIZE labelSize{};
  {
    // Measured as the dialog's device context comes, in its default font.
    WindowDC dc(hwnd_);
    if (dc) GetTextExtentPoint32W(dc.get(), label.c_str(), static_cast<int>(label.size()), &labelSize);
  }
  const PasswordLayout layout =
      LayoutPasswordControls(cursorY_, {labelSize.cx, labelSize.cy}, client.right - client.left, nonClientHeight);
  children_.push_back(CreateChild(hwnd_, L"STATIC", label, kLabelStyle, 0, layout.label, textFont()));
  passwordField_ = CreateChild(hwnd_, L"EDIT", L"", kFieldStyle, WS_EX_CLIENTEDGE, layout.field, normalFont());
  okButton_ = CreateChild(hwnd_, L"BUTTON", ToWide(GetMessageTextW(texts_, kOkBtnTitle, kOkButtonDefault)),
                          kButtonStyle, 0, layout.ok, textFont());
  cancelButton_ = CreateChild(hwnd_, L"BUTTON", ToWide(GetMessageTextW(texts_, kCancelBtnTitle, kCancelButtonDefault)),
                              kButtonStyle, 0, layout.cancel, textFont());
  if (okButton_) SetWindowLongPtrW(okButton_, GWLP_ID, IDOK);
  if (cancelButton_) SetWindowLongPtrW(cancelButton_, GWLP_ID, IDCANCEL);
  cursorY_ = layout.cursorY;

  GetWindowRect(hwnd_, &window);
  MoveWindow(hwnd_, window.left, window.top, kPasswordDialogWidth, layout.windowHeight, TRUE);
  CentreWindow(hwnd_, GetParent(hwnd_));
  SetWindowTextW(hwnd_, (ToWide(GetEncodedStringW(kApplicationTitle)) + L" " + ToWide(appName_)).c_str());
  SetFocus(passwordField_);
}

void CPasswordDialog::StoreTypedPassword() {
  // Read as UTF-16 units straight away: no wide-text copy to wipe as well.
  std::array<char16_t, kPasswordBufferUnits> buffer{};
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  const int length = GetWindowTextW(passwordField_, reinterpret_cast<wchar_t*>(buffer.data()), kPasswordBufferUnits);
  typedPassword_ = SecretText(std::u16string_view(buffer.data(), static_cast<std::size_t>(length > 0 ? length : 0)));
  SecureZeroMemory(buffer.data(), sizeof(buffer));
}

bool CPasswordDialog::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = FALSE;
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        StoreTypedPassword();
        EndDialog(IDOK);
        result = 0;
        return true;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(IDCANCEL);
        result = 0;
        return true;
      }
      break;
  }
  return CTextDialog::ProcessWindowMessage(window, message, wParam, lParam, result);
}

PasswordResult RunPasswordPrompt(std::u16string_view storedPassword, std::u16string_view commandLinePassword,
                                 std::u16string_view appName, const UserTexts& texts) {
  const PasswordQuestion ask = [appName, &texts]() -> PasswordAnswer {
    CPasswordDialog dialog(appName, texts);
    const INT_PTR answer = dialog.DoModal(GetActiveWindow(), IDD_EMPTY_DIALOG);
    if (dialog.ProcedureFailed()) return {PasswordAnswer::Kind::kFailed, {}};
    if (answer != IDOK) return {PasswordAnswer::Kind::kCancelled, {}};
    return {PasswordAnswer::Kind::kTyped, dialog.TakeTypedPassword()};
  };
  return CheckPassword(storedPassword, commandLinePassword, ask, [] { Sleep(kWrongPasswordPauseMs); });
}

}  // namespace brisk

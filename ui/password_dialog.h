// The password prompt: one field on the empty dialog frame (resource 113),
// asked once before any other window of the launcher.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/text_dialog.h"

namespace brisk {

class CPasswordDialog : public CTextDialog {
 public:
  // `appName` completes the caption.
  explicit CPasswordDialog(std::u16string_view appName);
  ~CPasswordDialog() override;

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // What was in the field when OK was pressed; empty before that.
  std::u16string TakeTypedPassword();

 private:
  void OnInitDialog();
  void StoreTypedPassword();

  HWND okButton_ = nullptr;
  HWND cancelButton_ = nullptr;
  HWND passwordField_ = nullptr;
  std::u16string appName_;
  std::u16string typedPassword_;
};

// Asks for the application's password unless `commandLinePassword` gives it,
// and compares the answer with `storedPassword` exactly. Returns true when
// the launch must end without a message (cancelled, or the prompt could not
// be shown), false when the password matched; throws notice4user with the
// PASSWORD_IS_INCORRECT text, after a pause of 300 ms, when it did not. The
// launch calls it only when `storedPassword` is not empty.
bool RunPasswordPrompt(std::u16string_view storedPassword, std::u16string_view commandLinePassword,
                       std::u16string_view appName);

}  // namespace brisk

// The password prompt: one field on the empty dialog frame (resource 113),
// asked once before any other window of the launcher.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "text/message_table.h"
#include "ui/password_check.h"
#include "ui/text_dialog.h"

namespace brisk {

class CPasswordDialog : public CTextDialog {
 public:
  // `appName` completes the caption; `texts` gives the labels and buttons.
  CPasswordDialog(std::u16string_view appName, const UserTexts& texts);
  ~CPasswordDialog() override = default;

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // What was in the field when OK was pressed; empty before that. The
  // dialog keeps no copy.
  SecretText TakeTypedPassword() { return std::move(typedPassword_); }

 private:
  void OnInitDialog();
  void StoreTypedPassword();

  HWND okButton_ = nullptr;
  HWND cancelButton_ = nullptr;
  HWND passwordField_ = nullptr;
  std::u16string appName_;
  UserTexts texts_;
  SecretText typedPassword_;
};

// Asks for the application's password unless `commandLinePassword` gives it,
// and compares the answer with `storedPassword` exactly (see CheckPassword);
// a wrong answer comes back after a pause of 300 ms. A prompt that cannot be
// shown counts as cancelled; one that fails while it is open gives kFailed.
// The launch calls it only when `storedPassword` is not empty.
PasswordResult RunPasswordPrompt(std::u16string_view storedPassword, std::u16string_view commandLinePassword,
                                 std::u16string_view appName, const UserTexts& texts);

}  // namespace brisk

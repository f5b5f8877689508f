#include "ui/password_check.h"

namespace brisk {

void WipeText(std::u16string& text) {
  volatile char16_t* units = text.data();
  for (std::size_t i = 0; i < text.size(); ++i) units[i] = u'\0';
  text.clear();
}

PasswordResult CheckPassword(std::u16string_view storedPassword, std::u16string_view commandLinePassword,
                             const PasswordQuestion& ask, const std::function<void()>& pause) {
  std::u16string candidate;
  if (!commandLinePassword.empty()) {
    candidate = commandLinePassword;
  } else {
    std::optional<std::u16string> answer = ask();
    if (!answer) return PasswordResult::kCancelled;
    candidate = std::move(*answer);
    WipeText(*answer);
  }
  const bool equal = candidate == storedPassword;
  WipeText(candidate);
  if (equal) return PasswordResult::kAccepted;
  pause();
  return PasswordResult::kWrong;
}

}  // namespace brisk

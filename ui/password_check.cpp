#include "ui/password_check.h"

namespace brisk {

void WipeText(std::u16string& text) {
  // Grown to its capacity, which never reallocates, so that every unit of
  // the storage may be written.
  text.resize(text.capacity());
  volatile char16_t* units = text.data();
  for (std::size_t i = 0; i < text.size(); ++i) units[i] = u'\0';
  text.clear();
}

SecretText& SecretText::operator=(SecretText&& other) noexcept {
  if (this != &other) {
    WipeText(text_);
    text_ = std::move(other.text_);
    WipeText(other.text_);
  }
  return *this;
}

PasswordResult CheckPassword(std::u16string_view storedPassword, std::u16string_view commandLinePassword,
                             const PasswordQuestion& ask, const std::function<void()>& pause) {
  SecretText candidate;
  if (!commandLinePassword.empty()) {
    candidate = SecretText(commandLinePassword);
  } else {
    PasswordAnswer answer = ask();
    if (answer.kind == PasswordAnswer::Kind::kCancelled) return PasswordResult::kCancelled;
    if (answer.kind == PasswordAnswer::Kind::kFailed) return PasswordResult::kFailed;
    candidate = std::move(answer.typed);
  }
  if (candidate.view() == storedPassword) return PasswordResult::kAccepted;
  pause();
  return PasswordResult::kWrong;
}

}  // namespace brisk

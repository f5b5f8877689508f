// The decision of the password prompt, apart from the dialog that asks.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace brisk {

// What one attempt at the password came to. The launch decides what follows:
// it goes on, ends quietly, tells the user the password was wrong, or tells
// the user the prompt failed.
enum class PasswordResult {
  kAccepted,   // the candidate equals the stored password unit for unit
  kCancelled,  // no answer: the prompt was cancelled or could not be shown
  kWrong,      // a different candidate, after the pause
  kFailed,     // the prompt failed while it was open
};

// Overwrites every unit the text's storage holds (its whole capacity, which
// for a short text is the inline buffer that a move leaves as it was), then
// clears it, so that a password does not linger in memory given back.
void WipeText(std::u16string& text);

// A password while it is handled: never copied, wiped when it is destroyed
// and when it is moved from.
class SecretText {
 public:
  SecretText() = default;
  explicit SecretText(std::u16string_view text) : text_(text) {}
  SecretText(SecretText&& other) noexcept : text_(std::move(other.text_)) { WipeText(other.text_); }
  SecretText& operator=(SecretText&& other) noexcept;
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
  ~SecretText() { WipeText(text_); }

  std::u16string_view view() const { return text_; }

 private:
  std::u16string text_;
};

// The user's answer to the prompt.
struct PasswordAnswer {
  enum class Kind {
    kTyped,      // confirmed with OK: `typed` holds what was in the field
    kCancelled,  // cancelled, or the prompt could not be shown
    kFailed,     // the prompt failed while it was open
  };
  Kind kind = Kind::kCancelled;
  SecretText typed;
};

// Asks the user.
using PasswordQuestion = std::function<PasswordAnswer()>;

// One attempt: the command-line password when there is one (no question is
// asked then), otherwise the user's answer. A wrong candidate calls `pause`
// before the result is returned, so that guessing stays slow. Every copy of
// the candidate is wiped from memory before returning.
PasswordResult CheckPassword(std::u16string_view storedPassword, std::u16string_view commandLinePassword,
                             const PasswordQuestion& ask, const std::function<void()>& pause);

}  // namespace brisk

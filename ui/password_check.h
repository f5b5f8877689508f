// The decision of the password prompt, apart from the dialog that asks.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace brisk {

// What one attempt at the password came to. The launch decides what follows:
// it goes on, ends quietly, or tells the user the password was wrong.
enum class PasswordResult {
  kAccepted,   // the candidate equals the stored password unit for unit
  kCancelled,  // no answer: the prompt was cancelled or could not be shown
  kWrong,      // a different candidate, after the pause
};

// Asks the user; no value when the prompt was cancelled or could not be shown.
using PasswordQuestion = std::function<std::optional<std::u16string>()>;

// One attempt: the command-line password when there is one (no question is
// asked then), otherwise the user's answer. A wrong candidate calls `pause`
// before the result is returned, so that guessing stays slow. The candidate
// is wiped from memory before returning.
PasswordResult CheckPassword(std::u16string_view storedPassword, std::u16string_view commandLinePassword,
                             const PasswordQuestion& ask, const std::function<void()>& pause);

// Overwrites the text's units before clearing it, so that a password does
// not linger in freed memory.
void WipeText(std::u16string& text);

}  // namespace brisk

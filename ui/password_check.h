// The decision of the password prompt, apart from the dialog that asks.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace brisk {

// Asks the user; no value when the prompt was cancelled or could not be shown.
using PasswordQuestion = std::function<std::optional<std::u16string>()>;

// One attempt: the command-line password when there is one (no question is
// asked then), otherwise the user's answer. Returns true when the launch must
// end quietly (no answer), false when the candidate equals the stored
// password unit for unit. A different candidate calls `pause` and throws
// notice4user with the PASSWORD_IS_INCORRECT text. The candidate is wiped
// from memory before returning.
bool CheckPassword(std::u16string_view storedPassword, std::u16string_view commandLinePassword,
                   const PasswordQuestion& ask, const std::function<void()>& pause);

// Overwrites the text's units before clearing it, so that a password does
// not linger in freed memory.
void WipeText(std::u16string& text);

}  // namespace brisk

#include "sign_command.h"

namespace brisk {

std::string SubstituteFile(const std::string& command, const std::string& quotedFile) {
  static constexpr std::string_view kPlaceholder = "{file}";
  std::string result;
  std::size_t from = 0;
  for (std::size_t at; (at = command.find(kPlaceholder, from)) != std::string::npos; from = at + kPlaceholder.size()) {
    result.append(command, from, at - from);
    result += quotedFile;
  }
  result.append(command, from, std::string::npos);
  return result;
}

std::string ShellQuoted(const std::string& path) {
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace brisk

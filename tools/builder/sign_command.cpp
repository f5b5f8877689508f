#include "sign_command.h"

#include <optional>
#include <vector>

#include "build_files.h"

namespace brisk {

namespace {

// The last line of the command's output that holds more than blanks, cut
// to a length that fits one message line.
std::string LastLine(const std::filesystem::path& log) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(log, 16 * 1024 * 1024, bytes).empty()) return {};
  const std::string text(bytes.begin(), bytes.end());
  std::string last;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.find_first_not_of(" \t") != std::string::npos) last = line;
    start = end + 1;
  }
  constexpr std::size_t kLongest = 200;
  if (last.size() > kLongest) last = last.substr(0, kLongest) + "...";
  for (char& c : last) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return last;
}

}  // namespace

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

std::string RunSignCommand(const std::string& command, const std::filesystem::path& file,
                           const std::filesystem::path& workingFolder, const std::string& what) {
  const std::string quoted = QuotedForShell(file);
  if (quoted.empty()) return "cannot sign " + what + ": Wine gives no Unix path for it";
  std::string error;
  std::optional<ScratchFile> log = ScratchFile::Create(file, "log", ".txt", error);
  if (!log) return "cannot sign " + what + ": no log file beside it (" + error + ")";
  const ShellOutcome outcome = RunShellCommand(SubstituteFile(command, quoted), workingFolder, log->path());
  if (!outcome.started) return "cannot sign " + what + ": the sign command did not start: " + outcome.startError;
  if (outcome.status != 0) {
    const std::string last = LastLine(log->path());
    return "signing " + what + " failed: the sign command exited with " + std::to_string(outcome.status) +
           (last.empty() ? std::string() : ": " + last);
  }
  return {};
}

}  // namespace brisk

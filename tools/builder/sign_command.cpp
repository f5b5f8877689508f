#include "sign_command.h"

#include <optional>
#include <vector>

#include "build_files.h"

namespace brisk {

namespace {

// The command's output, both streams as it wrote them, on lines of their
// own after two blanks; its control characters but the line ends shown as
// blanks. Blank lines at either end are left out, and what follows the
// first kMostOutputBytes is cut with a note.
std::string CommandOutput(const std::filesystem::path& log) {
  constexpr std::size_t kMostOutputBytes = 64 * 1024;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(log, 16 * 1024 * 1024, bytes).empty()) return {};
  std::string text(bytes.begin(), bytes.end());
  std::string cut;
  if (text.size() > kMostOutputBytes) {
    cut = "  (" + std::to_string(text.size() - kMostOutputBytes) + " more bytes left out)\n";
    text.resize(kMostOutputBytes);
  }
  std::vector<std::string> lines;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (char& c : line) {
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    lines.push_back(std::move(line));
    start = end + 1;
  }
  const auto blank = [](const std::string& line) { return line.find_first_not_of(' ') == std::string::npos; };
  while (!lines.empty() && blank(lines.back())) lines.pop_back();
  std::size_t first = 0;
  while (first < lines.size() && blank(lines[first])) ++first;
  std::string output;
  for (std::size_t i = first; i < lines.size(); ++i) output += "  " + lines[i] + "\n";
  return output + cut;
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
    // One line of output stays on the line of the error; more follow it.
    std::string output = CommandOutput(log->path());
    const std::string failed =
        "signing " + what + " failed: the sign command exited with " + std::to_string(outcome.status);
    if (output.empty()) return failed;
    if (output.find('\n') + 1 == output.size()) return failed + ": " + output.substr(2, output.size() - 3);
    output.pop_back();
    return failed + "; its output:\n" + output;
  }
  return {};
}

}  // namespace brisk

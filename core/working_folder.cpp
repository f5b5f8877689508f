#include "core/working_folder.h"

#include <charconv>

#include "core/command_line.h"

namespace brisk {

namespace {

constexpr std::string_view kMarkerHeader = "brisk working folder 1";
constexpr std::size_t kWorkingFolderNameLength = 8;

// "<label> <id> <start time>" with both numbers in decimal.
std::string FormatStamp(std::string_view label, const ProcessStamp& stamp) {
  return std::string(label) + " " + std::to_string(stamp.id) + " " + std::to_string(stamp.startTime) + "\n";
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  if (text.empty() || text.size() > 20) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// Takes the next line (without its line feed) off `text`; nothing when no
// complete line is left.
std::optional<std::string_view> NextLine(std::string_view& text) {
  const std::size_t end = text.find('\n');
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view line = text.substr(0, end);
  text.remove_prefix(end + 1);
  return line;
}

std::optional<ProcessStamp> ParseStamp(std::string_view line, std::string_view label) {
  if (line.substr(0, label.size()) != label || line.size() <= label.size() || line[label.size()] != ' ') {
    return std::nullopt;
  }
  line.remove_prefix(label.size() + 1);
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  ProcessStamp stamp;
  if (!ParseNumber(line.substr(0, space), stamp.id) || !ParseNumber(line.substr(space + 1), stamp.startTime)) {
    return std::nullopt;
  }
  return stamp;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

std::string FormatFolderMarker(const FolderMarker& marker) {
  return std::string(kMarkerHeader) + "\n" + FormatStamp("launcher", marker.launcher) +
         FormatStamp("host", marker.host);
}

std::optional<FolderMarker> ParseFolderMarker(std::string_view text) {
  const auto header = NextLine(text);
  const auto launcherLine = NextLine(text);
  const auto hostLine = NextLine(text);
  if (!header || *header != kMarkerHeader || !launcherLine || !hostLine || !text.empty()) return std::nullopt;
  const auto launcher = ParseStamp(*launcherLine, "launcher");
  const auto host = ParseStamp(*hostLine, "host");
  if (!launcher || !host || !launcher->Known()) return std::nullopt;
  return FolderMarker{*launcher, *host};
}

bool IsWorkingFolderName(std::u16string_view name) {
  if (name.size() != kWorkingFolderNameLength || name[0] < u'a' || name[0] > u'z') return false;
  for (char16_t c : name) {
    if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))) return false;
  }
  return true;
}

PathParts SplitPath(std::u16string_view path) {
  std::size_t separator = path.size();
  while (separator > 0 && !IsSeparator(path[separator - 1])) --separator;
  if (separator == 0) return {};
  return {std::u16string(path.substr(0, separator - 1)), std::u16string(path.substr(separator))};
}

std::optional<std::u16string> ChildOfRoot(std::u16string_view folder, std::u16string_view root) {
  while (!root.empty() && IsSeparator(root.back())) root.remove_suffix(1);
  if (root.empty() || folder.size() <= root.size() + 1 || !IsSeparator(folder[root.size()]) ||
      !EqualsIgnoringCase(folder.substr(0, root.size()), root)) {
    return std::nullopt;
  }
  const std::u16string_view name = folder.substr(root.size() + 1);
  for (char16_t c : name) {
    if (IsSeparator(c)) return std::nullopt;
  }
  return std::u16string(name);
}

}  // namespace brisk

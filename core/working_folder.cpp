#include "core/working_folder.h"

#include <charconv>
#include <cstdlib>

#include "base/ascii_case.h"

namespace brisk {

namespace {

constexpr std::string_view kMarkerHeader = "brisk working folder 1";

std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

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

std::string RandomName(std::size_t length, const std::function<int()>& nextRandom) {
  std::string name;
  name.reserve(length);
  while (name.size() < length) {
    const int value = (nextRandom ? nextRandom() : std::rand()) % 36;
    const char c = value < 10 ? static_cast<char>('0' + value) : static_cast<char>('a' + value - 10);
    if (name.empty() && value < 10) continue;
    if (name.size() >= 2 && name[name.size() - 2] == c) continue;
    name.push_back(c);
  }
  return name;
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  if (path.empty() || path.back() != u'\\') path.push_back(u'\\');
  path += name;
  return path;
}

std::u16string FileNameOfPath(std::u16string_view path) {
  const std::size_t slash = path.rfind(u'\\');
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

std::optional<std::u16string> MakeWorkingFolder(std::u16string_view root, const NameSource& drawName,
                                                const PathCheck& exists, const PathCheck& create, int attempts) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    const std::u16string candidate = JoinPath(root, Widen(drawName()));
    if (!exists(candidate) && create(candidate)) return candidate;
  }
  return std::nullopt;
}

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

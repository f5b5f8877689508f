#include "text/language_file.h"

#include <algorithm>

#include <utf8.h>

namespace brisk {

namespace {

constexpr std::string_view kBlanks = " \t";

// One piece: up to and including its line feed, at most kLanguageLinePiece bytes.
std::string_view NextPiece(std::string_view bytes, std::size_t& position) {
  std::string_view window = bytes.substr(position, kLanguageLinePiece);
  std::size_t lineFeed = window.find('\n');
  std::string_view piece = lineFeed == std::string_view::npos ? window : window.substr(0, lineFeed + 1);
  position += piece.size();
  return piece;
}

// A piece as a line: it ends at its first zero byte, as a text does, and is
// then cut at its last carriage return or, without one, at its last line feed.
std::string_view PieceToLine(std::string_view piece) {
  piece = piece.substr(0, piece.find('\0'));
  std::size_t cut = piece.rfind('\r');
  if (cut == std::string_view::npos) cut = piece.rfind('\n');
  return cut == std::string_view::npos ? piece : piece.substr(0, cut);
}

std::string_view SkipBlanks(std::string_view text) {
  std::size_t start = text.find_first_not_of(kBlanks);
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

void ReadLine(std::string_view line, std::vector<LanguageSection>& sections) {
  if (!line.empty() && line.front() == ';') return;
  line = SkipBlanks(line);
  if (!line.empty() && line.front() == '[') {
    std::size_t close = line.find(']');
    if (close != std::string_view::npos) {
      // A header whose name is empty after its leading blanks ("[]", "[ ]")
      // opens nothing: the lines after it stay in the section before.
      std::string_view name = SkipBlanks(line.substr(1, close - 1));
      if (!name.empty()) sections.push_back({std::string(name), {}});
      return;
    }
  }
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos || equals == 0) return;
  sections.back().entries.push_back({std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))});
}

}  // namespace

std::vector<LanguageSection> ParseLanguageText(std::string_view bytes) {
  std::vector<LanguageSection> sections(1);
  std::size_t position = 0;
  while (position < bytes.size()) ReadLine(PieceToLine(NextPiece(bytes, position)), sections);
  return sections;
}

LanguageTextCheck CheckLanguageText(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    return {{}, "the file is UTF-16; save it as UTF-8", {}};
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  const auto refuse = [](std::size_t line, const std::string& why) {
    return LanguageTextCheck{{}, "line " + std::to_string(line) + ": " + why, {}};
  };
  const auto ignored = [](std::size_t line, const std::string& why) {
    return "line " + std::to_string(line) + ": " + why + "; the launcher ignores it";
  };
  std::vector<std::string> warnings;
  std::size_t lineNumber = 0;
  for (std::size_t position = 0; position < bytes.size();) {
    ++lineNumber;
    const std::size_t lineFeed = bytes.find('\n', position);
    const std::size_t end = lineFeed == std::string_view::npos ? bytes.size() : lineFeed + 1;
    std::string_view line = bytes.substr(position, end - position);
    position = end;
    if (line.size() > kLanguageLinePiece) {
      return refuse(lineNumber, "longer than " + std::to_string(kLanguageLinePiece) + " bytes");
    }
    if (line.ends_with('\n')) line.remove_suffix(1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.find('\0') != std::string_view::npos)
      return refuse(lineNumber, "a zero byte (is the file UTF-16 or binary?)");
    if (line.find('\r') != std::string_view::npos) {
      return refuse(lineNumber, "a carriage return inside the line (are the line ends CR only?)");
    }
    if (!utf8::is_valid(line.begin(), line.end())) return refuse(lineNumber, "not UTF-8 text");
    line = SkipBlanks(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      if (line.find(']') == std::string_view::npos) return refuse(lineNumber, "a section header without its ']'");
      continue;
    }
    const std::size_t equals = line.find('=');
    if (line.front() == '#') {
      warnings.push_back(ignored(lineNumber, "'#' starts no comment (';' does)"));
    } else if (equals == 0) {
      warnings.push_back(ignored(lineNumber, "an entry without a key"));
    } else if (equals == std::string_view::npos) {
      warnings.push_back(ignored(lineNumber, "neither a [section], a ; comment nor a KEY=value entry"));
    }
  }
  if (FindSection(ParseLanguageText(bytes), "content") == nullptr) return {{}, "no [content] section", {}};
  return {bytes, {}, std::move(warnings)};
}

const LanguageSection* FindSection(const std::vector<LanguageSection>& sections, std::string_view name) {
  auto found = std::find_if(sections.begin(), sections.end(),
                            [name](const LanguageSection& section) { return section.name == name; });
  return found == sections.end() ? nullptr : &*found;
}

const std::string* FindEntry(const LanguageSection& section, std::string_view key) {
  auto found = std::find_if(section.entries.begin(), section.entries.end(),
                            [key](const LanguageEntry& entry) { return entry.key == key; });
  return found == section.entries.end() ? nullptr : &found->value;
}

}  // namespace brisk

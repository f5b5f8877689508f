#include "text/language_file.h"

#include <algorithm>
#include <utility>

#include <utf8.h>

#include "text/message_table.h"
#include "text/nearest_name.h"

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

std::string LanguageNoteText(const LanguageNote& note) {
  return note.line == 0 ? note.message : "line " + std::to_string(note.line) + ": " + note.message;
}

namespace {

// The launcher's keys, for the nearest one to a key it does not know.
std::vector<std::string_view> KeyNames() {
  std::vector<std::string_view> names;
  for (const MessageKey& key : kMessageKeys) names.push_back(key.name);
  return names;
}

bool IsKey(std::string_view name) {
  return std::any_of(kMessageKeys.begin(), kMessageKeys.end(), [&](const MessageKey& key) { return key.name == name; });
}

// Why an entry of the first [content] section with this key is passed over.
std::string UnknownKey(std::string_view key) {
  const std::string_view trimmed = key.substr(0, key.find_last_not_of(kBlanks) + 1);
  if (trimmed != key && IsKey(trimmed)) {
    return "'" + std::string(key) + "' is not " + std::string(trimmed) +
           ": a blank before '=' makes another key (write " + std::string(trimmed) + "=...)";
  }
  std::string why = "'" + std::string(key) + "' is no key of the launcher's";
  const std::vector<std::string_view> names = KeyNames();
  if (const auto nearest = NearestName(key, names)) why += " (did you mean " + std::string(*nearest) + "?)";
  return why;
}

}  // namespace

LanguageTextCheck CheckLanguageText(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    return {{}, LanguageNote{0, "the file is UTF-16; save it as UTF-8"}, {}};
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  const auto refuse = [](std::size_t line, const std::string& why) {
    return LanguageTextCheck{{}, LanguageNote{line, why}, {}};
  };
  std::vector<LanguageNote> warnings;
  const auto ignored = [&](std::size_t line, const std::string& why) {
    warnings.push_back({line, why + "; the launcher ignores it"});
  };
  // Where the line is: before the first [content] section, in it, or after.
  enum class Place { kBefore, kContent, kAfter } place = Place::kBefore;
  std::string section;
  std::vector<std::pair<std::string, std::size_t>> keysSeen;  // in the first [content] section
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
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) return refuse(lineNumber, "a section header without its ']'");
      // As the reader: a header with an empty name opens no section.
      const std::string_view name = SkipBlanks(line.substr(1, close - 1));
      if (name.empty()) continue;
      section = name;
      if (place == Place::kContent) place = Place::kAfter;
      if (place == Place::kBefore && name == "content") place = Place::kContent;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (line.front() == '#') {
      ignored(lineNumber, "'#' starts no comment (';' does)");
    } else if (equals == 0) {
      ignored(lineNumber, "an entry without a key");
    } else if (equals == std::string_view::npos) {
      ignored(lineNumber, "neither a [section], a ; comment nor a KEY=value entry");
    } else if (const std::string key(line.substr(0, equals)); place != Place::kContent) {
      if (IsKey(key)) {
        ignored(lineNumber, key + " is in " + (section.empty() ? "no section" : "section [" + section + "]") +
                                ", and the launcher reads the first [content] section only");
      }
    } else if (!IsKey(key)) {
      ignored(lineNumber, UnknownKey(key));
    } else {
      const auto first =
          std::find_if(keysSeen.begin(), keysSeen.end(), [&](const auto& seen) { return seen.first == key; });
      if (first != keysSeen.end()) {
        ignored(lineNumber,
                "a second " + key + " (the launcher takes the one of line " + std::to_string(first->second) + ")");
      } else {
        keysSeen.emplace_back(key, lineNumber);
      }
    }
  }
  if (FindSection(ParseLanguageText(bytes), "content") == nullptr)
    return {{}, LanguageNote{0, "no [content] section"}, {}};
  return {bytes, std::nullopt, std::move(warnings)};
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

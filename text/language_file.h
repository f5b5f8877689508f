// The text form of a language file: sections of "key=value" lines.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisk {

struct LanguageEntry {
  std::string key;
  std::string value;
};

struct LanguageSection {
  std::string name;  // empty for the lines before the first header
  std::vector<LanguageEntry> entries;
};

// Lines are read in pieces of at most this many bytes; a longer line goes on
// as a line of its own.
inline constexpr std::size_t kLanguageLinePiece = 4095;

// The sections in file order, the unnamed one first. Sections are kept apart
// even when a name repeats.
std::vector<LanguageSection> ParseLanguageText(std::string_view bytes);

// What the builder's check says about one line of a language file, or about
// the file as a whole (line 0).
struct LanguageNote {
  std::size_t line = 0;
  std::string message;
  bool operator==(const LanguageNote&) const = default;
};

// "line N: message", or the message alone for the whole file.
std::string LanguageNoteText(const LanguageNote& note);

// A language file as the builder takes it: UTF-8 text (a byte-order mark
// is allowed), every line short enough to be read whole, with no zero byte
// and no carriage return but one before its line feed, every [section]
// header closed, and a [content] section somewhere. `text` is the file after
// its mark; `error` is set when it is refused. Lines that the launcher's
// reader passes over show the user nothing broken, and each gets a warning
// instead: a '#' line, a line without '=', an entry without a key, and in
// the first [content] section (the only one the launcher reads) an entry
// whose key is none of the launcher's keys (with the key meant, when one is
// near, and a word on a blank before '=') or that repeats a key (the first
// one counts); a key of the launcher's in any other section is warned of too.
struct LanguageTextCheck {
  std::string_view text;
  std::optional<LanguageNote> error;
  std::vector<LanguageNote> warnings;
};
LanguageTextCheck CheckLanguageText(std::string_view bytes);

// The first section called exactly `name`, or null.
const LanguageSection* FindSection(const std::vector<LanguageSection>& sections, std::string_view name);

// The value of the first entry whose key is exactly `key`, or null.
const std::string* FindEntry(const LanguageSection& section, std::string_view key);

}  // namespace brisk

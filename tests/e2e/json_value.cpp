#include "json_value.h"

#include <utf8.h>

#include <charconv>
#include <iterator>

namespace brisk::e2e {

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> Document() {
    JsonValue value;
    if (!Value(value, 0)) return std::nullopt;
    SkipBlanks();
    if (pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  static constexpr int kMaxDepth = 64;

  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' ||
                                   text_[pos_] == '\n')) {
      ++pos_;
    }
  }

  bool Take(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  bool Value(JsonValue& out, int depth) {
    if (depth > kMaxDepth) return false;
    SkipBlanks();
    if (pos_ >= text_.size()) return false;
    const char c = text_[pos_];
    if (c == '{') return Object(out, depth);
    if (c == '[') return Array(out, depth);
    if (c == '"') {
      out.kind_ = JsonValue::Kind::kString;
      return String(out.text_);
    }
    if (Literal("true") || Literal("false")) {
      out.kind_ = JsonValue::Kind::kBool;
      out.boolean_ = c == 't';
      return true;
    }
    if (Literal("null")) {
      out.kind_ = JsonValue::Kind::kNull;
      return true;
    }
    return Number(out);
  }

  bool Number(JsonValue& out) {
    const std::size_t start = pos_;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E') {
        ++pos_;
      } else {
        break;
      }
    }
    if (pos_ == start) return false;
    out.kind_ = JsonValue::Kind::kNumber;
    out.text_ = std::string(text_.substr(start, pos_ - start));
    return true;
  }

  bool Hex4(char16_t& unit) {
    if (pos_ + 4 > text_.size()) return false;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, value, 16);
    if (error != std::errc() || end != text_.data() + pos_ + 4) return false;
    pos_ += 4;
    unit = static_cast<char16_t>(value);
    return true;
  }

  // A run of \u escapes as one piece of UTF-16; an unpaired surrogate
  // becomes U+FFFD.
  bool UnicodeEscapes(std::string& out) {
    std::u16string units;
    for (;;) {
      char16_t unit = 0;
      if (!Hex4(unit)) return false;
      units.push_back(unit);
      if (text_.substr(pos_, 2) != "\\u") break;
      pos_ += 2;
    }
    try {
      utf8::utf16to8(units.begin(), units.end(), std::back_inserter(out));
    } catch (const utf8::exception&) {
      out += "\xEF\xBF\xBD";
    }
    return true;
  }

  bool String(std::string& out) {
    ++pos_;  // the opening quote
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return utf8::is_valid(out.begin(), out.end());
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (pos_ >= text_.size()) return false;
      const char e = text_[pos_++];
      switch (e) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u':
          if (!UnicodeEscapes(out)) return false;
          break;
        default: return false;
      }
    }
    return false;
  }

  bool Array(JsonValue& out, int depth) {
    ++pos_;
    out.kind_ = JsonValue::Kind::kArray;
    if (Take(']')) return true;
    do {
      JsonValue item;
      if (!Value(item, depth + 1)) return false;
      out.items_.push_back(std::move(item));
    } while (Take(','));
    return Take(']');
  }

  bool Object(JsonValue& out, int depth) {
    ++pos_;
    out.kind_ = JsonValue::Kind::kObject;
    if (Take('}')) return true;
    do {
      SkipBlanks();
      if (pos_ >= text_.size() || text_[pos_] != '"') return false;
      std::string key;
      if (!String(key) || !Take(':')) return false;
      JsonValue member;
      if (!Value(member, depth + 1)) return false;
      if (!out.members_.emplace(std::move(key), std::move(member)).second) return false;
    } while (Take(','));
    return Take('}');
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

std::optional<JsonValue> JsonValue::Parse(std::string_view text) { return JsonParser(text).Document(); }

const JsonValue* JsonValue::Find(std::string_view key) const {
  if (kind_ != Kind::kObject) return nullptr;
  const auto found = members_.find(key);
  return found == members_.end() ? nullptr : &found->second;
}

std::optional<std::string> JsonValue::String() const {
  if (kind_ != Kind::kString) return std::nullopt;
  return text_;
}

std::optional<bool> JsonValue::Bool() const {
  if (kind_ != Kind::kBool) return std::nullopt;
  return boolean_;
}

std::optional<std::int64_t> JsonValue::Integer() const {
  if (kind_ != Kind::kNumber) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text_.data(), text_.data() + text_.size(), value);
  if (error != std::errc() || end != text_.data() + text_.size()) return std::nullopt;
  return value;
}

std::optional<std::string> JsonValue::String(std::string_view key) const {
  const JsonValue* member = Find(key);
  return member ? member->String() : std::nullopt;
}

std::optional<bool> JsonValue::Bool(std::string_view key) const {
  const JsonValue* member = Find(key);
  return member ? member->Bool() : std::nullopt;
}

std::optional<std::int64_t> JsonValue::Integer(std::string_view key) const {
  const JsonValue* member = Find(key);
  return member ? member->Integer() : std::nullopt;
}

}  // namespace brisk::e2e

#include "tools/addin_protocol/flat_json.h"

#include <utf8.h>

#include <charconv>
#include <iterator>

namespace brisk::addin {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message) + " at offset " + std::to_string(pos_);
    return false;
  }
  const std::string& error() const { return error_; }

  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' ||
                                   text_[pos_] == '\n')) {
      ++pos_;
    }
  }
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++pos_;
    return true;
  }

  bool ParseHex4(std::uint32_t& value) {
    if (text_.size() - pos_ < 4) return Fail("short \\u escape");
    value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      value <<= 4;
      if (c >= '0' && c <= '9') value |= static_cast<std::uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') value |= static_cast<std::uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') value |= static_cast<std::uint32_t>(c - 'A' + 10);
      else return Fail("bad hex digit in \\u escape");
    }
    return true;
  }

  bool ParseString(std::string& out) {
    if (!Take('"')) return Fail("expected a string");
    out.clear();
    while (true) {
      if (AtEnd()) return Fail("unterminated string");
      const char c = text_[pos_++];
      if (c == '"') break;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in string");
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (AtEnd()) return Fail("unterminated escape");
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
        case 'u': {
          std::uint32_t unit = 0;
          if (!ParseHex4(unit)) return false;
          std::uint32_t codePoint = unit;
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            std::uint32_t low = 0;
            if (!Take('\\') || !Take('u') || !ParseHex4(low) || low < 0xDC00 || low > 0xDFFF) {
              return Fail("unpaired surrogate escape");
            }
            codePoint = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return Fail("unpaired surrogate escape");
          }
          utf8::append(codePoint, std::back_inserter(out));
          break;
        }
        default:
          return Fail("unknown escape");
      }
    }
    if (!utf8::is_valid(out.begin(), out.end())) return Fail("string is not valid UTF-8");
    return true;
  }

  bool ParseNumber(std::string& out) {
    const std::size_t start = pos_;
    Take('-');
    if (Take('0')) {
    } else if (Peek() >= '1' && Peek() <= '9') {
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
    } else {
      return Fail("bad number");
    }
    if (Take('.')) {
      if (!(Peek() >= '0' && Peek() <= '9')) return Fail("bad fraction");
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
    }
    if (Take('e') || Take('E')) {
      if (!Take('+')) Take('-');
      if (!(Peek() >= '0' && Peek() <= '9')) return Fail("bad exponent");
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
    }
    out.assign(text_.substr(start, pos_ - start));
    return true;
  }

  bool ParseLiteral(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return Fail("unknown literal");
    pos_ += word.size();
    return true;
  }

  bool ParseValue(FlatJson::Value& value) {
    const char c = Peek();
    if (c == '"') {
      value.kind = FlatJson::Kind::String;
      return ParseString(value.text);
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
      value.kind = FlatJson::Kind::Number;
      return ParseNumber(value.text);
    }
    if (c == 't' || c == 'f') {
      value.kind = FlatJson::Kind::Bool;
      value.boolean = c == 't';
      return ParseLiteral(c == 't' ? "true" : "false");
    }
    if (c == 'n') {
      value.kind = FlatJson::Kind::Null;
      return ParseLiteral("null");
    }
    if (c == '{' || c == '[') return Fail("nested values are not supported");
    return Fail("expected a value");
  }

  bool ParseObject(std::vector<std::pair<std::string, FlatJson::Value>>& members) {
    SkipBlanks();
    if (!Take('{')) return Fail("expected '{'");
    SkipBlanks();
    if (!Take('}')) {
      while (true) {
        SkipBlanks();
        std::string key;
        if (!ParseString(key)) return false;
        for (const auto& member : members) {
          if (member.first == key) return Fail("member \"" + key + "\" given twice");
        }
        SkipBlanks();
        if (!Take(':')) return Fail("expected ':'");
        SkipBlanks();
        FlatJson::Value value;
        if (!ParseValue(value)) return false;
        members.emplace_back(std::move(key), std::move(value));
        SkipBlanks();
        if (Take('}')) break;
        if (!Take(',')) return Fail("expected ',' or '}'");
      }
    }
    SkipBlanks();
    if (!AtEnd()) return Fail("text after the object");
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::string error_;
};

template <typename T>
std::optional<T> IntegerOf(const FlatJson::Value* value) {
  if (!value || value->kind != FlatJson::Kind::Number) return std::nullopt;
  T result{};
  const char* first = value->text.data();
  const char* last = first + value->text.size();
  const auto [end, errc] = std::from_chars(first, last, result);
  if (errc != std::errc() || end != last) return std::nullopt;
  return result;
}

}  // namespace

std::optional<FlatJson> FlatJson::Parse(std::string_view text, std::string* error) {
  Parser parser(text);
  FlatJson object;
  if (!parser.ParseObject(object.members_)) {
    if (error) *error = parser.error();
    return std::nullopt;
  }
  return object;
}

const FlatJson::Value* FlatJson::Find(std::string_view key) const {
  for (const auto& member : members_) {
    if (member.first == key) return &member.second;
  }
  return nullptr;
}

std::optional<std::string> FlatJson::String(std::string_view key) const {
  const Value* value = Find(key);
  if (!value || value->kind != Kind::String) return std::nullopt;
  return value->text;
}

std::optional<bool> FlatJson::Bool(std::string_view key) const {
  const Value* value = Find(key);
  if (!value || value->kind != Kind::Bool) return std::nullopt;
  return value->boolean;
}

std::optional<std::int64_t> FlatJson::Signed(std::string_view key) const {
  return IntegerOf<std::int64_t>(Find(key));
}

std::optional<std::uint64_t> FlatJson::Unsigned(std::string_view key) const {
  return IntegerOf<std::uint64_t>(Find(key));
}

std::string JsonQuote(std::string_view utf8) {
  std::string valid;
  if (!utf8::is_valid(utf8.begin(), utf8.end())) {
    utf8::replace_invalid(utf8.begin(), utf8.end(), std::back_inserter(valid));
    utf8 = valid;
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (byte < 0x20) {
      out += "\\u00";
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
  return out;
}

void JsonLineWriter::Key(std::string_view key) {
  if (body_.size() > 1) body_.push_back(',');
  body_ += JsonQuote(key);
  body_.push_back(':');
}

JsonLineWriter& JsonLineWriter::Add(std::string_view key, std::string_view utf8) {
  Key(key);
  body_ += JsonQuote(utf8);
  return *this;
}

JsonLineWriter& JsonLineWriter::Add(std::string_view key, bool value) {
  Key(key);
  body_ += value ? "true" : "false";
  return *this;
}

JsonLineWriter& JsonLineWriter::Add(std::string_view key, std::int64_t value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

JsonLineWriter& JsonLineWriter::Add(std::string_view key, std::uint64_t value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

}  // namespace brisk::addin

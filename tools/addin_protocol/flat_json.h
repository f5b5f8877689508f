// One-level JSON objects: the lines of the stand-in add-in's log and its
// configuration file. Members are strings, numbers, booleans or null; nested
// objects and arrays are not part of these formats and are refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brisk::addin {

class FlatJson {
 public:
  enum class Kind { Null, Bool, Number, String };
  struct Value {
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text;  // the number as written, or the string as UTF-8
  };

  // Parses one object; on failure returns nothing and describes the fault in
  // *error when given. A member named twice is a fault.
  static std::optional<FlatJson> Parse(std::string_view text, std::string* error = nullptr);

  const Value* Find(std::string_view key) const;
  std::optional<std::string> String(std::string_view key) const;
  std::optional<bool> Bool(std::string_view key) const;
  // Integral numbers only; a fraction, an exponent or a value out of range
  // gives nothing.
  std::optional<std::int64_t> Signed(std::string_view key) const;
  std::optional<std::uint64_t> Unsigned(std::string_view key) const;

  const std::vector<std::pair<std::string, Value>>& members() const { return members_; }

 private:
  std::vector<std::pair<std::string, Value>> members_;
};

// Builds one object on one line, members in the order they are added.
class JsonLineWriter {
 public:
  // Text that is not valid UTF-8 has its invalid sequences replaced, so the
  // line always parses.
  JsonLineWriter& Add(std::string_view key, std::string_view utf8);
  JsonLineWriter& Add(std::string_view key, const char* utf8) { return Add(key, std::string_view(utf8)); }
  JsonLineWriter& Add(std::string_view key, bool value);
  JsonLineWriter& Add(std::string_view key, std::int64_t value);
  JsonLineWriter& Add(std::string_view key, std::uint64_t value);
  JsonLineWriter& Add(std::string_view key, int value) { return Add(key, static_cast<std::int64_t>(value)); }
  JsonLineWriter& Add(std::string_view key, unsigned value) { return Add(key, static_cast<std::uint64_t>(value)); }

  // The object followed by a line feed.
  std::string Line() const { return body_ + "}\n"; }

 private:
  void Key(std::string_view key);
  std::string body_ = "{";
};

// A JSON string literal (with its quotes) of UTF-8 text.
std::string JsonQuote(std::string_view utf8);

}  // namespace brisk::addin

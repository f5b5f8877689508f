// A small reader for the JSON lines that the stand-in host writes: objects
// and arrays nested to any depth, strings, numbers, booleans and null.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisk::e2e {

class JsonValue {
 public:
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

  // One complete value; nothing when the text is not one (trailing text
  // other than blanks is a fault too).
  static std::optional<JsonValue> Parse(std::string_view text);

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::kNull; }

  // The member, or null when this is no object or has no such member.
  const JsonValue* Find(std::string_view key) const;
  const std::vector<JsonValue>& items() const { return items_; }

  // Typed reads; nothing when the value has another kind. Numbers must be
  // integral and fit.
  std::optional<std::string> String() const;
  std::optional<bool> Bool() const;
  std::optional<std::int64_t> Integer() const;

  // Shorthands for a member.
  std::optional<std::string> String(std::string_view key) const;
  std::optional<bool> Bool(std::string_view key) const;
  std::optional<std::int64_t> Integer(std::string_view key) const;

 private:
  friend class JsonParser;
  Kind kind_ = Kind::kNull;
  bool boolean_ = false;
  std::string text_;  // a string as UTF-8, or a number as written
  std::vector<JsonValue> items_;
  std::map<std::string, JsonValue, std::less<>> members_;
};

}  // namespace brisk::e2e

// JSON as the tools and tests read and write it: nlohmann's ordered_json
// (objects keep their members in the order written), a parse that refuses a
// little more than the library does, typed reads that give nothing instead of
// throwing, and the one-line form of the JSON-lines logs.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace brisk::json {

using Json = nlohmann::ordered_json;

// How deep objects and arrays may nest: any format here, and one whose
// members are no objects or arrays.
constexpr int kMaxDepth = 64;
constexpr int kFlatDepth = 1;

// One complete value, blanks around it allowed. Besides what the library
// refuses, a member named twice and nesting deeper than `maxDepth` are
// faults. On failure returns nothing and describes the fault in *error when
// given.
std::optional<Json> Parse(std::string_view text, std::string* error = nullptr, int maxDepth = kMaxDepth);

// The same for a text that must be one object.
std::optional<Json> ParseObject(std::string_view text, std::string* error = nullptr, int maxDepth = kMaxDepth);

// The value as T: std::string, bool or an integer type. Nothing when it has
// another type; for an integer type, when it is no integral number (a
// fraction or an exponent) or does not fit T.
template <typename T>
std::optional<T> As(const Json& value) {
  if constexpr (std::is_same_v<T, std::string>) {
    if (!value.is_string()) return std::nullopt;
    return value.get_ref<const std::string&>();
  } else if constexpr (std::is_same_v<T, bool>) {
    if (!value.is_boolean()) return std::nullopt;
    return value.get<bool>();
  } else {
    static_assert(std::is_integral_v<T>, "As reads strings, booleans and integers");
    if (value.is_number_unsigned()) {
      const auto number = value.get<std::uint64_t>();
      if (std::in_range<T>(number)) return static_cast<T>(number);
    } else if (value.is_number_integer()) {
      const auto number = value.get<std::int64_t>();
      if (std::in_range<T>(number)) return static_cast<T>(number);
    }
    return std::nullopt;
  }
}

// The member `key` as T; nothing when `object` is no object, has no such
// member or As<T> gives nothing.
template <typename T>
std::optional<T> Member(const Json& object, std::string_view key) {
  if (!object.is_object()) return std::nullopt;
  const auto found = object.find(key);
  if (found == object.end()) return std::nullopt;
  return As<T>(*found);
}

// The value on one line without blanks, non-ASCII text as UTF-8, and text
// that is not valid UTF-8 with each invalid sequence replaced by U+FFFD, so
// that the line always parses. No line feed.
std::string OneLine(const Json& value);

}  // namespace brisk::json

// One JSON object on one line, as the stand-in host writes its call log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brisk::standin {

// A JSON string literal. UTF-16 text becomes UTF-8; an unpaired surrogate is
// kept as a \u escape, so that nothing the client sent is lost.
std::string JsonQuote(std::u16string_view text);
std::string JsonQuoteUtf8(std::string_view text);

// "0x" and eight upper-case hexadecimal digits, quoted.
std::string JsonHex(std::uint32_t value);

class JsonObject {
 public:
  JsonObject& Number(std::string_view key, long long value);
  JsonObject& Real(std::string_view key, double value);
  JsonObject& Boolean(std::string_view key, bool value);
  JsonObject& Text(std::string_view key, std::u16string_view value);
  JsonObject& TextUtf8(std::string_view key, std::string_view value);
  JsonObject& Null(std::string_view key);
  // `json` is already a JSON value (an array, an object, a literal).
  JsonObject& Raw(std::string_view key, std::string_view json);
  std::string str() const { return body_ + "}"; }

 private:
  JsonObject& Key(std::string_view key);
  std::string body_ = "{";
};

class JsonArray {
 public:
  JsonArray& Add(std::string_view json);
  std::string str() const { return body_ + "]"; }

 private:
  std::string body_ = "[";
};

}  // namespace brisk::standin

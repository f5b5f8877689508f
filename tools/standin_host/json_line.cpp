#include "json_line.h"

#include <utf8.h>

#include <cmath>
#include <cstdio>

namespace brisk::standin {

namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendEscape(std::string& out, unsigned unit) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04X", unit);
  out += escape;
}

// ASCII with JSON's escapes; true when `unit` was handled.
bool AppendAscii(std::string& out, char32_t unit) {
  if (unit >= 0x80) return false;
  switch (unit) {
    case U'"':
      out += "\\\"";
      break;
    case U'\\':
      out += "\\\\";
      break;
    case U'\n':
      out += "\\n";
      break;
    case U'\r':
      out += "\\r";
      break;
    case U'\t':
      out += "\\t";
      break;
    default:
      if (unit < 0x20 || unit == 0x7F) {
        AppendEscape(out, static_cast<unsigned>(unit));
      } else {
        out += static_cast<char>(unit);
      }
  }
  return true;
}

}  // namespace

std::string JsonQuote(std::u16string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (AppendAscii(out, unit)) continue;
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      const char32_t point = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      utf8::append(point, std::back_inserter(out));
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendEscape(out, unit);
    } else {
      utf8::append(static_cast<char32_t>(unit), std::back_inserter(out));
    }
  }
  return out + "\"";
}

std::string JsonQuoteUtf8(std::string_view text) {
  std::string valid;
  utf8::replace_invalid(text.begin(), text.end(), std::back_inserter(valid));
  std::u16string wide;
  utf8::utf8to16(valid.begin(), valid.end(), std::back_inserter(wide));
  return JsonQuote(wide);
}

std::string JsonHex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "\"0x%08X\"", static_cast<unsigned>(value));
  return text;
}

JsonObject& JsonObject::Key(std::string_view key) {
  if (body_.size() > 1) body_ += ',';
  body_ += JsonQuoteUtf8(key);
  body_ += ':';
  return *this;
}

JsonObject& JsonObject::Number(std::string_view key, long long value) {
  Key(key).body_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::Real(std::string_view key, double value) {
  if (!std::isfinite(value)) return Null(key);
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  Key(key).body_ += text;
  return *this;
}

JsonObject& JsonObject::Boolean(std::string_view key, bool value) {
  Key(key).body_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::Text(std::string_view key, std::u16string_view value) {
  Key(key).body_ += JsonQuote(value);
  return *this;
}

JsonObject& JsonObject::TextUtf8(std::string_view key, std::string_view value) {
  Key(key).body_ += JsonQuoteUtf8(value);
  return *this;
}

JsonObject& JsonObject::Null(std::string_view key) {
  Key(key).body_ += "null";
  return *this;
}

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) {
  Key(key).body_ += json;
  return *this;
}

JsonArray& JsonArray::Add(std::string_view json) {
  if (body_.size() > 1) body_ += ',';
  body_ += json;
  return *this;
}

}  // namespace brisk::standin

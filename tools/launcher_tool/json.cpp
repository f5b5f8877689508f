#include "json.h"

#include <cstdio>

namespace brisk::tool {

namespace {

void AppendUnit(std::string& out, unsigned unit) {
  if (unit >= 0x20 && unit <= 0x7E && unit != '"' && unit != '\\') {
    out.push_back(static_cast<char>(unit));
    return;
  }
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04X", unit);
  out += escape;
}

}  // namespace

std::string JsonString(std::u16string_view text) {
  std::string out = "\"";
  for (char16_t unit : text) AppendUnit(out, unit);
  out.push_back('"');
  return out;
}

std::string JsonBytes(std::string_view bytes) {
  std::string out = "\"";
  for (char byte : bytes) AppendUnit(out, static_cast<unsigned char>(byte));
  out.push_back('"');
  return out;
}

}  // namespace brisk::tool

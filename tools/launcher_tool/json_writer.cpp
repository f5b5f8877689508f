#include "json_writer.h"

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

std::string Member(const std::string& key, const std::string& value) { return "\"" + key + "\": " + value; }

std::string InlineObject(const std::vector<std::string>& members) {
  std::string out = "{";
  for (std::size_t i = 0; i < members.size(); ++i) out += (i > 0 ? ", " : "") + members[i];
  return out + "}";
}

std::string MemberLines(const std::vector<std::string>& members, std::string_view indent) {
  std::string out;
  for (std::size_t i = 0; i < members.size(); ++i) {
    out += indent;
    out += members[i];
    out += i + 1 < members.size() ? ",\n" : "\n";
  }
  return out;
}

void PrintObject(const std::vector<std::string>& members) {
  if (members.empty()) {
    std::printf("{}\n");
    return;
  }
  std::printf("{\n%s}\n", MemberLines(members, "  ").c_str());
}

}  // namespace brisk::tool

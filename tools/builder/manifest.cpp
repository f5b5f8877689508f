#include "manifest.h"

#include <utf8.h>

#include <charconv>
#include <set>
#include <vector>

namespace brisk {

namespace {

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::optional<std::uint32_t> ParseNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::optional<std::uint32_t> ParseFlags(std::string_view text) {
  struct Named {
    std::string_view name;
    std::uint32_t bit;
  };
  static constexpr Named kNames[] = {
      {"host-invisible", 0x40},    {"version-checks", 0x80},      {"splash-forced", 0x200},
      {"single-instance", 0x4000}, {"external-storage", 0x20000},
  };
  std::uint32_t flags = 0;
  while (true) {
    const auto bar = text.find('|');
    const std::string_view item = Trim(text.substr(0, bar));
    if (item.empty()) return std::nullopt;
    std::optional<std::uint32_t> bits = ParseNumber(item);
    for (const Named& named : kNames) {
      if (item == named.name) bits = named.bit;
    }
    if (!bits) return std::nullopt;
    flags |= *bits;
    if (bar == std::string_view::npos) return flags;
    text.remove_prefix(bar + 1);
  }
}

// "major.minor.build" into the version word's three top bytes.
std::optional<std::uint32_t> ParseVersion(std::string_view text) {
  std::uint32_t word = 0;
  for (int shift = 24; shift >= 8; shift -= 8) {
    const auto dot = text.find('.');
    const std::optional<std::uint32_t> part = ParseNumber(text.substr(0, dot));
    if (!part || *part > 255) return std::nullopt;
    word |= *part << shift;
    if (shift == 8) return dot == std::string_view::npos ? std::optional(word) : std::nullopt;
    if (dot == std::string_view::npos) return std::nullopt;
    text.remove_prefix(dot + 1);
  }
  return std::nullopt;
}

ManifestResult Error(std::size_t line, const std::string& message) {
  return {std::nullopt, "manifest line " + std::to_string(line) + ": " + message};
}

}  // namespace

ManifestResult ParseManifest(std::string_view text, const std::filesystem::path& baseFolder) {
  BuildManifest manifest;
  std::set<std::string, std::less<>> seen;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const auto newline = text.find('\n');
    const std::string_view line = Trim(text.substr(0, newline));
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (line.empty() || line[0] == '#') continue;

    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return Error(lineNumber, "expected key = value");
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (!seen.insert(std::string(key)).second) return Error(lineNumber, "'" + std::string(key) + "' given twice");
    if (!utf8::is_valid(value.begin(), value.end())) return Error(lineNumber, "value is not UTF-8");

    const auto path = [&] {
      return baseFolder / std::filesystem::path(std::u8string(value.begin(), value.end()));
    };
    if (key == "name") {
      manifest.appName = utf8::utf8to16(value);
    } else if (key == "info") {
      manifest.appInfo = utf8::utf8to16(value);
    } else if (key == "password") {
      manifest.password = utf8::utf8to16(value);
    } else if (key == "version") {
      const auto version = ParseVersion(value);
      if (!version) return Error(lineNumber, "version must be major.minor.build, each 0-255");
      manifest.appVersion = *version;
    } else if (key == "flags") {
      const auto flags = ParseFlags(value);
      if (!flags) return Error(lineNumber, "bad flag in '" + std::string(value) + "'");
      manifest.flags = *flags;
    } else if (key == "format") {
      if (value.size() != 1) return Error(lineNumber, "format must be one character, such as 4 or 2");
      manifest.workbookFormat = static_cast<unsigned char>(value[0]);
    } else if (key == "magic") {
      const auto magic = ParseNumber(value);
      if (!magic) return Error(lineNumber, "magic must be a number");
      manifest.magic = *magic;
    } else if (key == "workbook") {
      manifest.workbook = path();
    } else if (key == "aux-workbook") {
      manifest.auxWorkbook = path();
    } else if (key == "addin32") {
      manifest.addin32 = path();
    } else if (key == "addin64") {
      manifest.addin64 = path();
    } else if (key == "licence") {
      manifest.licence = path();
    } else if (key == "splash") {
      manifest.splash = path();
    } else if (key == "language") {
      manifest.language = path();
    } else if (key == "launcher") {
      manifest.launcher = path();
    } else {
      return Error(lineNumber, "unknown key '" + std::string(key) + "'");
    }
  }
  if (manifest.workbook.empty()) return {std::nullopt, "manifest: 'workbook' is missing"};
  if (manifest.auxWorkbook.empty()) return {std::nullopt, "manifest: 'aux-workbook' is missing"};
  if (manifest.addin32.empty()) return {std::nullopt, "manifest: 'addin32' is missing"};
  return {std::move(manifest), {}};
}

}  // namespace brisk

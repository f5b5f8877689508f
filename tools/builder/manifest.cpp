#include "manifest.h"

#include <utf8.h>

#include <charconv>
#include <set>
#include <vector>

#include "payload/build_settings.h"

namespace brisk {

namespace {

// The longest text of the version resource's strings, in UTF-16 units: the
// resource's blocks have 16-bit lengths.
constexpr std::size_t kMaxVersionText = 1000;

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
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

std::string Hex(std::uint32_t value) {
  char buffer[16];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
  return "0x" + std::string(buffer, end);
}

std::optional<std::uint32_t> ParseFlags(std::string_view text) {
  struct Named {
    std::string_view name;
    std::uint32_t bit;
  };
  static constexpr Named kNames[] = {
      {"host-invisible", kFlagHostInvisible},     {"version-checks", kFlagHostVersionChecks},
      {"splash-forced", kFlagSplashForced},       {"single-instance", kFlagSingleInstance},
      {"external-storage", kFlagExternalStorage},
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

// "a.b.c" or "a.b.c.d", decimal numbers 0-65535.
std::optional<std::vector<std::uint16_t>> ParseVersion(std::string_view text) {
  std::vector<std::uint16_t> parts;
  while (true) {
    const auto dot = text.find('.');
    const std::string_view part = text.substr(0, dot);
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value, 10);
    if (part.empty() || error != std::errc() || end != part.data() + part.size() || value > 0xFFFF) return std::nullopt;
    parts.push_back(static_cast<std::uint16_t>(value));
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  if (parts.size() < 3 || parts.size() > 4) return std::nullopt;
  return parts;
}

std::u16string VersionText(const std::vector<std::uint16_t>& parts) {
  std::string text;
  for (std::uint16_t part : parts) text += (text.empty() ? "" : ".") + std::to_string(part);
  return std::u16string(text.begin(), text.end());
}

ManifestResult Error(std::size_t line, const std::string& message) {
  return {std::nullopt, "manifest line " + std::to_string(line) + ": " + message};
}

// The next line and what follows it; a line ends at LF, CR LF or CR.
std::string_view NextLine(std::string_view& text) {
  const auto end = text.find_first_of("\r\n");
  const std::string_view line = text.substr(0, end);
  if (end == std::string_view::npos) {
    text = {};
  } else {
    text.remove_prefix(end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1));
  }
  return line;
}

}  // namespace

ManifestResult ParseManifest(std::string_view text, const std::filesystem::path& baseFolder) {
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") || text.find('\0') != std::string_view::npos) {
    return {std::nullopt, "manifest: the file is UTF-16 or binary; save it as UTF-8 text"};
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  BuildManifest manifest;
  manifest.versionText = u"0.0.0";
  std::set<std::string, std::less<>> seen;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::string_view line = Trim(NextLine(text));
    if (line.empty() || line[0] == '#') continue;

    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return Error(lineNumber, "expected key = value");
    const std::string key(Trim(line.substr(0, equals)));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (!seen.insert(key).second) return Error(lineNumber, "'" + key + "' given twice");
    if (!utf8::is_valid(value.begin(), value.end())) return Error(lineNumber, "value is not UTF-8");

    std::filesystem::path* path = nullptr;
    if (key == "name") {
      manifest.appName = utf8::utf8to16(value);
    } else if (key == "info") {
      manifest.appInfo = utf8::utf8to16(value);
    } else if (key == "password") {
      manifest.password = utf8::utf8to16(value);
    } else if (key == "company" || key == "copyright" || key == "description") {
      std::u16string& field = key == "company"     ? manifest.company
                              : key == "copyright" ? manifest.copyright
                                                   : manifest.description;
      field = utf8::utf8to16(value);
      if (field.size() > kMaxVersionText) {
        return Error(lineNumber, "'" + key + "' is longer than " + std::to_string(kMaxVersionText) + " characters");
      }
    } else if (key == "version") {
      const auto parts = ParseVersion(value);
      if (!parts) return Error(lineNumber, "version must be a.b.c or a.b.c.d, each number 0-65535");
      if ((*parts)[0] > 255 || (*parts)[1] > 255 || (*parts)[2] > 255) {
        return Error(lineNumber,
                     "version " + std::string(value) +
                         ": the first three numbers must be 0-255 (the settings record keeps a byte of each)");
      }
      for (std::size_t i = 0; i < parts->size(); ++i) manifest.version[i] = (*parts)[i];
      manifest.appVersion = (std::uint32_t{(*parts)[0]} << 24) | ((*parts)[1] << 16) | ((*parts)[2] << 8);
      manifest.versionText = VersionText(*parts);
    } else if (key == "flags") {
      const auto flags = ParseFlags(value);
      if (!flags) return Error(lineNumber, "bad flag in '" + std::string(value) + "'");
      if (*flags & ~kLauncherFlags) {
        return Error(lineNumber, "flags " + Hex(*flags & ~kLauncherFlags) + " are not known to the launcher");
      }
      manifest.flags = *flags;
    } else if (key == "format") {
      if (value.size() != 1) return Error(lineNumber, "format must be one character, such as 4 or 2");
      manifest.workbookFormat = static_cast<unsigned char>(value[0]);
    } else if (key == "magic") {
      const auto magic = ParseNumber(value);
      if (!magic) return Error(lineNumber, "magic must be a number");
      manifest.magic = *magic;
    } else if (key == "sign") {
      if (value.find("{file}") == std::string_view::npos) {
        return Error(lineNumber, "the sign command must name the file to sign as {file}");
      }
      manifest.signCommand = value;
    } else if (key == "workbook") {
      path = &manifest.workbook;
    } else if (key == "aux-workbook") {
      path = &manifest.auxWorkbook;
    } else if (key == "addin32") {
      path = &manifest.addin32;
    } else if (key == "addin64") {
      path = &manifest.addin64;
    } else if (key == "licence") {
      path = &manifest.licence;
    } else if (key == "splash") {
      path = &manifest.splash;
    } else if (key == "language") {
      path = &manifest.language;
    } else if (key == "icon") {
      path = &manifest.icon;
    } else if (key == "launcher") {
      path = &manifest.launcher;
    } else {
      return Error(lineNumber, "unknown key '" + key + "'");
    }
    if (path) {
      if (value.empty()) return Error(lineNumber, "'" + key + "' is empty");
      *path = baseFolder / std::filesystem::path(std::u8string(value.begin(), value.end()));
    }
  }
  if (manifest.workbook.empty()) return {std::nullopt, "manifest: 'workbook' is missing"};
  if (manifest.auxWorkbook.empty()) return {std::nullopt, "manifest: 'aux-workbook' is missing"};
  if (manifest.addin32.empty()) return {std::nullopt, "manifest: 'addin32' is missing"};
  return {std::move(manifest), {}};
}

}  // namespace brisk

#include "manifest.h"

#include <utf8.h>

#include <algorithm>
#include <charconv>
#include <iterator>
#include <vector>

#include "core/workbook_name.h"
#include "payload/build_settings.h"
#include "payload/encoded_strings.h"
#include "text/nearest_name.h"

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

struct NamedFlag {
  std::string_view name;
  std::uint32_t bit;
};
constexpr NamedFlag kFlagNames[] = {
    {"host-invisible", kFlagHostInvisible},     {"version-checks", kFlagHostVersionChecks},
    {"splash-forced", kFlagSplashForced},       {"single-instance", kFlagSingleInstance},
    {"external-storage", kFlagExternalStorage},
};

// The flags, or why not: the item that is neither a name nor a number.
std::optional<std::uint32_t> ParseFlags(std::string_view text, std::string& why) {
  std::uint32_t flags = 0;
  while (true) {
    const auto bar = text.find('|');
    const std::string_view item = Trim(text.substr(0, bar));
    std::optional<std::uint32_t> bits = ParseNumber(item);
    for (const NamedFlag& named : kFlagNames) {
      if (item == named.name) bits = named.bit;
    }
    if (!bits) {
      std::vector<std::string_view> names;
      std::string list;
      for (const NamedFlag& named : kFlagNames) {
        names.push_back(named.name);
        list += std::string(list.empty() ? "" : ", ") + std::string(named.name);
      }
      why = item.empty() ? "an empty flag" : "bad flag '" + std::string(item) + "'";
      if (const auto nearest = NearestName(item, names)) why += " (did you mean " + std::string(*nearest) + "?)";
      why += "; flags are " + list + " or numbers, joined by |";
      return std::nullopt;
    }
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

// The keys of a manifest, for the nearest one to a key that is none.
constexpr std::string_view kKeys[] = {
    "name",     "info",     "version",      "flags",     "password",    "format",   "magic",
    "sign",     "workbook", "aux-workbook", "addin32",   "addin64",     "licence",  "splash",
    "language", "icon",     "company",      "copyright", "description", "launcher",
};

// The format codes a manifest may give: the two the launcher names a
// workbook by, and one that stands for all the others (the default name).
constexpr char kWorkbookFormats[] = {'4', '2', '1'};

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
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

Diagnostic BuildManifest::At(std::string_view key, std::string message, Severity severity) const {
  const auto line = lines.find(key);
  return {severity, file, line == lines.end() ? 0 : line->second, std::move(message)};
}

std::string FlagsText(std::uint32_t flags) {
  std::string text;
  for (const NamedFlag& named : kFlagNames) {
    if (!(flags & named.bit)) continue;
    text += (text.empty() ? "" : " | ") + std::string(named.name);
    flags &= ~named.bit;
  }
  if (flags) text += (text.empty() ? "" : " | ") + Hex(flags);
  return text.empty() ? "none" : text;
}

std::string WorkbookExtensionOf(std::uint32_t workbookFormat) {
  const WorkbookNameTexts texts{GetEncodedStringW(kExeSuffix), GetEncodedStringW(kWorkbookExtFormat4),
                                GetEncodedStringW(kWorkbookExtFormat2), GetEncodedStringW(kWorkbookExtDefault)};
  return utf8::utf16to8(WorkbookExtension(workbookFormat, texts));
}

ManifestResult ParseManifest(std::string_view text, const std::filesystem::path& baseFolder, const std::string& file) {
  const auto error = [&](std::size_t line, const std::string& message) {
    return ManifestResult{std::nullopt, {Severity::kError, file, line, message}};
  };
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") || text.find('\0') != std::string_view::npos) {
    return error(0, "the file is UTF-16 or binary; save it as UTF-8 text");
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  BuildManifest manifest;
  manifest.file = file;
  manifest.versionText = u"0.0.0";
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::string_view line = Trim(NextLine(text));
    if (line.empty() || line[0] == '#') continue;

    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return error(lineNumber, "expected key = value");
    const std::string key(Trim(line.substr(0, equals)));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (const auto first = manifest.lines.find(key); first != manifest.lines.end()) {
      return error(lineNumber, "'" + key + "' given twice (first on line " + std::to_string(first->second) + ")");
    }
    manifest.lines.emplace(key, lineNumber);
    if (!utf8::is_valid(value.begin(), value.end())) return error(lineNumber, "value is not UTF-8");

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
        return error(lineNumber, "'" + key + "' is longer than " + std::to_string(kMaxVersionText) + " characters");
      }
    } else if (key == "version") {
      const auto parts = ParseVersion(value);
      if (!parts) return error(lineNumber, "version must be a.b.c or a.b.c.d, each number 0-65535");
      if ((*parts)[0] > 255 || (*parts)[1] > 255 || (*parts)[2] > 255) {
        return error(lineNumber,
                     "version " + std::string(value) +
                         ": the first three numbers must be 0-255 (the settings record keeps a byte of each)");
      }
      for (std::size_t i = 0; i < parts->size(); ++i) manifest.version[i] = (*parts)[i];
      manifest.appVersion = (std::uint32_t{(*parts)[0]} << 24) | ((*parts)[1] << 16) | ((*parts)[2] << 8);
      manifest.versionText = VersionText(*parts);
    } else if (key == "flags") {
      std::string why;
      const auto flags = ParseFlags(value, why);
      if (!flags) return error(lineNumber, why);
      if (*flags & ~kLauncherFlags) {
        return error(lineNumber, "flags " + Hex(*flags & ~kLauncherFlags) + " are not known to the launcher");
      }
      manifest.flags = *flags;
    } else if (key == "format") {
      const bool known = value.size() == 1 && std::find(std::begin(kWorkbookFormats), std::end(kWorkbookFormats),
                                                        value[0]) != std::end(kWorkbookFormats);
      if (!known) {
        return error(lineNumber, "format '" + std::string(value) +
                                     "' is not known to the launcher: 4 (the workbook is named .xlsx), 2 (.xlsb) or 1 "
                                     "(.xls, as without a format)");
      }
      manifest.workbookFormat = static_cast<unsigned char>(value[0]);
    } else if (key == "magic") {
      const auto magic = ParseNumber(value);
      if (!magic) return error(lineNumber, "magic must be a number");
      manifest.magic = *magic;
    } else if (key == "sign") {
      if (value.find("{file}") == std::string_view::npos) {
        return error(lineNumber, "the sign command must name the file to sign as {file}");
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
      std::string why = "unknown key '" + key + "'";
      if (const auto nearest = NearestName(key, kKeys)) why += "; did you mean '" + std::string(*nearest) + "'?";
      return error(lineNumber, why);
    }
    if (path) {
      if (value.empty()) return error(lineNumber, "'" + key + "' is empty");
      *path = baseFolder / std::filesystem::path(std::u8string(value.begin(), value.end()));
    }
  }
  if (manifest.workbook.empty()) return error(0, "'workbook' is missing");
  if (manifest.auxWorkbook.empty()) return error(0, "'aux-workbook' is missing");
  if (manifest.addin32.empty()) return error(0, "'addin32' is missing");

  const BuildManifest& parsed = manifest;
  // The launcher names the unpacked workbook from the format, whatever the
  // file's own name: a workbook file of another spreadsheet extension would
  // reach the host under a name that does not fit its content.
  const std::u8string extension = parsed.workbook.extension().u8string();
  const std::string own = LowerAscii(std::string(extension.begin(), extension.end()));
  const std::string named = WorkbookExtensionOf(parsed.workbookFormat);
  if (own.starts_with(".xl") && own != named) {
    const std::u8string name = parsed.workbook.filename().u8string();
    const std::string formatText =
        parsed.workbookFormat ? std::string(1, static_cast<char>(parsed.workbookFormat)) : "";
    manifest.warnings.push_back(parsed.At(
        parsed.lines.count("format") ? "format" : "workbook",
        "the workbook " + std::string(name.begin(), name.end()) + " is a " + own + " file, but the launcher names it " +
            named + (formatText.empty() ? " (no format is given)" : " (format " + formatText + ")") +
            "; give format 4 for .xlsx, 2 for .xlsb",
        Severity::kWarning));
  }
  return {std::move(manifest), {}};
}

}  // namespace brisk

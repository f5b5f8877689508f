// The builder's manifest: a small UTF-8 text file that names what goes into
// one application build.
//
//   # comment
//   name = Sample Application
//   version = 1.2.3
//   info = Quarterly figures
//   flags = single-instance | host-invisible | 0x80
//   password = secret
//   format = 4
//   workbook = sample.bin
//   aux-workbook = aux.bin
//   addin32 = briskstub32.dll
//   addin64 = briskstub64.dll
//   licence = licence.txt
//   splash = splash.jpg
//   language = german.lng
//   icon = application.ico
//   company = Example Ltd
//   copyright = (c) 2024 Example Ltd
//   description = Quarterly planner
//   sign = osslsigncode sign -certs c.pem -key k.pem -in {file} -out {file}.s && mv {file}.s {file}
//
// One "key = value" per line (line ends LF, CR LF or CR; a UTF-8 byte-order
// mark is skipped); blanks around key and value are dropped; keys may
// appear once. Paths are relative to the manifest's folder and may not be
// empty. Flag names: host-invisible (0x40), version-checks (0x80),
// splash-forced (0x200), single-instance (0x4000), external-storage
// (0x20000); numbers may be decimal or 0x-hexadecimal, and bits the
// launcher does not know are refused. "format" is 4 (the launcher names the
// main workbook .xlsx), 2 (.xlsb) or 1 (.xls, as without it); a workbook
// file whose own extension says otherwise is warned of. "version" is
// a.b.c or a.b.c.d, each
// 0-65535, with the first three 0-255 (the settings record keeps a byte of
// each; the version resource keeps all four). "icon" replaces the
// launcher's icon; "company", "copyright" and "description" go into the
// version resource. "sign" is a command that signs the file named by
// {file} in place; it runs on each add-in before it is embedded and on the
// finished build (tools/builder/sign_command.h). "magic" overrides the
// settings magic (for building deliberately broken test builds). A key that
// is not one of these is refused, with the key meant when one is near.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"

namespace brisk {

struct BuildManifest {
  std::u16string appName;
  std::u16string appInfo;
  std::uint32_t appVersion = 0;  // the settings record's version word
  std::array<std::uint16_t, 4> version{};
  std::u16string versionText;  // "a.b.c[.d]" as numbers; "0.0.0" when not given
  std::uint32_t flags = 0;
  std::u16string password;
  std::uint32_t workbookFormat = 0;
  std::optional<std::uint32_t> magic;
  std::u16string company;
  std::u16string copyright;
  std::u16string description;
  std::string signCommand;  // UTF-8, holds {file}; empty when builds are not signed
  std::filesystem::path workbook;
  std::filesystem::path auxWorkbook;
  std::filesystem::path addin32;
  std::filesystem::path addin64;
  std::filesystem::path licence;
  std::filesystem::path splash;
  std::filesystem::path language;
  std::filesystem::path icon;
  std::filesystem::path launcher;

  // The manifest as the maker named it, the line of each key given, and
  // what the manifest says that may not be what the maker meant.
  std::string file;
  std::map<std::string, std::size_t, std::less<>> lines;
  std::vector<Diagnostic> warnings;
  // A diagnostic about the line of `key` (about the whole manifest when the
  // key was not given).
  Diagnostic At(std::string_view key, std::string message, Severity severity = Severity::kError) const;
};

struct ManifestResult {
  std::optional<BuildManifest> manifest;
  Diagnostic error;  // set when manifest is empty
};

// A settings word as the manifest names its flags ("single-instance |
// host-invisible"), bits without a name in hexadecimal; "none" for 0.
std::string FlagsText(std::uint32_t flags);

// The extension the launcher gives the main workbook of a format code.
std::string WorkbookExtensionOf(std::uint32_t workbookFormat);

// `text` is the manifest file's bytes; `file` names it in diagnostics.
ManifestResult ParseManifest(std::string_view text, const std::filesystem::path& baseFolder,
                             const std::string& file = "manifest");

}  // namespace brisk

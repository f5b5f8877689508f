// The builder's manifest: a small text file that names what goes into one
// application build.
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
//
// One "key = value" per line; blanks around key and value are dropped; keys
// may appear once. Paths are relative to the manifest's folder. Flag names:
// host-invisible (0x40), version-checks (0x80), splash-forced (0x200),
// single-instance (0x4000), external-storage (0x20000); numbers may be
// decimal or 0x-hexadecimal. "magic" overrides the settings magic (for
// building deliberately broken test builds).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brisk {

struct BuildManifest {
  std::u16string appName;
  std::u16string appInfo;
  std::uint32_t appVersion = 0;
  std::uint32_t flags = 0;
  std::u16string password;
  std::uint32_t workbookFormat = 0;
  std::optional<std::uint32_t> magic;
  std::filesystem::path workbook;
  std::filesystem::path auxWorkbook;
  std::filesystem::path addin32;
  std::filesystem::path addin64;
  std::filesystem::path licence;
  std::filesystem::path splash;
  std::filesystem::path language;
  std::filesystem::path launcher;
};

struct ManifestResult {
  std::optional<BuildManifest> manifest;
  std::string error;  // one line, set when manifest is empty
};

ManifestResult ParseManifest(std::string_view text, const std::filesystem::path& baseFolder);

}  // namespace brisk

// The builder's manifest reader: a maker's input, which must be refused with
// a one-line reason or read whole, never crash the build.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const brisk::ManifestResult result = brisk::ParseManifest(text, "base", "app.manifest");
  const brisk::Diagnostic& error = result.error;
  if (!result.manifest) {
    if (error.message.empty() || error.message.find('\n') != std::string::npos) std::abort();
    if (error.file != "app.manifest" || error.severity != brisk::Severity::kError) std::abort();
    // The line named is one of the manifest's.
    if (error.line > static_cast<std::size_t>(
                         std::count_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; })) +
                         1) {
      std::abort();
    }
    return 0;
  }
  if (!error.message.empty()) std::abort();
  const brisk::BuildManifest& manifest = *result.manifest;
  for (const brisk::Diagnostic& warning : manifest.warnings) {
    if (warning.severity != brisk::Severity::kWarning || warning.message.find('\n') != std::string::npos) std::abort();
  }
  if (manifest.workbook.empty() || manifest.auxWorkbook.empty() || manifest.addin32.empty()) std::abort();
  // The version word keeps its lowest byte clear.
  if ((manifest.appVersion & 0xFF) != 0) std::abort();
  // Comments and blank lines change nothing; a byte-order mark stays first.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  const std::string_view body = text.starts_with(kBom) ? text.substr(kBom.size()) : text;
  const std::string commented = std::string(kBom) + "# comment\n\n" + std::string(body) + "\n# end\n";
  const brisk::ManifestResult again = brisk::ParseManifest(commented, "base");
  if (!again.manifest || again.manifest->appName != manifest.appName || again.manifest->flags != manifest.flags ||
      again.manifest->password != manifest.password || again.manifest->workbook != manifest.workbook) {
    std::abort();
  }
  return 0;
}

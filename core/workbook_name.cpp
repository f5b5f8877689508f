#include "core/workbook_name.h"

#include "base/ascii_case.h"
#include "payload/build_settings.h"

namespace brisk {

namespace {

std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace

const std::u16string& WorkbookExtension(std::uint32_t workbookFormat, const WorkbookNameTexts& texts) {
  if (workbookFormat == '4') return texts.extensionFormat4;
  if (workbookFormat == '2') return texts.extensionFormat2;
  return texts.extensionDefault;
}

std::optional<std::u16string> MainWorkbookPath(std::u16string_view folder, std::u16string_view exePath,
                                               std::uint32_t workbookFormat, const WorkbookNameTexts& texts,
                                               const PathCheck& exists) {
  const std::u16string fileName = FileNameOfPath(exePath);
  const std::u16string candidate = JoinPath(folder, fileName);
  std::u16string lower = fileName;
  for (char16_t& c : lower) c = LowerAscii(c);
  const std::size_t suffix = texts.exeSuffix.empty() ? std::u16string::npos : lower.rfind(texts.exeSuffix);
  if (suffix == std::u16string::npos) return candidate;

  const std::u16string stem = candidate.substr(0, candidate.size() - fileName.size() + suffix);
  const std::u16string& extension = WorkbookExtension(workbookFormat, texts);
  std::u16string path = stem + extension;
  for (int n = 1; exists(path) || exists(path + texts.extensionDefault); ++n) {
    if (n > kMaxWorkbookNumber) return std::nullopt;
    path = stem + u"(" + Widen(std::to_string(n)) + u")" + extension;
  }
  return path;
}

std::optional<std::u16string> AuxWorkbookPath(std::u16string_view folder, const NameSource& drawName,
                                              const PathCheck& isFile, std::u16string_view extension, int attempts) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    const std::u16string candidate = JoinPath(folder, Widen(drawName()));
    if (!isFile(candidate)) return candidate + std::u16string(extension);
  }
  return std::nullopt;
}

bool HasWorkbookMarker(const PayloadBuffer& buffer) {
  if (buffer.size() < 4) return false;
  const std::uint32_t value = static_cast<std::uint32_t>(buffer[0]) | static_cast<std::uint32_t>(buffer[1]) << 8 |
                              static_cast<std::uint32_t>(buffer[2]) << 16 | static_cast<std::uint32_t>(buffer[3]) << 24;
  return value == kWorkbookMarker;
}

std::span<const std::uint8_t> WorkbookFileContent(const PayloadBuffer& buffer) {
  if (!HasWorkbookMarker(buffer)) return {};
  return std::span<const std::uint8_t>(buffer).subspan(4);
}

std::string CommandLineFileContent(std::string_view commandLineUtf8, std::string_view workbookPathUtf8) {
  std::string content(commandLineUtf8);
  content.push_back('\n');
  content += workbookPathUtf8;
  return content;
}

}  // namespace brisk

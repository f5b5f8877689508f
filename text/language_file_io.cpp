#include "text/language_file_io.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "text/language_file.h"

namespace brisk {

namespace {

// Fourteen texts of at most kMaxResourceTextLength bytes fit well inside.
constexpr std::uintmax_t kMaxLanguageFileBytes = 4 * 1024 * 1024;

}  // namespace

std::string LoadLanguageFile(MessageTable& table, const std::filesystem::path& path,
                             std::vector<std::string>* warnings) {
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) return "cannot read the file";
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return "cannot read the file";
  if (size > kMaxLanguageFileBytes) return "larger than 4 MiB: not a language file";
  std::ifstream file(path, std::ios::binary);
  if (!file) return "cannot read the file";
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return "cannot read the file";
  const LanguageTextCheck check = CheckLanguageText(bytes);
  if (!check.error.empty()) return check.error;
  table.LoadFromLanguageText(check.text);
  if (warnings) *warnings = check.warnings;
  return {};
}

}  // namespace brisk

#include "text/language_file_io.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>

namespace brisk {

namespace {

// Fourteen texts of at most kMaxResourceTextLength bytes fit well inside.
constexpr std::uintmax_t kMaxLanguageFileBytes = 4 * 1024 * 1024;

LanguageNote Unreadable(const std::string& why) { return {0, "cannot read the file: " + why}; }

}  // namespace

std::optional<LanguageNote> LoadLanguageFile(MessageTable& table, const std::filesystem::path& path,
                                             std::vector<LanguageNote>* warnings) {
  if (path.empty()) return Unreadable("no file is named");
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) return Unreadable("no such file");
  if (error) return Unreadable(error.message());
  if (std::filesystem::is_directory(status)) return Unreadable("it is a folder");
  if (!std::filesystem::is_regular_file(status)) return Unreadable("not a regular file");
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return Unreadable(error.message());
  if (size > kMaxLanguageFileBytes) return LanguageNote{0, "larger than 4 MiB: not a language file"};
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) return Unreadable(errno ? std::strerror(errno) : "it cannot be opened");
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return Unreadable(errno ? std::strerror(errno) : "reading it failed");
  LanguageTextCheck check = CheckLanguageText(bytes);
  if (check.error) return check.error;
  table.LoadFromLanguageText(check.text);
  if (warnings) *warnings = std::move(check.warnings);
  return std::nullopt;
}

}  // namespace brisk

#include "text/language_file_io.h"

#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace brisk {

void LoadLanguageFile(MessageTable& table, const std::filesystem::path& path) {
  std::error_code error;
  if (path.empty() || !std::filesystem::exists(path, error) || std::filesystem::is_directory(path, error)) return;
  std::ifstream file(path, std::ios::binary);
  if (!file) return;
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return;
  table.LoadFromLanguageText(bytes);
}

}  // namespace brisk

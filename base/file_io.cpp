#include "base/file_io.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>

#include "base/utf.h"
#endif

namespace brisk {

UniqueFile OpenFile(std::u16string_view path, const char* mode) {
  if (path.empty()) return nullptr;
#ifdef _WIN32
  const std::wstring widePath(path.begin(), path.end());
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  // The C runtime opens a folder for reading without complaint.
  const DWORD attributes = GetFileAttributesW(widePath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
  return UniqueFile(_wfopen(widePath.c_str(), wideMode.c_str()));
#else
  const std::string narrowPath = Utf16ToUtf8Lossy(path);
  struct stat status {};
  if (::stat(narrowPath.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return nullptr;
  return UniqueFile(std::fopen(narrowPath.c_str(), mode));
#endif
}

std::optional<std::uint64_t> FileSize(std::FILE* file) {
  if (file == nullptr) return std::nullopt;
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return std::nullopt;
  const long long size = _ftelli64(file);
  if (size < 0 || _fseeki64(file, 0, SEEK_SET) != 0) return std::nullopt;
#else
  if (fseeko(file, 0, SEEK_END) != 0) return std::nullopt;
  const off_t size = ftello(file);
  if (size < 0 || fseeko(file, 0, SEEK_SET) != 0) return std::nullopt;
#endif
  return static_cast<std::uint64_t>(size);
}

}  // namespace brisk

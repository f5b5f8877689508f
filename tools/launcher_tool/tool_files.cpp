#include "tool_files.h"

#include <fstream>
#include <iterator>

#include "build_files.h"

namespace brisk::tool {

std::filesystem::path PathArgument(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool ReadWholeFile(const std::string& utf8Name, PayloadBuffer& bytes) {
  const std::filesystem::path path = PathArgument(utf8Name);
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

bool WriteWholeFile(const std::string& utf8Name, const PayloadBuffer& bytes) {
  std::ofstream file(PathArgument(utf8Name), std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return static_cast<bool>(file);
}

std::string ReadLimited(const std::string& utf8Name, std::uint64_t maxBytes, PayloadBuffer& bytes) {
  return brisk::ReadWholeFile(PathArgument(utf8Name), maxBytes, bytes);
}

}  // namespace brisk::tool

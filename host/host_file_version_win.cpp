#include <vector>

#include "host/host_application.h"

namespace brisk {

HostFileVersion GetHostFileVersion(const std::wstring& path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return {};
  std::vector<BYTE> information(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, information.data())) return {};
  void* block = nullptr;
  UINT blockLength = 0;
  if (!VerQueryValueW(information.data(), L"\\", &block, &blockLength) || block == nullptr ||
      blockLength < sizeof(VS_FIXEDFILEINFO)) {
    return {};
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
  return HostFileVersionFromWords(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
}

}  // namespace brisk

#include "resource_writer_win.h"

#include <windows.h>

#include <string>

#include "payload/encoded_strings.h"

namespace brisk {

namespace {

constexpr WORD kResourceLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

}  // namespace

bool WritePayloadResources(const std::wstring& exePath, const std::vector<PayloadResource>& resources) {
  const std::u16string type16 = GetEncodedStringW(kPayloadResourceType);
  const std::wstring type(type16.begin(), type16.end());
  HANDLE update = BeginUpdateResourceW(exePath.c_str(), FALSE);
  if (!update) return false;
  for (const PayloadResource& resource : resources) {
    void* data = resource.bytes.empty() ? nullptr : const_cast<std::uint8_t*>(resource.bytes.data());
    if (!UpdateResourceW(update, type.c_str(), MAKEINTRESOURCEW(resource.id), kResourceLanguage, data,
                         static_cast<DWORD>(resource.bytes.size()))) {
      EndUpdateResourceW(update, TRUE);
      return false;
    }
  }
  return EndUpdateResourceW(update, FALSE) != FALSE;
}

}  // namespace brisk

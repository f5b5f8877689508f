#include "resource_writer_win.h"

#include <windows.h>

#include <string>
#include <utility>

#include "payload/encoded_strings.h"

namespace brisk {

namespace {

constexpr WORD kResourceLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// An open resource update of one file: discarded unless it is committed.
class ResourceUpdate {
 public:
  explicit ResourceUpdate(const std::wstring& exePath) : handle_(BeginUpdateResourceW(exePath.c_str(), FALSE)) {}
  ~ResourceUpdate() {
    if (handle_) EndUpdateResourceW(handle_, TRUE);
  }
  ResourceUpdate(const ResourceUpdate&) = delete;
  ResourceUpdate& operator=(const ResourceUpdate&) = delete;

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  bool Commit() { return EndUpdateResourceW(std::exchange(handle_, nullptr), FALSE) != FALSE; }

 private:
  HANDLE handle_;
};

}  // namespace

bool WritePayloadResources(const std::wstring& exePath, const std::vector<PayloadResource>& resources) {
  const std::wstring type = GetEncodedStringWide(kPayloadResourceType);
  ResourceUpdate update(exePath);
  if (!update) return false;
  for (const PayloadResource& resource : resources) {
    void* data = resource.bytes.empty() ? nullptr : const_cast<std::uint8_t*>(resource.bytes.data());
    if (!UpdateResourceW(update.get(), type.c_str(), MAKEINTRESOURCEW(resource.id), kResourceLanguage, data,
                         static_cast<DWORD>(resource.bytes.size()))) {
      return false;
    }
  }
  return update.Commit();
}

}  // namespace brisk

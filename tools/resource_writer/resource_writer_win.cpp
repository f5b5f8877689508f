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
  ResourceUpdate(const std::wstring& exePath, bool replaceAll)
      : handle_(BeginUpdateResourceW(exePath.c_str(), replaceAll ? TRUE : FALSE)) {}
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

const wchar_t* AsResourceName(const ResourceRef& ref) {
  return ref.text.empty() ? MAKEINTRESOURCEW(ref.id) : ref.text.c_str();
}

}  // namespace

bool WritePayloadResources(const std::wstring& exePath, const std::vector<PayloadResource>& resources) {
  const ResourceRef type{0, GetEncodedStringWide(kPayloadResourceType)};
  std::vector<ResourceChange> changes;
  for (const PayloadResource& resource : resources) {
    changes.push_back({type, {static_cast<std::uint16_t>(resource.id), {}}, kResourceLanguage, resource.bytes});
  }
  return UpdateResources(exePath, changes) == ERROR_SUCCESS;
}

unsigned long UpdateResources(const std::wstring& exePath, const std::vector<ResourceChange>& changes,
                              bool replaceAll) {
  ResourceUpdate update(exePath, replaceAll);
  if (!update) return GetLastError();
  for (const ResourceChange& change : changes) {
    void* data = change.bytes.empty() ? nullptr : const_cast<std::uint8_t*>(change.bytes.data());
    if (!UpdateResourceW(update.get(), AsResourceName(change.type), AsResourceName(change.name), change.language, data,
                         static_cast<DWORD>(change.bytes.size()))) {
      return GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_INVALID_DATA;
    }
  }
  if (!update.Commit()) return GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
  return ERROR_SUCCESS;
}

}  // namespace brisk

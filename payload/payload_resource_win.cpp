#include "payload/payload_resource.h"

#include <windows.h>

#include <new>
#include <string>

#include "payload/container.h"
#include "payload/encoded_strings.h"

namespace brisk {

bool LoadPayloadResource(int id, PayloadBuffer& out) {
  out.clear();
  const std::wstring name = L"#" + std::to_wstring(id);
  const std::u16string type16 = GetEncodedStringW(kPayloadResourceType);
  const std::wstring type(type16.begin(), type16.end());

  HRSRC resource = FindResourceW(nullptr, name.c_str(), type.c_str());
  if (resource == nullptr) return false;
  HGLOBAL loaded = LoadResource(nullptr, resource);
  if (loaded == nullptr) return false;
  const void* bytes = LockResource(loaded);
  if (bytes == nullptr) return false;
  const DWORD size = SizeofResource(nullptr, resource);
  if (size == 0) return false;

  // The copy keeps nothing pointing into the module's resource memory.
  try {
    out.reserve(static_cast<std::size_t>(size) + 1);
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    out.assign(first, first + size);
  } catch (const std::bad_alloc&) {
    out.clear();
    return false;
  }
  return true;
}

bool LoadAndUnpackPayload(int id, PayloadBuffer& out) {
  if (!LoadPayloadResource(id, out)) return false;
  return UnpackInPlace(out);
}

}  // namespace brisk

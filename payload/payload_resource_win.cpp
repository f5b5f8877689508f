#include "payload/payload_resource.h"

#include <windows.h>

#include <new>
#include <span>
#include <string>

#include "base/wide_text.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"

namespace brisk {

namespace {

// The bytes of resource "#<id>" of the payload type in the module's resource
// memory; empty when the resource is missing, cannot be loaded or is empty.
std::span<const std::uint8_t> FindPayloadBytes(int id) {
  // std::to_wstring would link the printf family into the launcher.
  const std::wstring name = L"#" + ToWide(WidenBytes(std::to_string(id)));
  const std::wstring type = GetEncodedStringWide(kPayloadResourceType);

  HRSRC resource = FindResourceW(nullptr, name.c_str(), type.c_str());
  if (resource == nullptr) return {};
  HGLOBAL loaded = LoadResource(nullptr, resource);
  if (loaded == nullptr) return {};
  const void* bytes = LockResource(loaded);
  if (bytes == nullptr) return {};
  const DWORD size = SizeofResource(nullptr, resource);
  return {static_cast<const std::uint8_t*>(bytes), size};
}

// The copy keeps nothing pointing into the module's resource memory.
bool CopyBytes(std::span<const std::uint8_t> bytes, PayloadBuffer& out) {
  try {
    out.reserve(bytes.size() + 1);
    out.assign(bytes.begin(), bytes.end());
  } catch (const std::bad_alloc&) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace

bool LoadPayloadResource(int id, PayloadBuffer& out) {
  out.clear();
  const auto bytes = FindPayloadBytes(id);
  return !bytes.empty() && CopyBytes(bytes, out);
}

PayloadState LoadPayload(int id, PayloadBuffer& out, std::size_t maxBytes) {
  return UnpackPayload(FindPayloadBytes(id), out, maxBytes);
}

bool LoadAndUnpackPayload(int id, PayloadBuffer& out) {
  out.clear();
  const auto bytes = FindPayloadBytes(id);
  if (bytes.empty()) return false;
  // A container is unpacked straight from the resource memory, so that a
  // large payload (the main workbook) is never held twice, once packed and
  // once unpacked. Only data that does not unpack is copied, as it is.
  if (UnpackContainer(bytes.data(), bytes.size(), out)) return !out.empty();
  return CopyBytes(bytes, out);
}

}  // namespace brisk

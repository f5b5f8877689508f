// A library that the stand-in host's auxiliary-workbook handler loads as the
// add-in: it records how its entry was called into "first_contact.txt" in
// its own folder, including the version text read through the application
// object it was given.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/aux_workbook.h"

namespace {

std::wstring OwnFolder() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnFolder), &self);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring VersionThrough(void* application) {
  if (application == nullptr) return L"(none)";
  auto* dispatch = static_cast<IDispatch*>(application);
  DISPPARAMS none{};
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = dispatch->Invoke(392, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
  std::wstring version = SUCCEEDED(hr) && result.vt == VT_BSTR ? result.bstrVal : L"(failed)";
  VariantClear(&result);
  return version;
}

}  // namespace

extern "C" __declspec(dllexport) std::int32_t BRISK_ADDIN_CALL
    DummyFunc9(std::int32_t code, void* application, std::intptr_t reserved) {
  const std::wstring version = VersionThrough(application);
  const std::wstring file = OwnFolder() + L"\\first_contact.txt";
  FILE* out = _wfopen(file.c_str(), L"wb");
  if (out == nullptr) return 0;
  std::fprintf(out, "code=%ld\nreserved=%lld\nversion=%ls\n", static_cast<long>(code), static_cast<long long>(reserved),
               version.c_str());
  std::fclose(out);
  return 1;
}

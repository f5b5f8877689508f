#include "standin_registration.h"

#include <objbase.h>

#include "payload/encoded_strings.h"

namespace brisk::standin {

// {0510058B-0FB8-43EF-B72F-FDBA84552B06}
const CLSID kStandinHostClassId = {0x0510058B, 0x0FB8, 0x43EF, {0xB7, 0x2F, 0xFD, 0xBA, 0x84, 0x55, 0x2B, 0x06}};

namespace {

constexpr wchar_t kDescription[] = L"Brisk stand-in host";

REGSAM ViewFlag(RegistryView view) {
  switch (view) {
    case RegistryView::k32Bit:
      return KEY_WOW64_32KEY;
    case RegistryView::k64Bit:
      return KEY_WOW64_64KEY;
    case RegistryView::kNative:
      break;
  }
  return 0;
}

std::wstring ProgId() {
  const std::u16string text = GetEncodedStringW(kHostProgId);
  return std::wstring(text.begin(), text.end());
}

std::wstring ClassIdText() {
  wchar_t text[40] = {};
  StringFromGUID2(kStandinHostClassId, text, 40);
  return text;
}

LSTATUS SetDefaultValue(RegistryView view, const std::wstring& keyPath, const std::wstring& value) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE | ViewFlag(view),
                                   nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status;
}

LSTATUS DeleteTree(RegistryView view, const std::wstring& keyPath) {
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_ALL_ACCESS | ViewFlag(view), &key);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  status = RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return status;
  status = RegDeleteKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), ViewFlag(view), 0);
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

}  // namespace

std::wstring StandinServerCommand(const std::wstring& exePath, const std::wstring& configPath) {
  std::wstring command = L"\"" + exePath + L"\"";
  if (!configPath.empty()) command += L" -config \"" + configPath + L"\"";
  return command;
}

LSTATUS RegisterStandinHost(const std::wstring& exePath, const std::wstring& configPath, RegistryView view) {
  const std::wstring progId = ProgId();
  const std::wstring classKey = L"CLSID\\" + ClassIdText();
  const std::pair<std::wstring, std::wstring> values[] = {
      {progId, kDescription},
      {progId + L"\\CLSID", ClassIdText()},
      {classKey, kDescription},
      {classKey + L"\\ProgID", progId},
      {classKey + L"\\LocalServer32", StandinServerCommand(exePath, configPath)},
  };
  for (const auto& [keyPath, value] : values) {
    const LSTATUS status = SetDefaultValue(view, keyPath, value);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

LSTATUS UnregisterStandinHost(RegistryView view) {
  const LSTATUS status = DeleteTree(view, L"CLSID\\" + ClassIdText());
  if (status != ERROR_SUCCESS) return status;
  return DeleteTree(view, ProgId());
}

}  // namespace brisk::standin

#include "first_contact_win.h"

#include <cstdint>
#include <string_view>

#include "host/aux_workbook.h"
#include "standin_state_win.h"

namespace brisk::standin {

namespace {

std::string AnsiFromWide(const std::wstring& text) {
  const int length =
      WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string ansi(length > 0 ? length : 0, '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), length, nullptr, nullptr);
  }
  return ansi;
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

}  // namespace

WorkbookKind ReadWorkbookKind(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WorkbookKind::kMissing;
  std::uint8_t head[64] = {};
  DWORD read = 0;
  const BOOL ok = ReadFile(file, head, sizeof head, &read, nullptr);
  CloseHandle(file);
  return ok && IsAuxWorkbook(head, read) ? WorkbookKind::kAuxiliary : WorkbookKind::kOrdinary;
}

void RunAuxWorkbookOpenHandler(const std::wstring& workbookPath, IDispatch* application) {
  std::wstring addinPath = FolderOf(workbookPath);
  if (!addinPath.empty()) addinPath += L'\\';
  addinPath.append(kAuxAddinFileName.begin(), kAuxAddinFileName.end());

  json::Json record = NewRecord("event");
  record["event"] = "first_contact";
  record["addin"] = LogText(addinPath);
  const HMODULE addin = LoadLibraryA(AnsiFromWide(addinPath).c_str());
  record["loaded"] = addin != nullptr;
  AddinEntry entry = nullptr;
  if (addin != nullptr) {
    entry = reinterpret_cast<AddinEntry>(
        reinterpret_cast<void*>(GetProcAddress(addin, std::string(kAddinEntryName).c_str())));
  }
  record["entry"] = entry != nullptr;
  if (entry != nullptr) record["returned"] = entry(kFirstContactCode, application, 0);
  Log(record);
}

}  // namespace brisk::standin

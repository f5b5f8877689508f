#include "standin_state_win.h"

namespace brisk::standin {

StandinState gStandin;

void CallLog::Write(const std::string& line) const {
  if (path_.empty()) return;
  HANDLE file = CreateFileW(path_.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string withEnd = line + "\n";
  DWORD written = 0;
  WriteFile(file, withEnd.data(), static_cast<DWORD>(withEnd.size()), &written, nullptr);
  CloseHandle(file);
}

JsonObject NewRecord(std::string_view kind) {
  JsonObject record;
  record.Number("seq", gStandin.nextSequence++).TextUtf8("type", kind);
  return record;
}

void Log(const JsonObject& record) { gStandin.log.Write(record.str()); }

std::u16string ToU16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

std::wstring ToWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace brisk::standin

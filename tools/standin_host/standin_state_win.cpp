#include "standin_state_win.h"

#include "base/wide_text.h"

namespace brisk::standin {

StandinState gStandin;

void CallLog::Write(const std::string& line) const {
  if (path_.empty()) return;
  HANDLE file = CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string withEnd = line + "\n";
  DWORD written = 0;
  WriteFile(file, withEnd.data(), static_cast<DWORD>(withEnd.size()), &written, nullptr);
  CloseHandle(file);
}

json::Json NewRecord(std::string_view kind) { return {{"seq", gStandin.nextSequence++}, {"type", kind}}; }

void Log(const json::Json& record) { gStandin.log.Write(json::OneLine(record)); }

std::string LogText(std::wstring_view text) { return Utf16ToUtf8Lossy(ToU16(text), U'\uFFFD'); }

std::wstring ToWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace brisk::standin

#include "process_driver.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

namespace brisk::test {

std::wstring WinePath(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
  return path;
}

TempFolder::TempFolder() {
  wchar_t root[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, root);
  for (int attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[64];
    std::swprintf(name, 64, L"brisk-test-%lu-%d", GetCurrentProcessId(), std::rand());
    std::wstring candidate = std::wstring(root) + name;
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  std::wstring from = path_;
  from.push_back(L'\0');  // the list of paths ends with two zeros
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationW(&operation);
}

ChildProcess::ChildProcess(const std::wstring& exe, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &info)) {
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
  }
}

ChildProcess::~ChildProcess() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

std::optional<DWORD> ChildProcess::WaitForExit(DWORD milliseconds) {
  if (!process_ || WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

namespace {

struct WindowSearch {
  DWORD processId;
  bool dialogsOnly;
  HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (search->dialogsOnly) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (std::wstring(className) != L"#32770") return TRUE;
  }
  search->found = window;
  return FALSE;
}

HWND FindWindowOfProcess(DWORD processId, bool dialogsOnly) {
  WindowSearch search{processId, dialogsOnly, nullptr};
  EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

bool ChildProcess::HasVisibleWindow() const {
  return FindWindowOfProcess(id_, false) != nullptr;
}

HWND WaitForDialog(DWORD processId, DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  do {
    if (HWND dialog = FindWindowOfProcess(processId, true)) return dialog;
    Sleep(50);
  } while (GetTickCount64() < deadline);
  return nullptr;
}

std::wstring WindowText(HWND window) {
  wchar_t text[2048] = {};
  SendMessageW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
  return text;
}

std::wstring DialogItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? WindowText(item) : std::wstring();
}

void ClickButton(HWND dialog, int id) {
  if (HWND button = GetDlgItem(dialog, id)) PostMessageW(button, BM_CLICK, 0, 0);
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, file) == 1;
  return std::fclose(file) == 0 && written;
}

std::wstring MakeLauncherCopy(const TempFolder& folder, const std::wstring& name) {
  const std::wstring copy = folder / name;
  CopyFileW(WinePath(BRISK_LAUNCHER_EXE).c_str(), copy.c_str(), FALSE);
  return copy;
}

}  // namespace brisk::test

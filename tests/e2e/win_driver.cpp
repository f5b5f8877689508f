#include "win_driver.h"

#include <tlhelp32.h>
#include <utf8.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace brisk::e2e {

std::wstring WinePath(std::string_view unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return path;
}

std::wstring Wide(std::string_view utf8) {
  std::u16string units;
  utf8::utf8to16(utf8.begin(), utf8.end(), std::back_inserter(units));
  return std::wstring(units.begin(), units.end());
}

std::string Utf8(std::wstring_view wide) {
  const std::u16string units(wide.begin(), wide.end());
  std::string out;
  utf8::utf16to8(units.begin(), units.end(), std::back_inserter(out));
  return out;
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return towlower(x) == towlower(y); });
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> ListTree(const std::wstring& folder) {
  std::vector<std::wstring> entries;
  std::error_code error;
  const std::filesystem::path root(folder);
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    std::wstring relative = it->path().lexically_relative(root).wstring();
    std::replace(relative.begin(), relative.end(), L'/', L'\\');
    if (it->is_directory(error)) relative += L'\\';
    entries.push_back(std::move(relative));
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

void RemoveTree(const std::wstring& folder) {
  std::error_code error;
  std::filesystem::remove_all(std::filesystem::path(folder), error);
}

namespace {

struct WindowSearch {
  DWORD processId;
  std::vector<WindowInfo>* windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId) {
    search->windows->push_back({window, ClassName(window), WindowText(window), IsWindowVisible(window) != FALSE});
  }
  return TRUE;
}

struct ChildSearch {
  std::wstring_view className;
  HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<ChildSearch*>(param);
  if (_wcsicmp(ClassName(child).c_str(), std::wstring(search->className).c_str()) != 0) return TRUE;
  search->found = child;
  return FALSE;
}

}  // namespace

std::vector<WindowInfo> TopLevelWindows(DWORD processId) {
  std::vector<WindowInfo> windows;
  WindowSearch search{processId, &windows};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return windows;
}

std::wstring WindowText(HWND window) {
  wchar_t text[4096] = {};
  DWORD_PTR copied = 0;
  // Bounded: a window of a hung process must not hold the test.
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                           &copied)) {
    return {};
  }
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? WindowText(item) : std::wstring();
}

void PressButton(HWND dialog, int id) {
  if (HWND button = GetDlgItem(dialog, id)) PostMessageW(button, BM_CLICK, 0, 0);
}

void TypeInto(HWND field, std::wstring_view text) {
  for (wchar_t unit : text) PostMessageW(field, WM_CHAR, unit, 1);
}

void ClickWindow(HWND window) {
  const LPARAM point = MAKELPARAM(10, 10);
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageW(window, WM_LBUTTONUP, 0, point);
}

void PressKey(HWND window, WORD virtualKey) {
  PostMessageW(window, WM_KEYDOWN, virtualKey, 1);
  PostMessageW(window, WM_KEYUP, virtualKey, 0xC0000001);
}

bool SignalNamedEvent(const std::wstring& name) {
  UniqueHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str()));
  return event && SetEvent(event.get());
}

HWND FindChild(HWND parent, std::wstring_view className) {
  ChildSearch search{className, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<ProcessInfo> RunningProcesses() {
  std::vector<ProcessInfo> processes;
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) {
    snapshot.release();
    return processes;
  }
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    std::wstring name = entry.szExeFile;
    const std::size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    processes.push_back({entry.th32ProcessID, name});
  }
  return processes;
}

bool WaitForProcessExit(DWORD processId, DWORD milliseconds) {
  UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  if (!process) return true;
  return WaitForSingleObject(process.get(), milliseconds) == WAIT_OBJECT_0;
}

bool EndProcessById(DWORD processId) {
  UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
  if (!process) return true;
  if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return true;
  TerminateProcess(process.get(), 99);
  return WaitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0;
}

namespace {

// The test's environment block with some variables replaced, as CreateProcessW
// takes it: "name=value" strings, each ending in a zero, then one more zero.
std::wstring EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& replaced) {
  std::wstring block;
  if (wchar_t* current = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = current; *entry; entry += wcslen(entry) + 1) {
      const std::wstring_view text(entry);
      const std::size_t equals = text.find(L'=', 1);
      const std::wstring_view name = text.substr(0, equals);
      const bool dropped = std::any_of(replaced.begin(), replaced.end(),
                                       [&](const auto& variable) { return EqualNoCase(variable.first, name); });
      if (!dropped) block.append(text).push_back(L'\0');
    }
    FreeEnvironmentStringsW(current);
  }
  for (const auto& [name, value] : replaced) block.append(name + L"=" + value).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

}  // namespace

Process::Process(const std::wstring& exe, const std::wstring& arguments,
                 const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                 const std::wstring& outputFile) {
  commandLine_ = L"\"" + exe + L"\"";
  if (!arguments.empty()) commandLine_ += L" " + arguments;
  std::wstring commandLine = commandLine_;

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  UniqueHandle output;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    output.reset(CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (output.get() == INVALID_HANDLE_VALUE) output.release();
    if (output) {
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdOutput = output.get();
      startup.hStdError = output.get();
    }
  }
  std::wstring block;
  if (!environment.empty()) block = EnvironmentBlock(environment);
  PROCESS_INFORMATION info = {};
  if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, output ? TRUE : FALSE,
                     environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                     environment.empty() ? nullptr : block.data(), nullptr, &startup, &info)) {
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    id_ = info.dwProcessId;
  }
}

Process::~Process() { End(); }

std::optional<DWORD> Process::WaitForExit(DWORD milliseconds) {
  if (!process_ || WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

bool Process::Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool Process::End() {
  if (!Running()) return false;
  TerminateProcess(process_.get(), 99);
  WaitForSingleObject(process_.get(), 5000);
  return true;
}

}  // namespace brisk::e2e

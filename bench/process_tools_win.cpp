#include "bench/process_tools_win.h"

#include <tlhelp32.h>

#include <cwctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/unique_handle.h"

namespace brisk::bench {

namespace {

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::wstring VariableName(const std::wstring& entry) { return Lower(entry.substr(0, entry.find(L'='))); }

BOOL CALLBACK CloseWindowOfProcess(HWND window, LPARAM processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(processId)) PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

Process::~Process() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
}

bool Process::Start(const std::wstring& exe, const std::wstring& commandLine, bool suspended,
                    const std::wstring& environment) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring line = commandLine;
  const DWORD flags = CREATE_UNICODE_ENVIRONMENT | (suspended ? CREATE_SUSPENDED : 0);
  void* block = environment.empty() ? nullptr : const_cast<wchar_t*>(environment.c_str());
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, flags, block, nullptr, &startup, &info)) {
    return false;
  }
  process_ = UniqueProcess(info);
  return true;
}

void Process::Resume() { ResumeThread(process_.thread()); }

std::optional<DWORD> Process::Wait(DWORD milliseconds) {
  if (WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

std::wstring EnvironmentWithTemp(const std::wstring& tempFolder, const std::vector<std::wstring>& variables) {
  std::vector<std::wstring> set = {L"TMP=" + tempFolder, L"TEMP=" + tempFolder};
  set.insert(set.end(), variables.begin(), variables.end());
  std::set<std::wstring> names;
  for (const std::wstring& entry : set) names.insert(VariableName(entry));
  std::wstring block;
  if (wchar_t* strings = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
      if (!names.count(VariableName(entry))) block.append(entry).push_back(L'\0');
    }
    FreeEnvironmentStringsW(strings);
  }
  for (const std::wstring& entry : set) block.append(entry).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

std::set<DWORD> ProcessesNamed(const std::wstring& exeName) {
  std::set<DWORD> ids;
  const UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (Lower(FileNameOf(entry.szExeFile)) == Lower(exeName)) ids.insert(entry.th32ProcessID);
  }
  return ids;
}

void EndProcesses(const std::set<DWORD>& ids, DWORD gracefulMilliseconds) {
  for (DWORD id : ids) {
    const UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
    if (!process) continue;
    EnumWindows(CloseWindowOfProcess, static_cast<LPARAM>(id));
    if (WaitForSingleObject(process.get(), gracefulMilliseconds) != WAIT_OBJECT_0) {
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), 5000);
    }
  }
}

bool WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return static_cast<bool>(file);
}

void RemoveTree(const std::wstring& folder) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(folder), error);
    if (!std::filesystem::exists(std::filesystem::path(folder), error)) return;
    Sleep(100);
  }
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FileNameOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace brisk::bench

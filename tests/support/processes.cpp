#include "tests/support/processes.h"

#include <tlhelp32.h>

#include <algorithm>

#include "base/unique_handle.h"
#include "tests/support/files.h"

namespace brisk::test {

namespace {

// How long an ended process may take to go.
constexpr DWORD kEndWaitMs = 5000;
constexpr UINT kEndedExitCode = 99;
constexpr int kStartAttempts = 3;
constexpr DWORD kStartRetryPauseMs = 200;

// The test's environment block with some variables replaced, as CreateProcessW
// takes it: "name=value" strings, each ending in a zero, then one more zero.
std::wstring EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& replaced) {
  std::wstring block;
  if (wchar_t* current = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = current; *entry; entry += wcslen(entry) + 1) {
      const std::wstring_view text(entry);
      const std::wstring_view name = text.substr(0, text.find(L'=', 1));
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

ChildProcess::ChildProcess(const std::wstring& exe, const std::wstring& arguments, const ChildOptions& options)
    : commandLine_(L"\"" + exe + L"\"") {
  if (!arguments.empty()) commandLine_ += L" " + arguments;
  std::wstring commandLine = commandLine_;

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  UniqueFileHandle output;
  if (!options.outputFile.empty()) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    output.reset(CreateFileW(options.outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (output) {
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdOutput = output.get();
      startup.hStdError = output.get();
    }
  }
  const bool ownEnvironment = !options.environment.empty();
  std::wstring block = ownEnvironment ? EnvironmentBlock(options.environment) : std::wstring();
  // Under Wine on a loaded machine a start can fail once for no reason of
  // the program's own (seen right after the executable was rewritten); a
  // program that is missing or no program at all fails every time.
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    if (attempt > 0) Sleep(kStartRetryPauseMs);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, output ? TRUE : FALSE,
                       ownEnvironment ? CREATE_UNICODE_ENVIRONMENT : 0, ownEnvironment ? block.data() : nullptr,
                       nullptr, &startup, &info)) {
      process_ = UniqueProcess(info);
      process_.CloseThread();
      return;
    }
    startError_ = GetLastError();
    if (startError_ == ERROR_FILE_NOT_FOUND || startError_ == ERROR_PATH_NOT_FOUND ||
        startError_ == ERROR_BAD_EXE_FORMAT) {
      return;
    }
  }
}

ChildProcess::~ChildProcess() { End(); }

std::optional<DWORD> ChildProcess::WaitForExit(DWORD milliseconds) {
  if (!process_ || WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

bool ChildProcess::Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

// By its id: the handle held here keeps the id from passing to another
// process meanwhile.
bool ChildProcess::End() {
  if (!Running()) return false;
  EndProcessById(id());
  return true;
}

std::vector<ProcessInfo> RunningProcesses() {
  std::vector<ProcessInfo> processes;
  const UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return processes;
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
  const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  if (!process) return true;
  return WaitForSingleObject(process.get(), milliseconds) == WAIT_OBJECT_0;
}

bool EndProcessById(DWORD processId, DWORD graceMilliseconds) {
  const UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
  if (!process) return true;
  if (WaitForSingleObject(process.get(), graceMilliseconds) == WAIT_OBJECT_0) return true;
  TerminateProcess(process.get(), kEndedExitCode);
  return WaitForSingleObject(process.get(), kEndWaitMs) == WAIT_OBJECT_0;
}

}  // namespace brisk::test

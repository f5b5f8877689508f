#include <windows.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "base/unique_handle.h"
#include "base/unique_process.h"
#include "base/wide_text.h"
#include "build_files.h"
#include "sign_command.h"

namespace brisk {

namespace {

// Exports of Wine's ntdll and kernel32; absent on Windows.
using UnixSpawn = LONG(WINAPI*)(char* const argv[], int wait);
using UnixFileName = char*(__cdecl*)(const wchar_t* dosName);

// The shell script that runs the command line: $1 the folder, $2 the
// command line, $3 the log file.
constexpr char kShellScript[] = "exec </dev/null >\"$3\" 2>&1; cd \"$1\" || exit 126; eval \"$2\"";

struct WineExports {
  UnixSpawn spawn = nullptr;
  UnixFileName unixName = nullptr;
  explicit operator bool() const { return spawn && unixName; }
};

WineExports FindWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  WineExports wine;
  if (ntdll)
    wine.spawn = reinterpret_cast<UnixSpawn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "__wine_unix_spawnvp")));
  if (kernel32) {
    wine.unixName =
        reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(GetProcAddress(kernel32, "wine_get_unix_file_name")));
  }
  return wine;
}

// Wine gives the Unix name in memory of the process heap.
struct ProcessHeapFree {
  void operator()(char* text) const { HeapFree(GetProcessHeap(), 0, text); }
};

std::optional<std::string> UnixPath(const WineExports& wine, const std::filesystem::path& path) {
  const std::unique_ptr<char, ProcessHeapFree> name(wine.unixName(path.c_str()));
  if (!name) return std::nullopt;
  return std::string(name.get());
}

ShellOutcome RunUnderWine(const WineExports& wine, const std::string& commandLine, const std::filesystem::path& folder,
                          const std::filesystem::path& log) {
  std::optional<std::string> folderName = UnixPath(wine, folder);
  std::optional<std::string> logName = UnixPath(wine, log);
  if (!folderName || !logName) return {false, 0, "no Unix path for its folder or log"};
  std::string shell = "/bin/sh";
  std::string dashC = "-c";
  std::string script = kShellScript;
  std::string name = "brisk-shell";
  std::string command = commandLine;
  char* const argv[] = {shell.data(),       dashC.data(),   script.data(),   name.data(),
                        folderName->data(), command.data(), logName->data(), nullptr};
  const LONG status = wine.spawn(argv, TRUE);
  if (status < 0) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
    return {false, 0, std::string("/bin/sh could not be started (status ") + code + ")"};
  }
  return {true, status, {}};
}

ShellOutcome RunOnWindows(const std::string& commandLine, const std::filesystem::path& folder,
                          const std::filesystem::path& log) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const UniqueFileHandle output(
      CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
  if (!output) return {false, 0, SystemMessage(GetLastError())};
  const UniqueFileHandle input(
      CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));
  if (!input) return {false, 0, SystemMessage(GetLastError())};
  std::wstring line = L"cmd.exe /d /s /c \"" + WideFromUtf8ForDisplay(commandLine) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = output.get();
  startup.hStdError = output.get();
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup,
                      &started)) {
    return {false, 0, SystemMessage(GetLastError())};
  }
  const UniqueProcess process(started);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return {true, static_cast<long>(code), {}};
}

}  // namespace

std::string QuotedForShell(const std::filesystem::path& file) {
  const WineExports wine = FindWine();
  if (!wine) return "\"" + Utf8Path(file) + "\"";
  const std::optional<std::string> unixPath = UnixPath(wine, file);
  return unixPath ? ShellQuoted(*unixPath) : std::string();
}

ShellOutcome RunShellCommand(const std::string& commandLine, const std::filesystem::path& workingFolder,
                             const std::filesystem::path& log) {
  const WineExports wine = FindWine();
  return wine ? RunUnderWine(wine, commandLine, workingFolder, log) : RunOnWindows(commandLine, workingFolder, log);
}

}  // namespace brisk

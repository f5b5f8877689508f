// The stand-in host: a local COM server for the host's ProgID, driven by a
// configuration file (see standin_config.h).
//
//   standin_host.exe /regserver [-config <file>]    register (HKCR) and exit
//   standin_host.exe /unregserver                   unregister and exit
//   standin_host.exe [-config <file>] [-Embedding]  run the server
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <utility>
#include <vector>

#include "base/thread_win.h"
#include "standin_objects_win.h"
#include "standin_registration.h"
#include "standin_state_win.h"
#include "standin_windows_win.h"
#include "variant_log_win.h"

namespace brisk::standin {

namespace {

struct Options {
  bool registerServer = false;
  bool unregisterServer = false;
  std::wstring configPath;
};

bool SwitchIs(const std::wstring& argument, const wchar_t* name) {
  return (argument[0] == L'/' || argument[0] == L'-') && _wcsicmp(argument.c_str() + 1, name) == 0;
}

Options ReadOptions() {
  Options options;
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return options;
  for (int i = 1; i < count; ++i) {
    const std::wstring argument = arguments[i];
    if (argument.empty()) continue;
    if (SwitchIs(argument, L"regserver")) {
      options.registerServer = true;
    } else if (SwitchIs(argument, L"unregserver")) {
      options.unregisterServer = true;
    } else if (SwitchIs(argument, L"config") && i + 1 < count) {
      options.configPath = arguments[++i];
    }
  }
  LocalFree(arguments);
  return options;
}

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(1024);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

bool ReadFileText(const std::wstring& path, std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char chunk[4096];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ReadFile(file, chunk, sizeof chunk, &read, nullptr)) && read > 0) {
    text.append(chunk, read);
  }
  CloseHandle(file);
  return ok;
}

void LoadConfiguration(const std::wstring& path) {
  std::vector<ConfigError> errors;
  std::string text;
  const bool read = path.empty() || ReadFileText(path, text);
  gStandin.config = ParseStandinConfig(text, errors);
  gStandin.log.SetPath(ToWide(gStandin.config.logPath));
  gStandin.int1209 = gStandin.config.int1209;

  json::Json start = NewRecord("event");
  start["event"] = "start";
  start["pid"] = GetCurrentProcessId();
  start["pointer_bits"] = sizeof(void*) * 8;
  start["command_line"] = LogText(GetCommandLineW());
  start["config"] = LogText(path);
  start["config_read"] = read;
  Log(start);
  for (const ConfigError& error : errors) {
    json::Json record = NewRecord("event");
    record["event"] = "config_error";
    record["line"] = error.line;
    record["message"] = error.message;
    Log(record);
  }
}

void LogEvent(const char* event) {
  json::Json record = NewRecord("event");
  record["event"] = event;
  Log(record);
}

// A host told to quit ends its process. Under Wine the COM shutdown of a
// local server now and then never returns on a loaded machine, after the
// client has released everything; the stand-in still ends, as the host would:
// when its process has not ended this long after its message loop, it ends
// itself and logs "exit_stalled".
constexpr DWORD kShutdownGraceMs = 4000;

void StartShutdownWatchdog() {
  json::Json record = NewRecord("event");
  record["event"] = "exit_stalled";
  StartThread([line = json::OneLine(record)] {
    Sleep(kShutdownGraceMs);
    gStandin.log.Write(line);
    TerminateProcess(GetCurrentProcess(), 0);
  });
}

int RunServer(const Options& options) {
  LoadConfiguration(options.configPath);
  if (!CreateStandinWindows()) {
    LogEvent("window_failed");
    return 2;
  }
  if (gStandin.config.registerDelayMs > 0) Sleep(gStandin.config.registerDelayMs);
  // Single use, as the real host registers: each client gets a host process
  // of its own, and two clients started at once never share one. A host the
  // user started serves no client at all.
  DWORD cookie = 0;
  HRESULT hr = S_FALSE;
  if (!gStandin.config.userInstance) {
    hr = CoRegisterClassObject(kStandinHostClassId, GetClassFactory(), CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie);
    json::Json registered = NewRecord("event");
    registered["event"] = "class_registered";
    registered["hr"] = HexCode(static_cast<std::uint32_t>(hr));
    Log(registered);
  }

  const UINT_PTR idleTimer = gStandin.config.userInstance ? 0 : SetTimer(nullptr, 0, kIdleExitMs, nullptr);
  MSG message;
  int loop;
  while ((loop = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (idleTimer != 0 && message.hwnd == nullptr && message.message == WM_TIMER && message.wParam == idleTimer) {
      KillTimer(nullptr, idleTimer);
      if (!gStandin.served) {
        LogEvent("no_client");
        PostQuitMessage(0);
      }
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  StartShutdownWatchdog();
  if (hr == S_OK) CoRevokeClassObject(cookie);

  json::Json exit = NewRecord("event");
  exit["event"] = "exit";
  exit["quit_code"] = loop == 0 ? static_cast<long long>(message.wParam) : -1;
  // WM_QUIT posted to a window (an aborted launch ends its host so), not the
  // host's own PostQuitMessage.
  exit["quit_to_window"] = loop == 0 && message.hwnd != nullptr;
  Log(exit);
  DestroyStandinWindows();
  if (gStandin.workbooksCollection != nullptr) {
    std::exchange(gStandin.workbooksCollection, nullptr)->Release();
  }
  return 0;
}

}  // namespace

}  // namespace brisk::standin

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace brisk::standin;
  const Options options = ReadOptions();
  if (options.unregisterServer) return UnregisterStandinHost() == ERROR_SUCCESS ? 0 : 1;
  if (options.registerServer) {
    return RegisterStandinHost(ModulePath(), options.configPath) == ERROR_SUCCESS ? 0 : 1;
  }
  if (FAILED(CoInitialize(nullptr))) return 3;
  const int code = RunServer(options);
  CoUninitialize();
  return code;
}

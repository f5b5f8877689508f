// The launcher's entry point: the clean-up mode, or one launch and the
// report of its outcome.
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "base/com_apartment.h"
#include "base/gdiplus_session.h"
#include "base/wide_text.h"
#include "core/command_line.h"
#include "core/launch.h"
#include "core/launch_plan.h"
#include "core/temp_cleanup_win.h"
#include "core/working_folder_win.h"
#include "payload/encoded_strings.h"
#include "text/message_table.h"

namespace brisk {

namespace {

constexpr DWORD kModulePathUnits = 512;

std::vector<std::u16string> CommandLineArguments() {
  std::vector<std::u16string> args;
  for (int i = 0; i < __argc; ++i) {
    args.push_back(__wargv[i] ? ToU16(__wargv[i]) : std::u16string());
  }
  return args;
}

// Libraries loaded at run time (the rich-edit control among them) come only
// from the system folder, never from the folder the executable was started in.
void RestrictLibrarySearchToSystemFolder() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");
}

std::wstring NoticeText(const std::string& text) {
  return WideFromUtf8ForDisplay(text.empty() ? "Unknown exception" : text);
}

// "-clnx FIRST" and "-clnd SECOND" remove those files instead of a launch.
bool RunCleanupModeIfAsked(const std::vector<std::u16string>& args) {
  const CleanupRequest request = ScanCleanupOptions(args);
  if (!request.found) return false;
  CleanupTempFiles(ToWide(request.first), ToWide(request.second));
  return true;
}

// The path as started; when it has no folder part (a start by bare name),
// the module's own path instead. The folder stays empty when neither tells.
ExecutableLocation LocateExecutable(const std::wstring& argv0) {
  ExecutableLocation location{argv0, {}};
  std::size_t slash = argv0.rfind(L'\\');
  if (slash == std::wstring::npos) {
    wchar_t modulePath[kModulePathUnits] = {};
    const DWORD length = GetModuleFileNameW(nullptr, modulePath, kModulePathUnits);
    if (length == 0 || length >= kModulePathUnits) return location;
    location.path = modulePath;
    slash = location.path.rfind(L'\\');
    if (slash == std::wstring::npos) return location;
  }
  location.folder = location.path.substr(0, slash);
  return location;
}

void LoadRichEditLibrary() {
  if (!GetModuleHandleW(L"MSFTEDIT.DLL")) LoadLibraryW(L"MSFTEDIT.DLL");
}

// A launch ended by a notice, or one that let go of the host before the
// add-in was ready, shows it in one warning box. A launch that ended quietly
// shows nothing more: its user ended it or was already told.
void ReportOutcome(const LaunchOutcome& outcome, const UserTexts& texts) {
  if (outcome.kind != LaunchOutcome::Kind::kNotice && outcome.kind != LaunchOutcome::Kind::kLetGo) return;
  const std::wstring caption = ToWide(GetMessageTextW(texts, kWarningTitle, kWarningTitleDefault));
  MessageBoxW(nullptr, NoticeText(outcome.notice).c_str(), caption.c_str(), MB_ICONWARNING);
}

// The silence limit a test launch asks for (core/launch_plan.h); 0 for none.
std::uint32_t TestHostSilenceLimitFromEnvironment() {
  wchar_t value[16] = {};
  const DWORD length = GetEnvironmentVariableW(kHostSilenceLimitVariable, value, 16);
  if (length == 0 || length >= 16) return 0;
  return ParseHostSilenceLimitSetting(std::u16string(value, value + length));
}

int RunLauncher(const std::vector<std::u16string>& args) {
  // COM is joined before anything of the launch exists, and left after the
  // launch has ended the host's thread, which holds the host's object (a
  // thread held by a host given up is let go: this thread holds nothing of
  // the host, so leaving the apartment waits for nobody).
  const ComApartment com;
  SeedRandomGenerator();
  LaunchLog log(LaunchLogPathFromEnvironment());
  LaunchOptions options = ScanLaunchOptions(args, GetEncodedStringW(kHexOptionPrefix));
  options.testHostSilenceLimitMs = TestHostSilenceLimitFromEnvironment();
  Launch launch(LocateExecutable(args.empty() ? std::wstring() : ToWide(args[0])), std::move(options), log);
  {
    const GdiplusSession gdiplus;
    try {
      LoadRichEditLibrary();
      const LaunchOutcome outcome = launch.Run();
      ReportOutcome(outcome, launch.Texts());
      if (outcome.LetGoOfHost()) launch.WaitForCloseSignal();
      launch.Finish();
    } catch (...) {
      // The launch reports its own failures; only the report or the release
      // can get here (out of memory). The release is tried again below.
      MessageBoxW(nullptr, L"Unknown exception", L"Error", MB_OK);
    }
  }
  return 0;
}

}  // namespace

}  // namespace brisk

// Replaces libstdc++'s default terminate handler, which writes the type of
// an uncaught exception to the standard error stream (a GUI program has none)
// and then aborts: this one aborts at once. Defining it keeps the library's
// handler, and the symbol demangler it uses, out of the executable.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace brisk;
  RestrictLibrarySearchToSystemFolder();
  try {
    const std::vector<std::u16string> args = CommandLineArguments();
    if (RunCleanupModeIfAsked(args)) return 1;
    return RunLauncher(args);
  } catch (...) {
    // Out of memory before the launch could start: nothing to tell or undo.
    return 0;
  }
}

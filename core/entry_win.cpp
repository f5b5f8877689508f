// The launcher's entry point, clean-up mode and the outer error handlers.
#include <windows.h>
#include <comdef.h>
#include <gdiplus.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/command_line.h"
#include "core/launch_host.h"
#include "core/launcher_state.h"
#include "core/notice4user.h"
#include "core/temp_cleanup_win.h"
#include "base/wide_text.h"
#include "payload/encoded_strings.h"
#include "text/message_table.h"

namespace brisk {

namespace {

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

std::wstring NoticeText(const std::exception& notice) {
  const char* text = notice.what();
  if (!text || !*text) text = "Unknown exception";
  return WideFromUtf8ForDisplay(text);
}

std::wstring ComErrorText(const _com_error& error) {
  std::wstring text = L"COM error:";
  if (IErrorInfo* info = error.ErrorInfo()) {
    BSTR description = nullptr;
    if (SUCCEEDED(info->GetDescription(&description)) && description) {
      text += description;
    }
    SysFreeString(description);
  }
  return text;
}

bool HandleCleanupOptions() {
  const CleanupRequest request = ScanCleanupOptions(CommandLineArguments());
  if (!request.found) return false;
  CleanupTempFiles(ToWide(request.first), ToWide(request.second));
  return true;
}

void LocateExecutable(const std::wstring& argv0) {
  gLauncher.exePath = argv0;
  std::size_t slash = argv0.rfind(L'\\');
  if (slash == std::wstring::npos) {
    wchar_t modulePath[512] = {};
    const DWORD length = GetModuleFileNameW(nullptr, modulePath, 512);
    if (length == 0 || length >= 512) return;
    gLauncher.exePath = modulePath;
    slash = gLauncher.exePath.rfind(L'\\');
    if (slash == std::wstring::npos) return;
  }
  gLauncher.exeDir = gLauncher.exePath.substr(0, slash);
}

void LoadRichEditLibrary() {
  if (!GetModuleHandleW(L"MSFTEDIT.DLL")) LoadLibraryW(L"MSFTEDIT.DLL");
}

int RunLauncher() {
  try {
    const std::vector<std::u16string> args = CommandLineArguments();
    SeedRandomGenerator();
    LocateExecutable(args.empty() ? std::wstring() : ToWide(args[0]));
    const LaunchOptions options = ScanLaunchOptions(args, GetEncodedStringW(kHexOptionPrefix));
    gLauncher.commandLinePassword = ToWide(options.commandLinePassword);
    gLauncher.testMode = options.testMode;
    gLauncher.optionValue = options.optionValue;
    LoadRichEditLibrary();
    LaunchHost();
    // No reset before this wait: the close event is reset only when it is
    // created, so a signal the add-in gave at any time since is not lost.
    // After a launch that ended early nothing will ever signal it.
    if ((gLauncher.settings.flags & kFlagExternalStorage) && !gLauncher.aborted && gLauncher.closeEvent &&
        !gLauncher.closeSeen) {
      WaitForSingleObject(gLauncher.closeEvent, INFINITE);
    }
  } catch (const notice4user& notice) {
    const std::wstring caption = ToWide(GetMessageTextW(gLauncher.Texts(), kWarningTitle, kWarningTitleDefault));
    MessageBoxW(nullptr, NoticeText(notice).c_str(), caption.c_str(), MB_ICONWARNING);
  } catch (...) {
  }
  return 1;
}

}  // namespace

}  // namespace brisk

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace brisk;
  RestrictLibrarySearchToSystemFolder();
  if (HandleCleanupOptions()) return 1;

  Gdiplus::GdiplusStartupInput gdiplusInput;
  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

  try {
    RunLauncher();
  } catch (const notice4user& notice) {
    MessageBoxW(nullptr, NoticeText(notice).c_str(), L"Warning", MB_ICONWARNING);
    return 0;
  } catch (const _com_error& error) {
    MessageBoxW(nullptr, ComErrorText(error).c_str(), L"Error", MB_OK);
  } catch (...) {
    MessageBoxW(nullptr, L"Unknown exception", L"Error", MB_OK);
  }

  Gdiplus::GdiplusShutdown(gdiplusToken);
  if (gLauncher.settings.flags & kFlagExternalStorage) {
    CleanupTempFiles(gLauncher.workbookPath, gLauncher.addinPath);
  }
  return 0;
}

#include "core/launch_host.h"

#include <windows.h>
#include <comdef.h>
#include <shellapi.h>

#include <ctime>
#include <cwchar>
#include <utility>

#include "core/launcher_state.h"
#include "core/notice4user.h"
#include "core/temp_cleanup_win.h"
#include "core/temp_files.h"
#include "base/wide_text.h"
#include "host/host_application.h"
#include "host/host_version.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_resource.h"
#include "text/byte_reader.h"
#include "ui/eula_dialog.h"
#include "ui/password_dialog.h"
#include "ui/splash_close_rule.h"
#include "ui/splash_inputs.h"
#include "ui/splash_thread.h"

namespace brisk {

namespace {

constexpr int kSettingsResource = 1100;
constexpr int kMessageTableResource = 1035;
constexpr int kLicenceResource = 1105;
constexpr clock_t kSplashMinimumMs = 5000;

// Hand-over messages to the host's main window, in the order they are sent.
enum HandOverMessage : UINT {
  kMsgProcessId = 1159,
  kMsgHostProperties = 1181,
  kMsgOptionValue = 1178,
  kMsgExecutablePath = 1160,
  kMsg1156 = 1156,
  kMsg1158 = 1158,
  kMsg1166 = 1166,
  kMsgSettingsRecord = 1155,
  kMsg1157 = 1157,
  kMsg1164 = 1164,
  kMsg1168 = 1168,
  kMsg1163 = 1163,
  kMsg1179 = 1179,
  kMsgHandOverDone = 1171,
};

// Ends the launch early (a dialog cancelled, the host refused); unlike a
// notice4user it shows nothing more.
struct LaunchEnded {};

// The splash thread's input record. The build carries no values for it, so
// the banner is shown with its first text.
const SplashInputs kSplashInputs{};

HostApplication Host() {
  return HostApplication(gLauncher.host);
}

bool SplashThreadRunning() {
  const DWORD state = WaitForSingleObject(gLauncher.splashThread.get(), 0);
  return state != WAIT_OBJECT_0 && state != WAIT_FAILED;
}

void PostToSplash(UINT message) {
  if (gLauncher.splashThreadId != 0) PostThreadMessageW(gLauncher.splashThreadId, message, 0, 0);
}

void RefreshMacros() {
  if (gLauncher.macroTable) gLauncher.macroTable->Refresh();
}

void LoadMessageTable() {
  PayloadBuffer table;
  if (!LoadAndUnpackPayload(kMessageTableResource, table) || table.empty()) return;
  if (!gLauncher.messageTable) return;
  ByteReader reader(table.data(), table.size());
  gLauncher.messageTable->LoadFromResource(reader);
}

// A second start of the same executable finds the mutex named after its path.
void CheckSingleInstance() {
  if (!(gLauncher.settings.flags & kFlagSingleInstance)) return;
  std::wstring name = gLauncher.exePath;
  for (wchar_t& c : name) {
    if (c == L'\\') c = L'_';
  }
  gLauncher.instanceMutex.reset(CreateMutexW(nullptr, TRUE, name.c_str()));
  if (GetLastError() != ERROR_ALREADY_EXISTS) return;
  std::string text = GetMessageTextA(gLauncher.Texts(), kAppAlreadyStarted, kAppAlreadyStartedDefault);
  for (std::size_t pos = 0; (pos = text.find("\\n", pos)) != std::string::npos; ++pos) {
    text.replace(pos, 2, "\n");
  }
  throw notice4user(text);
}

void ExtractExecutableIcons() {
  if (gLauncher.testMode) return;
  HICON large = nullptr;
  HICON small = nullptr;
  ExtractIconExW(gLauncher.exePath.c_str(), 0, &large, &small, 1);
  gLauncher.largeIcon.reset(large);
  gLauncher.smallIcon.reset(small);
}

// Step 2: settings, macros, translated texts, single instance, icons.
void PrepareSettingsAndTexts() {
  LoadBuildSettings();
  RefreshMacros();
  LoadMessageTable();
  CheckSingleInstance();
  RefreshMacros();
  ExtractExecutableIcons();
}

// Step 3.
void CheckSettingsMagic() {
  if (gLauncher.settings.magic != kSettingsMagic) {
    throw notice4user(GetEncodedStringA(kSettingsMagicWrong));
  }
}

// Step 4.
void AskForPassword() {
  const BuildSettings& settings = gLauncher.settings;
  if (settings.storedPassword.empty()) return;
  switch (RunPasswordPrompt(settings.storedPassword, ToU16(gLauncher.commandLinePassword), settings.appName,
                            gLauncher.Texts())) {
    case PasswordResult::kAccepted:
      return;
    case PasswordResult::kCancelled:
      throw LaunchEnded{};
    case PasswordResult::kWrong:
      throw notice4user(GetMessageTextA(gLauncher.Texts(), kPasswordIsIncorrect, kPasswordIncorrectDefault));
  }
}

// Step 5.
void ShowLicence() {
  LoadAndUnpackPayload(kLicenceResource, gLauncher.eulaTextBuffer);
  if (gLauncher.eulaTextBuffer.size() <= 2 || gLauncher.optionValue != 0) return;
  EulaDialogContext context;
  context.appName = gLauncher.settings.appName;
  context.testMode = gLauncher.testMode;
  context.hideBranding = SplashBrandingHidden(kSplashInputs);
  context.texts = gLauncher.Texts();
  std::u16string shownText;
  if (RunEulaDialog(gLauncher.eulaTextBuffer, gLauncher.smallIcon.get(), gLauncher.largeIcon.get(), context,
                    shownText) == LicenceResult::kDeclined) {
    throw LaunchEnded{};
  }
}

// Step 6.
void StartHost() {
  if (FAILED(CreateHostApplication(&gLauncher.host))) {
    throw notice4user(GetEncodedStringA(kHostNotCreated));
  }
  Host().SetVisible(false);
  gLauncher.hostMajorVersion = Host().GetMajorVersion();
}

// Steps 7 and 8: the add-in of the host's bitness into the working folder.
void WriteAddinForHost() {
  const bool is64 = gLauncher.hostMajorVersion >= 14 && Host().IsHost64Bit(gLauncher.hostMajorVersion);
  if (!WriteAddin(is64)) {
    Host().Quit();
    throw notice4user(GetEncodedStringA(kAddinNotWritten));
  }
}

// Step 9: hosts whose executable is older than the minimum build of its
// major version are refused.
void CheckHostBuild() {
  const int notice = HostBuildGateNotice(Host().GetInstalledHostFileVersion());
  if (notice == 0) return;
  Host().Quit();
  throw notice4user(GetEncodedStringA(notice));
}

// Step 10.
clock_t StartSplash() {
  const clock_t splashStart = clock();
  if (SplashMayStart(gLauncher.testMode, gLauncher.optionValue, gLauncher.settings.flags, kSplashInputs)) {
    StartSplashThread(&kSplashInputs, gLauncher.splashThread, gLauncher.splashThreadId);
  }
  return splashStart;
}

// Step 11.
void RefuseVeryOldHost() {
  if (!(gLauncher.settings.flags & kFlagHostVersionChecks) || gLauncher.hostMajorVersion > 9) return;
  PostToSplash(MSG_SPLASH_CLOSE);
  const std::wstring caption = ToWide(GetMessageTextW(gLauncher.Texts(), kWarningTitle, kWarningTitleDefault));
  MessageBoxW(nullptr, GetEncodedStringWide(kHostTooOldWarning).c_str(), caption.c_str(), MB_ICONWARNING);
  throw LaunchEnded{};
}

// Steps 15 to 17: the host's main window, with the application's caption and icon.
void PrepareHostWindow() {
  gLauncher.hostWindow = Host().FindHostWindow(gLauncher.hostMajorVersion);
  Host().SetCaption(GetEncodedStringWide(kApplicationTitle));
  if (HICON icon = gLauncher.largeIcon ? gLauncher.largeIcon.get() : gLauncher.smallIcon.get()) {
    SendMessageW(gLauncher.hostWindow, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  }
}

HANDLE CreateNamedEvent(int formatNumber) {
  wchar_t name[512] = {};
  _snwprintf(name, 511, GetEncodedStringWide(formatNumber).c_str(), static_cast<unsigned>(GetCurrentProcessId()));
  return CreateEventW(nullptr, TRUE, FALSE, name);
}

// Step 18. The close event is reset only right after its creation, before
// the add-in can know its name: a waiter that reset it again could erase a
// signal the add-in has already given.
void CreateEventsAndWaiters() {
  if (gLauncher.settings.flags & kFlagExternalStorage) {
    gLauncher.closeEvent = CreateNamedEvent(kCloseEventFormat);
    if (gLauncher.closeEvent) {
      ResetEvent(gLauncher.closeEvent);
      gLauncher.closeWaiter = std::make_unique<std::thread>([event = gLauncher.closeEvent] {
        WaitForSingleObject(event, INFINITE);
        gLauncher.closeSeen.exchange(true);
      });
    }
  }
  gLauncher.readyEvent = CreateNamedEvent(kReadyEventFormat);
  gLauncher.readyWaiter = std::make_unique<std::thread>([event = gLauncher.readyEvent] {
    if (!event) return;
    WaitForSingleObject(event, INFINITE);
    gLauncher.readySeen.exchange(true);
  });
}

void SendToHost(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  SendMessageW(gLauncher.hostWindow, message, wParam, lParam);
}

// Step 19: the hand-over messages in their order, with the work between them.
void HandOver(std::uint32_t languageByte) {
  SendToHost(kMsgProcessId, GetCurrentProcessId());
  Host().SetVisible(false);
  SendToHost(kMsgHostProperties, static_cast<WPARAM>(Host().GetIntProperty1209()), languageByte);
  if (gLauncher.optionValue != 0) SendToHost(kMsgOptionValue, static_cast<WPARAM>(gLauncher.optionValue));
  // From here on a second instance may start.
  gLauncher.instanceMutex.reset();
  if (!gLauncher.exePath.empty()) SendToHost(kMsgExecutablePath);
  SendToHost(kMsg1156);
  SendToHost(kMsg1158);
  SendToHost(kMsg1166);
  if (!gLauncher.rawRecord.empty()) {
    SendToHost(kMsgSettingsRecord);
    PayloadBuffer().swap(gLauncher.rawRecord);
  }
  SendToHost(kMsg1157);
  SendToHost(kMsg1164);
  SendToHost(kMsg1168);
  SendToHost(kMsg1163);
  SendToHost(kMsg1179);
}

// Step 20.1 and 20.2.
void SetFinalVisibility() {
  if (gLauncher.optionValue != 0) {
    Host().SetDisplayAlerts(false);
    Host().SetVisible(false);
  } else if ((gLauncher.settings.flags & kFlagHostInvisible) || gLauncher.testMode) {
    Host().SetVisible(false);
  } else if (gLauncher.hostMajorVersion != 15) {
    Host().SetVisible(true);
  }
  Host().SetUserControl(true);
}

void CloseAndQuitHost() {
  try {
    Host().CloseAll();
  } catch (...) {
  }
  try {
    Host().Quit();
  } catch (...) {
  }
}

// Step 20.5.
void RefuseNewFormatOnOldHost() {
  const std::uint32_t format = gLauncher.settings.workbookFormat;
  if (!(gLauncher.settings.flags & kFlagHostVersionChecks) || gLauncher.hostMajorVersion >= 12 ||
      (format != '4' && format != '2')) {
    return;
  }
  MessageBoxW(gLauncher.hostWindow, GetEncodedStringWide(kNewFormatNeedsHost12).c_str(), L"Error", MB_ICONERROR);
  CloseAndQuitHost();
  throw LaunchEnded{};
}

// Step 20.7. The wait ends when the add-in reports ready, or when the splash
// thread ends (closed by the user or by its time limit): an add-in that
// never signals must not hold the launcher for ever.
void WaitForAddinReady() {
  if (gLauncher.readySeen || !gLauncher.readyWaiter || !SplashThreadRunning() || !gLauncher.readyEvent) return;
  const HANDLE handles[] = {gLauncher.readyEvent, gLauncher.splashThread.get()};
  WaitForMultipleObjects(2, handles, FALSE, INFINITE);
}

void ReleaseHostReference() {
  if (IDispatch* host = std::exchange(gLauncher.host, nullptr)) host->Release();
}

// Steps 20.3 to 20.9: any failure here closes the host and ends the launch.
void FinishHandOver() {
  try {
    if (gLauncher.hostMajorVersion >= 14) Host().PutIntProperty2788(1);
    RefuseNewFormatOnOldHost();
    PostMessageW(gLauncher.hostWindow, kMsgHandOverDone, 0, 0);
    WaitForAddinReady();
    ReleaseHostReference();
  } catch (const LaunchEnded&) {
    throw;
  } catch (...) {
    CloseAndQuitHost();
    throw LaunchEnded{};
  }
  PostToSplash(MSG_SPLASH_DONE);
}

// Steps 1 to 20.
void RunLaunchSteps(clock_t& splashStart) {
  PrepareSettingsAndTexts();
  CheckSettingsMagic();
  AskForPassword();
  ShowLicence();
  StartHost();
  WriteAddinForHost();
  CheckHostBuild();
  splashStart = StartSplash();
  RefuseVeryOldHost();
  const std::uint32_t languageByte = gLauncher.host ? (Host().GetUiLanguageId() & 0xFF) : 0;
  WriteMainWorkbook();
  WriteCommandLineAndOpenAuxWorkbook();
  PrepareHostWindow();
  CreateEventsAndWaiters();
  HandOver(languageByte);
  SetFinalVisibility();
  FinishHandOver();
}

// Step 22.4: the splash stays up for at least 5 s in all.
void CloseSplashAfterMinimumTime(clock_t splashStart) {
  if (!SplashThreadRunning() || gLauncher.testMode) return;
  const clock_t elapsed = clock() - splashStart;
  if (elapsed < kSplashMinimumMs) Sleep(static_cast<DWORD>(kSplashMinimumMs - elapsed));
  PostToSplash(MSG_SPLASH_CLOSE);
  Sleep(10);
  PostToSplash(MSG_SPLASH_CLOSE);
  Sleep(100);
}

void SwitchToHostWindow() {
  using SwitchToThisWindowFn = void(WINAPI*)(HWND, BOOL);
  HMODULE user32 = GetModuleHandleW(L"User32");
  auto switchTo = reinterpret_cast<SwitchToThisWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SwitchToThisWindow")));
  if (switchTo) switchTo(gLauncher.hostWindow, TRUE);
}

}  // namespace

void LoadBuildSettings() {
  LoadPayloadResource(kSettingsResource, gLauncher.rawRecord);
  ParseBuildSettings(gLauncher.rawRecord, gLauncher.settings);
  if (gLauncher.settings.flags & kFlagExternalStorage) {
    LoadExternalStorage(ExternalStoragePath(gLauncher.exePath), gLauncher.settings, gLauncher.rawRecord,
                        gLauncher.workbookBuffer);
  }
}

bool LaunchHost() {
  gLauncher.aborted = false;
  bool result = false;
  clock_t splashStart = clock();
  try {
    RunLaunchSteps(splashStart);
  } catch (const notice4user&) {
    gLauncher.aborted = true;
    if (gLauncher.splashThreadId != 0) {
      PostToSplash(MSG_SPLASH_CLOSE);
      Sleep(100);
    }
    throw;
  } catch (const LaunchEnded&) {
    result = true;
  } catch (const _com_error&) {
    result = true;
    if (gLauncher.splashThreadId != 0) {
      PostToSplash(MSG_SPLASH_CLOSE);
      Sleep(100);
    }
  } catch (...) {
    result = true;
  }

  try {
    gLauncher.aborted = result;
    if (!result) SwitchToHostWindow();
    ReleaseLaunchResources();
    CloseSplashAfterMinimumTime(splashStart);
  } catch (...) {
  }
  return true;
}

// Each part runs even when an earlier one fails, so that an aborted launch
// still removes its files when the host has gone away.
void ReleaseLaunchResources() {
  gLauncher.macroTable.reset();
  gLauncher.messageTable.reset();
  gLauncher.largeIcon.reset();
  gLauncher.smallIcon.reset();
  if (gLauncher.aborted && gLauncher.host) CloseAndQuitHost();
  ReleaseHostReference();
  if (gLauncher.aborted) {
    if (gLauncher.hostWindow) PostMessageW(gLauncher.hostWindow, WM_QUIT, 0, 0);
    CleanupTempFiles(gLauncher.workbookPath, gLauncher.addinPath);
  }
}

}  // namespace brisk

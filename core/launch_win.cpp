#include "core/launch.h"

#include <windows.h>
#include <comdef.h>
#include <shellapi.h>

#include <cstdint>
#include <utility>

#include "base/com_ref.h"
#include "base/com_text.h"
#include "base/message_wait_win.h"
#include "base/number_text.h"
#include "base/wide_text.h"
#include "core/temp_cleanup_win.h"
#include "core/working_folder_win.h"
#include "host/host_application.h"
#include "host/host_version.h"
#include "payload/encoded_strings.h"
#include "payload/external_storage.h"
#include "payload/payload_ids.h"
#include "payload/payload_resource.h"
#include "text/byte_reader.h"
#include "text/licence_limits.h"
#include "text/macro_environment_win.h"
#include "text/text_convert.h"
#include "ui/eula_dialog.h"
#include "ui/password_dialog.h"
#include "ui/splash.h"
#include "ui/splash_inputs.h"

namespace brisk {

namespace {

// How long an aborted launch waits for the host it asked to quit to end
// before it removes the files that the host may still hold.
constexpr DWORD kHostExitWaitMs = 10000;

// The splash thread's input record. The build carries no values for it, so
// the banner is shown with its first text.
const SplashInputs kSplashInputs{};

// The build settings record (payload 1100) into `rawRecord`, parsed. In
// external storage mode the file next to the executable may replace the
// record and bring the main workbook into `storedWorkbook`.
BuildSettings LoadBuildSettings(const std::wstring& exePath, PayloadBuffer& rawRecord, PayloadBuffer& storedWorkbook) {
  LoadPayloadResource(kBuildSettingsResource, rawRecord);
  BuildSettings settings = ParseBuildSettings(rawRecord);
  if (settings.flags & kFlagExternalStorage) {
    LoadExternalStorage(ExternalStoragePath(ToU16(exePath)), settings, rawRecord, storedWorkbook);
  }
  return settings;
}

// The translated texts of payload 1035, when the build carries them.
void LoadMessageTable(MessageTable& table) {
  PayloadBuffer resource;
  if (!LoadAndUnpackPayload(kMessageTableResource, resource) || resource.empty()) return;
  ByteReader reader(resource.data(), resource.size());
  table.LoadFromResource(reader);
}

// With settings bit 0x4000 a second start of the same executable finds the
// mutex named after its path and is refused.
void CheckSingleInstance(const BuildSettings& settings, const std::wstring& exePath, const UserTexts& texts,
                         UniqueHandle& instanceMutex) {
  if (!(settings.flags & kFlagSingleInstance)) return;
  std::wstring name = exePath;
  for (wchar_t& c : name) {
    if (c == L'\\') c = L'_';
  }
  instanceMutex.reset(CreateMutexW(nullptr, TRUE, name.c_str()));
  if (GetLastError() == ERROR_ALREADY_EXISTS) throw LaunchFailed(LaunchFailure::kAlreadyRunning, texts);
}

// The executable's first icon in both sizes, when the plan uses them.
void ExtractExecutableIcons(const std::wstring& exePath, const LaunchPlan& plan, UniqueIcon& large, UniqueIcon& small) {
  if (!plan.useExecutableIcons) return;
  HICON largeIcon = nullptr;
  HICON smallIcon = nullptr;
  ExtractIconExW(exePath.c_str(), 0, &largeIcon, &smallIcon, 1);
  large.reset(largeIcon);
  small.reset(smallIcon);
}

// A record whose validity magic is wrong belongs to a damaged build.
void CheckSettingsMagic(const BuildSettings& settings, const UserTexts& texts) {
  if (settings.magic != kSettingsMagic) throw LaunchFailed(LaunchFailure::kSettingsDamaged, texts);
}

// A build with a password asks for it (or takes it from the command line).
// The typed password is wiped from memory once checked (ui/password_check.h).
// The stored and the command-line passwords are not: the first stays in the
// raw settings record that the add-in is sent, the second in the process's
// command line that the add-in is given, so a wiped copy would hide nothing.
void AskForPassword(const BuildSettings& settings, const std::u16string& commandLinePassword, const UserTexts& texts) {
  if (settings.storedPassword.empty()) return;
  switch (RunPasswordPrompt(settings.storedPassword, commandLinePassword, settings.appName, texts)) {
    case PasswordResult::kAccepted:
      return;
    case PasswordResult::kCancelled:
      throw LaunchEnded{};
    case PasswordResult::kWrong:
      throw LaunchFailed(LaunchFailure::kPasswordWrong, texts);
    case PasswordResult::kFailed:
      throw LaunchFailed(LaunchFailure::kPasswordPromptFailed, texts);
  }
}

// A build with a licence text (payload 1105, more than 2 bytes) asks the user
// to agree, as the plan says. A text beyond what the dialog can show safely
// (too large, or RTF nested too deeply) is not shown: the builder never makes
// one, so the build is damaged.
void ShowLicence(const BuildSettings& settings, const LaunchPlan& plan, HICON smallIcon, HICON largeIcon,
                 const UserTexts& texts, PayloadBuffer& licenceText) {
  if (plan.licence == LicenceStep::kSkipped) return;
  // A licence that does not unpack is a damaged build, never shown as the raw
  // bytes it is stored as; one whose container declares more than a licence
  // may hold is refused before it is unpacked.
  switch (LoadPayload(kLicenceTextResource, licenceText, plan.licenceLimit)) {
    case PayloadState::kMissing:
      return;
    case PayloadState::kDamaged:
      throw LaunchFailed(LaunchFailure::kBuildDamaged, texts);
    case PayloadState::kOutOfMemory:
      throw LaunchFailed(LaunchFailure::kOutOfMemory, texts);
    case PayloadState::kReady:
      break;
  }
  if (licenceText.size() <= 2 || plan.licence != LicenceStep::kShown) return;
  if (CheckLicenceText(licenceText) != LicenceTextCheck::kAccepted) {
    throw LaunchFailed(LaunchFailure::kBuildDamaged, texts);
  }
  EulaDialogContext context;
  context.appName = settings.appName;
  context.hideBranding = plan.hideLicenceBranding;
  context.texts = texts;
  std::u16string shownText;
  switch (RunEulaDialog(licenceText, smallIcon, largeIcon, context, shownText)) {
    case LicenceResult::kAgreed:
      return;
    case LicenceResult::kDeclined:
      throw LaunchEnded{};
    case LicenceResult::kFailed:
      throw LaunchFailed(LaunchFailure::kLicenceDialogFailed, texts);
  }
}

// Runs `work` for a launch that is already ending, which no failure of it
// may stop: an exception is logged under `what` and goes no further.
template <typename Work>
void LoggingFailures(LaunchLog& log, const char* what, Work work) {
  try {
    work();
  } catch (const _com_error& error) {
    log.Event(what, DescribeHresult(error.Error()));
  } catch (const std::exception& error) {
    log.Event(what, error.what());
  } catch (...) {
    log.Event(what, "an exception of unknown kind");
  }
}

// The host application as an automation server, on the host's thread.
void StartHost(HostWait& wait, LaunchLog& log, const UserTexts& texts) {
  if (const HRESULT hr = wait.StartHost(); FAILED(hr)) {
    log.Event("host not created", DescribeHresult(hr));
    throw LaunchFailed(LaunchFailure::kHostNotCreated, texts);
  }
}

// Quits a host that has opened nothing of the launch yet, before the user
// is told why the launch ends. A host that ends while it quits may fail the
// call itself; that is logged, and the user is told the failure that ended
// the launch, not the quit's.
[[noreturn]] void QuitHostAndFail(const HostApplication& host, LaunchFailure failure, const UserTexts& texts,
                                  LaunchLog& log) {
  LoggingFailures(log, "quitting the host failed", [&] { host.Quit(); });
  throw LaunchFailed(failure, texts);
}

// The add-in of the host's bitness into a new working folder.
void WriteAddinForHost(const HostApplication& host, PreparedPayload addin, bool is64, LaunchFiles& files,
                       const UserTexts& texts, LaunchLog& log) {
  if (const auto failure = WriteAddin(std::move(addin), is64, files)) QuitHostAndFail(host, *failure, texts, log);
}

// The main workbook beside the add-in, as the worker left it: written while
// the host started, failed there (told now, at this step), or left to this
// step when the worker could make no folder. Unlike the add-in, a workbook
// payload without its marker is no failure: it gives an empty workbook.
void WriteWorkbook(const std::wstring& exePath, const BuildSettings& settings, PreparedPayloads& prepared,
                   LaunchFiles& files, const UserTexts& texts) {
  std::optional<LaunchFailure> failure = prepared.workbookFailure;
  if (!prepared.workbookWritten) {
    failure = WriteMainWorkbook(exePath, settings.workbookFormat, std::move(prepared.workbook), files);
  }
  if (failure) throw LaunchFailed(*failure, texts);
}

// The host opens the auxiliary workbook, whose open handler loads the add-in.
// Its answer is only logged (see WriteCommandLineAndOpenAuxWorkbook).
void OpenAuxWorkbook(const HostApplication& host, LaunchFiles& files, const UserTexts& texts, LaunchLog& log) {
  const AuxWorkbookOpen opened = WriteCommandLineAndOpenAuxWorkbook(host, GetCommandLineW(), files);
  if (opened.failure) throw LaunchFailed(*opened.failure, texts);
  log.Event("auxiliary workbook opened", opened.workbookReturned
                                             ? std::string("a workbook returned")
                                             : "no workbook returned, " + DescribeHresult(opened.hostAnswer));
}

// Hosts whose executable is older than the minimum build of its major
// version are refused.
void CheckHostBuild(const HostApplication& host, const UserTexts& texts, LaunchLog& log) {
  const auto failure = HostBuildGateFailure(HostBuildGateNotice(host.GetInstalledHostFileVersion()));
  if (failure) QuitHostAndFail(host, *failure, texts, log);
}

// With settings bit 0x80, a host of major version 9 or lower gets a warning
// and the launch ends.
void RefuseVeryOldHost(const LaunchPlan& plan, int hostMajorVersion, const Splash& splash, const UserTexts& texts) {
  if (!plan.refuseVeryOldHost || !HostTooOldForAnyBuild(hostMajorVersion)) return;
  splash.PostClose();
  const std::wstring caption = ToWide(GetMessageTextW(texts, kWarningTitle, kWarningTitleDefault));
  MessageBoxW(nullptr, GetEncodedStringWide(kHostTooOldWarning).c_str(), caption.c_str(), MB_ICONWARNING);
  throw LaunchEnded{};
}

// The host's visibility once the add-in has the workbook, and control handed
// to the user.
void SetFinalVisibility(const HostApplication& host, int hostMajorVersion, const LaunchPlan& plan) {
  switch (plan.finalVisibility) {
    case FinalVisibility::kHiddenWithoutAlerts:
      host.SetDisplayAlerts(false);
      host.SetVisible(false);
      break;
    case FinalVisibility::kHidden:
      host.SetVisible(false);
      break;
    case FinalVisibility::kShown:
      if (!HostKeepsVisibilityAtHandOver(hostMajorVersion)) host.SetVisible(true);
      break;
  }
  host.SetUserControl(true);
}

// With settings bit 0x80, a new-format workbook cannot open in a host below
// major version 12: an error over the host window; the caller closes the
// host. True when it refused.
bool RefuseNewFormatOnOldHost(HWND hostWindow, int hostMajorVersion, const LaunchPlan& plan) {
  if (!plan.refuseNewFormatOnOldHost || HostOpensNewFormatWorkbooks(hostMajorVersion)) return false;
  MessageBoxW(hostWindow, GetEncodedStringWide(kNewFormatNeedsHost12).c_str(), L"Error", MB_ICONERROR);
  return true;
}

bool ProcessHasEnded(HANDLE process) { return process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

// The failure of a message the host's window did not handle.
[[noreturn]] void HostWindowFailed(HostWindowReply reply, const char* what, const UserTexts& texts, LaunchLog& log) {
  log.Event(what, reply == HostWindowReply::kHostEnded ? "the host's process ended" : "the host was given up");
  throw LaunchFailed(LaunchFailure::kHostStoppedResponding, texts);
}

// What the user is asked after the host's silence limit: the build's text
// for it, or the built-in one, with the macros and line breaks expanded.
HostQuestion HostQuestionTexts(const UserTexts& texts) {
  std::u16string text = GetMessageTextW(texts, kHostNotAnswering, kHostNotAnsweringDefault);
  ReplaceLineBreakEscapes(text);
  return {ToWide(text), ToWide(GetMessageTextW(texts, kWarningTitle, kWarningTitleDefault))};
}

// What the user is told when the host failed in COM: that it stopped
// responding, then the error's code and its text when it has one.
std::string HostFailureNotice(const _com_error& error) {
  std::string text = GetEncodedStringA(kHostStoppedResponding);
  text += "\n\n(0x" + HexText<char>(static_cast<std::uint32_t>(error.Error()), 8, HexLetters::kUpper);
  std::wstring description;
  if (const ComRef<IErrorInfo> info{error.ErrorInfo()}) {
    UniqueBstr described;
    if (SUCCEEDED(info->GetDescription(described.put()))) description = described.str();
  }
  if (description.empty() && error.ErrorMessage()) description = error.ErrorMessage();
  while (!description.empty() && (description.back() == L'\n' || description.back() == L'\r')) description.pop_back();
  if (!description.empty()) text += ": " + Utf16ToUtf8Lossy(ToU16(description));
  return text + ")";
}

void SwitchToHostWindow(HWND hostWindow) {
  using SwitchToThisWindowFn = void(WINAPI*)(HWND, BOOL);
  HMODULE user32 = GetModuleHandleW(L"User32");
  auto switchTo =
      reinterpret_cast<SwitchToThisWindowFn>(reinterpret_cast<void*>(GetProcAddress(user32, "SwitchToThisWindow")));
  if (switchTo) switchTo(hostWindow, TRUE);
}

}  // namespace

Launch::Launch(ExecutableLocation executable, LaunchOptions options, LaunchLog& log)
    : log_(log),
      executable_(std::move(executable)),
      options_(std::move(options)),
      macroEnvironment_(std::make_unique<WinMacroEnvironment>([this] {
        return MacroAppValues{settings_.appName, settings_.appInfo, settings_.appVersion, ToU16(executable_.folder)};
      })),
      macroTable_(macroEnvironment_.get()) {}

Launch::~Launch() {
  LoggingFailures(log_, "the final release failed", [this] { Finish(); });
}

LaunchOutcome Launch::Run() {
  log_.Event("start");
  {
    WindowsCleanupFileSystem fileSystem;
    SweepStaleWorkingFolders(fileSystem);
  }
  log_.Event("sweep");
  LaunchOutcome outcome;
  try {
    outcome = RunSteps();
  } catch (const notice4user& notice) {
    outcome = {LaunchOutcome::Kind::kNotice, notice.what()};
  } catch (const LaunchEnded&) {
    outcome.kind = LaunchOutcome::Kind::kEnded;
  } catch (const _com_error& error) {
    log_.Event("host call failed", DescribeHresult(error.Error()));
    outcome = {LaunchOutcome::Kind::kNotice, HostFailureNotice(error)};
  } catch (const std::exception& error) {
    outcome = {LaunchOutcome::Kind::kNotice, UnexpectedErrorNotice(error.what())};
  } catch (...) {
    outcome = {LaunchOutcome::Kind::kNotice, UnexpectedErrorNotice({})};
  }
  switch (outcome.kind) {
    case LaunchOutcome::Kind::kHandedOver:
      log_.Event("end", "handed over");
      break;
    case LaunchOutcome::Kind::kLetGo:
      log_.Event("end", "let go of the host before the add-in was ready");
      break;
    case LaunchOutcome::Kind::kEnded:
      log_.Event("end", "ended by the user or after a box of its own");
      break;
    case LaunchOutcome::Kind::kNotice:
      log_.Event("end", "notice: " + outcome.notice);
      break;
  }
  if (hostWait_ && hostWait_->questionsAsked() > 0) {
    log_.Event("host wait", DecimalText(static_cast<std::uint32_t>(hostWait_->questionsAsked())) +
                                " question(s) asked" + (HostOutOfReach() ? ", host out of reach" : ""));
  }
  if (!outcome.LetGoOfHost()) aborted_ = true;
  LoggingFailures(log_, "closing the splash failed", [&] {
    if (outcome.LetGoOfHost()) {
      SwitchToHostWindow(hostWindow_);
      largeIcon_.reset();
      smallIcon_.reset();
      if (plan_.keepSplashMinimumTime) splash_.CloseAfterMinimumTime();
    } else {
      splash_.CloseNow();
    }
  });
  return outcome;
}

// The launch from the build settings to the hand-over, in order.
LaunchOutcome Launch::RunSteps() {
  settings_ = LoadBuildSettings(executable_.path, rawRecord_, storedWorkbook_);
  log_.Event("settings", "flags 0x" + HexText<char>(settings_.flags, 8, HexLetters::kUpper) + ", format " +
                             std::string(1, static_cast<char>(settings_.workbookFormat)));
  plan_ = PlanLaunch(options_, settings_, kSplashInputs);
  macroTable_.Refresh();
  LoadMessageTable(messageTable_);
  log_.Event("texts");
  CheckSingleInstance(settings_, executable_.path, Texts(), instanceMutex_);
  macroTable_.Refresh();
  ExtractExecutableIcons(executable_.path, plan_, largeIcon_, smallIcon_);
  CheckSettingsMagic(settings_, Texts());
  AskForPassword(settings_, options_.commandLinePassword, Texts());
  ShowLicence(settings_, plan_, smallIcon_.get(), largeIcon_.get(), Texts(), licenceText_);
  log_.Event("dialogs");

  // The host takes a second or more to start; the payloads are unpacked
  // meanwhile.
  PayloadPreparation preparation;
  preparation.Start(ExternalStorageMode(), std::move(storedWorkbook_),
                    WorkbookPlacement{executable_.path, settings_.workbookFormat});
  // The start itself is bounded by the system's activation time-out; every
  // call and message after it waits by the launch's one rule.
  hostWait_ = std::make_unique<HostWait>(HostQuestionTexts(Texts()), plan_.hostSilenceLimitMs);
  StartHost(*hostWait_, log_, Texts());
  const HostApplication host = Host();
  host.SetVisible(false);
  hostMajorVersion_ = host.GetMajorVersion();
  const bool is64 = host.IsHost64Bit(hostMajorVersion_);
  log_.Event("host created", "major version " +
                                 DecimalText(static_cast<std::uint32_t>(std::max(hostMajorVersion_, 0))) +
                                 (is64 ? ", 64-bit" : ", 32-bit"));
  PreparedPayloads prepared = preparation.Take();
  // From here the launch owns the folder the worker made: an abort removes it.
  files_ = prepared.files;
  log_.Event("payloads unpacked", prepared.workbookWritten ? "workbook written ahead" : "workbook left to its step");
  PreparedPayload addin = std::move(is64 ? prepared.addin64 : prepared.addin32);
  // The add-in of the other bitness is never written: its memory goes now,
  // not after the ready wait.
  prepared.addin32 = {};
  prepared.addin64 = {};
  WriteAddinForHost(host, std::move(addin), is64, files_, Texts(), log_);
  log_.Event("add-in written", Utf8FromWide(files_.addinPath));
  CheckHostBuild(host, Texts(), log_);
  splash_.Start(plan_.startSplash, kSplashInputs);
  log_.Event("splash", splash_.Shown() ? "shown" : "not shown");
  RefuseVeryOldHost(plan_, hostMajorVersion_, splash_, Texts());

  const std::uint32_t languageByte = static_cast<std::uint32_t>(host.GetUiLanguageId()) & 0xFF;
  WriteWorkbook(executable_.path, settings_, prepared, files_, Texts());
  log_.Event("workbook written", Utf8FromWide(files_.workbookPath));
  OpenAuxWorkbook(host, files_, Texts(), log_);
  hostWindow_ = PrepareHostWindow(host);
  events_ = CreateHandOverEvents(ExternalStorageMode());
  const HostWindowReply handOver = SendHandOverMessages(
      host, *hostWait_, hostWindow_, hostProcess_.get(),
      HandOverMessageInputs{languageByte, options_.optionValue, !executable_.path.empty()}, instanceMutex_, rawRecord_);
  if (handOver != HostWindowReply::kHandled) HostWindowFailed(handOver, "hand-over", Texts(), log_);
  log_.Event("hand-over sent");
  SetFinalVisibility(host, hostMajorVersion_, plan_);
  LaunchOutcome outcome = FinishHandOver();
  log_.Event("host released");
  return outcome;
}

// The host's main window, given the application's caption and icon. Without
// it the hand-over would reach nobody. Its process is known from here on.
HWND Launch::PrepareHostWindow(const HostApplication& host) {
  const HWND window = host.FindHostWindow(hostMajorVersion_);
  if (!window || !IsWindow(window)) throw LaunchFailed(LaunchFailure::kHostWindowNotFound, Texts());
  hostWindow_ = window;
  FindHostProcess();
  log_.Event("host window", "0x" + HexText<char>(reinterpret_cast<UINT_PTR>(hostWindow_), 8, HexLetters::kUpper) +
                                ", process " + DecimalText(hostProcess_ ? GetProcessId(hostProcess_.get()) : 0));
  host.SetCaption(GetEncodedStringWide(kApplicationTitle));
  if (HICON icon = largeIcon_ ? largeIcon_.get() : smallIcon_.get()) {
    const HostWindowReply reply =
        hostWait_->Send(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon), hostProcess_.get());
    if (reply != HostWindowReply::kHandled) HostWindowFailed(reply, "icon", Texts(), log_);
  }
  return window;
}

// Closes the host's workbooks and quits it, when the launch ends after it
// has opened them. Either call may fail on a host that is going or gone;
// the other is still made, unless the host went out of reach meanwhile.
void Launch::CloseAndQuitHost(const HostApplication& host) {
  if (HostOutOfReach()) return;
  LoggingFailures(log_, "closing the host's workbooks failed", [&] { host.CloseAll(); });
  if (HostOutOfReach()) return;
  LoggingFailures(log_, "quitting the host failed", [&] { host.Quit(); });
}

// Waits until the add-in reports ready, the splash thread ends (closed by
// the user or by its time limit) or the host's process ends: an add-in that
// never signals must not hold the launcher for ever. Without a splash there
// is no wait, and the host's process is checked once. A host that ended
// ends the launch with a notice. The splash's limit ends only this wait: a
// slow add-in (a large workbook, a licence prompt of its own behind the
// splash) cannot be told from one that never takes over, so the host is let
// go as after a hand-over, never closed.
bool Launch::WaitForAddinReady() {
  const bool waits =
      !events_.readyWaiter.Seen() && events_.readyWaiter.Started() && splash_.Running() && events_.readyEvent;
  if (waits) {
    const HANDLE handles[] = {events_.readyEvent, splash_.thread(), hostProcess_.get()};
    WaitServingSentMessages(hostProcess_ ? 3 : 2, handles, INFINITE);
  }
  const bool ready =
      events_.readyWaiter.Seen() || (events_.readyEvent && WaitForSingleObject(events_.readyEvent, 0) == WAIT_OBJECT_0);
  log_.Event("ready", ready ? "signalled" : "not signalled");
  if (ready) return false;
  if (ProcessHasEnded(hostProcess_.get())) {
    hostWait_->MarkGone();
    log_.Event("ready wait", "the host's process ended");
    throw LaunchFailed(LaunchFailure::kHostStoppedResponding, Texts());
  }
  if (waits && splash_.EndedByItsLimit()) {
    log_.Event("ready wait", "the splash reached its limit: the host is let go");
    return true;
  }
  return false;
}

// The host's process, from its main window: the close wait of external
// storage mode ends with it, an aborted launch waits for it to end, and the
// working folder's marker names it, so that no sweep touches the folder
// while the host lives.
void Launch::FindHostProcess() {
  DWORD processId = 0;
  GetWindowThreadProcessId(hostWindow_, &processId);
  if (processId == 0) return;
  hostProcessId_ = processId;
  hostProcess_.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!hostProcess_) return;
  WriteFolderMarker(files_.folder,
                    FolderMarker{StampOfProcess(GetCurrentProcess()), StampOfProcess(hostProcess_.get())});
}

// From here to the release of the host any failure closes the host at once
// and ends the launch with its notice.
LaunchOutcome Launch::FinishHandOver() {
  const HostApplication host = Host();
  bool letGo = false;
  try {
    if (HostTakesProperty2788(hostMajorVersion_)) host.PutIntProperty2788(1);
    if (RefuseNewFormatOnOldHost(hostWindow_, hostMajorVersion_, plan_)) {
      CloseAndQuitHost(host);
      throw LaunchEnded{};
    }
    PostHandOverDone(hostWindow_);
    letGo = WaitForAddinReady();
    ReleaseHost();
    // The user gave the host up while its release waited.
    if (HostOutOfReach()) throw LaunchFailed(LaunchFailure::kHostStoppedResponding, Texts());
  } catch (const LaunchEnded&) {
    throw;
  } catch (...) {
    CloseAndQuitHost(host);
    throw;
  }
  splash_.Done();
  if (letGo) return {LaunchOutcome::Kind::kLetGo, FailureNotice(LaunchFailure::kAddinNotReadyInTime, Texts())};
  return {LaunchOutcome::Kind::kHandedOver, {}};
}

// A host out of reach would hold the release call as well: its reference
// goes with this process.
void Launch::ReleaseHost() {
  if (!hostWait_) return;
  LoggingFailures(log_, "releasing the host failed", [&] { hostWait_->ReleaseHost(); });
}

// WM_QUIT ends the message loop of the thread that owns the window: only a
// window of the host the launcher started gets it, never one of a host the
// user runs (the handle of a window that is gone may belong to another's
// window by now).
void Launch::PostQuitToHostWindow() {
  if (!hostWindow_ || hostProcessId_ == 0) return;
  DWORD owner = 0;
  GetWindowThreadProcessId(hostWindow_, &owner);
  if (owner == hostProcessId_) PostMessageW(hostWindow_, WM_QUIT, 0, 0);
}

void Launch::Finish() {
  if (finished_) return;
  finished_ = true;
  largeIcon_.reset();
  smallIcon_.reset();
  if (aborted_) {
    if (hostWait_ && hostWait_->application()) CloseAndQuitHost(Host());
    ReleaseHost();
    PostQuitToHostWindow();
    if (hostProcess_) {
      const HANDLE process = hostProcess_.get();
      WaitServingSentMessages(1, &process, kHostExitWaitMs);
    }
    log_.Event("host closed");
    RemoveLaunchFiles(files_);
    log_.Event("files removed");
  } else if (ExternalStorageMode()) {
    // The host still holds the add-in when the add-in gives the close
    // signal: the files go once it has ended, or after the same bounded wait
    // as for an aborted launch.
    if (hostProcess_) {
      const HANDLE process = hostProcess_.get();
      WaitServingSentMessages(1, &process, kHostExitWaitMs);
    }
    RemoveLaunchFiles(files_);
    log_.Event("files removed");
  }
}

void Launch::WaitForCloseSignal() {
  // No reset before this wait: the close event is reset only when it is
  // created, so a signal the add-in gave at any time since is not lost.
  if (!ExternalStorageMode() || aborted_ || !events_.closeEvent || events_.closeWaiter.Seen() || !hostProcess_) {
    return;
  }
  const HANDLE handles[] = {events_.closeEvent, hostProcess_.get()};
  const DWORD woken = WaitServingSentMessages(2, handles, INFINITE);
  log_.Event("close wait", woken == WAIT_OBJECT_0 ? "close signal" : "the host ended");
}

}  // namespace brisk

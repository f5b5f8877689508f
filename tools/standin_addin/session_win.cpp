#include "session_win.h"

#include <algorithm>
#include <cwchar>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "base/wide_text.h"
#include "host/aux_workbook.h"
#include "host/handover_messages.h"
#include "host_windows_win.h"
#include "payload/encoded_strings.h"
#include "standin_addin.h"
#include "tools/addin_protocol/command_file.h"
#include "tools/addin_protocol/embedded_config.h"

namespace brisk::addin {

namespace {

constexpr ConfigSlot EmptyConfigSlot() {
  ConfigSlot slot{};
  for (std::size_t i = 0; i < kConfigSlotMarkerBytes; ++i) slot.marker[i] = kConfigSlotMarker[i];
  return slot;
}

// Tests write a configuration path here in their copy of the image; volatile,
// so that every read looks at the image as it was loaded.
__attribute__((used)) volatile ConfigSlot gConfigSlot = EmptyConfigSlot();

// The title of a configured dialog, by which its timer finds it.
constexpr wchar_t kDialogTitle[] = L"Stand-in add-in";
// The retry of a dialog timer that found no box yet.
constexpr UINT kDialogRetryMs = 20;
// Exit code of a configured crash: that of an access violation, as a host
// that died of one inside the add-in.
constexpr UINT kCrashExitCode = 0xC0000005;

// How long a window of the launcher may take to answer the broadcast before
// the next one is sent (it should take far less), and how long any other.
constexpr UINT kLauncherAnswerMs = 10000;
constexpr UINT kOtherAnswerMs = 1000;

BOOL CALLBACK CollectTopLevelWindow(HWND window, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

// Whether the dialog timer of this thread ended the box shown last.
thread_local bool tDialogClosedByTimer = false;

std::mutex gSessionMutex;
std::shared_ptr<Session> gSession;

// UTF-8 for the log: an unpaired surrogate becomes U+FFFD instead of losing
// the whole text.
std::string LogText(std::wstring_view text) { return Utf16ToUtf8Lossy(ToU16(text), U'\uFFFD'); }

// Pins this module in the process: the subclassed windows, the queue hooks
// and the delayed signals all run its code for as long as the host lives.
HMODULE PinSelf() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&PinSelf), &self);
  return self;
}

std::wstring ModulePath(HMODULE module) {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
  return content;
}

std::wstring EmbeddedConfigFile() {
  std::wstring path;
  for (std::size_t i = 0; i < kConfigSlotPathUnits && gConfigSlot.path[i]; ++i) {
    path.push_back(static_cast<wchar_t>(gConfigSlot.path[i]));
  }
  return path;
}

// The configuration beside the module wins over the one named in the image.
std::wstring ConfigFile(const std::wstring& modulePath) {
  const std::size_t dot = modulePath.find_last_of(L'.');
  const std::size_t slash = modulePath.find_last_of(L"\\/");
  const std::wstring stem = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)
                                ? modulePath.substr(0, dot)
                                : modulePath;
  const std::wstring beside = stem + kConfigExtension;
  if (GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
  return EmbeddedConfigFile();
}

bool Exists(const std::wstring& path) {
  return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RecordCommandFile(LogFile& log, const std::wstring& folder) {
  CommandFileRecord record;
  const std::wstring path = folder + ToWide(GetEncodedStringW(kCommandLineFileName));
  record.path = LogText(path);
  if (const auto bytes = ReadWholeFile(path)) {
    const CommandFileContent content = SplitCommandFile(*bytes);
    record.found = true;
    record.lineFeed = content.lineFeed;
    record.commandLine = content.commandLine;
    record.workbookPath = content.workbookPath;
    record.workbookExists = Exists(WideFromUtf8ForDisplay(content.workbookPath));
  }
  log.Write(std::move(record));
}

std::wstring EventName(int format, std::uint32_t processId) {
  wchar_t name[512] = {};
  std::swprintf(name, 512, ToWide(GetEncodedStringW(format)).c_str(), processId);
  return name;
}

UniqueHandle OpenNamedEvent(const std::wstring& name) {
  if (name.empty()) return UniqueHandle();
  return UniqueHandle(OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str()));
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t className[16] = {};
  wchar_t title[64] = {};
  GetClassNameW(window, className, 16);
  GetWindowTextW(window, title, 64);
  if (std::wcscmp(className, L"#32770") != 0 || std::wcscmp(title, kDialogTitle) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// A thread timer, run by the message box's own loop: ends the box of this
// thread, or looks again shortly when it is not there yet.
void CALLBACK EndDialogOnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&box));
  if (box == nullptr) {
    SetTimer(nullptr, timer, kDialogRetryMs, EndDialogOnTimer);
    return;
  }
  KillTimer(nullptr, timer);
  tDialogClosedByTimer = true;
  EndDialog(box, IDOK);
}

}  // namespace

std::shared_ptr<Session> CurrentSession() {
  std::lock_guard<std::mutex> lock(gSessionMutex);
  return gSession;
}

void SetCurrentSession(std::shared_ptr<Session> session) {
  std::lock_guard<std::mutex> lock(gSessionMutex);
  gSession = std::move(session);
}

void Session::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Delivery delivery) {
  MessageRecord record;
  record.order = ++order_;
  record.number = message;
  record.wParam = static_cast<std::uint64_t>(wParam);
  record.lParam = static_cast<std::int64_t>(lParam);
  record.delivery = delivery;
  record.visible = IsWindowVisible(window) != FALSE;
  record.window = reinterpret_cast<std::uintptr_t>(window);
  log_->Write(record);

  if (message == kMsgLauncherProcessId) launcherProcessId_ = static_cast<std::uint32_t>(wParam);
  Disturb(window, message);
  if (message == kMsgLauncherProcessId) OpenEvents(static_cast<std::uint32_t>(wParam));
  if (message == kMsgHandOverDone) SignalAfterHandOver();
}

void Session::OnSystemMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Delivery delivery) {
  SystemMessageRecord record;
  record.number = message;
  record.wParam = static_cast<std::uint64_t>(wParam);
  record.lParam = static_cast<std::int64_t>(lParam);
  record.delivery = delivery;
  record.window = reinterpret_cast<std::uintptr_t>(window);
  log_->Write(record);
}

void Session::Disturb(HWND window, UINT message) {
  if (config_.broadcastOnMessage == message && !broadcast_.exchange(true)) Broadcast(message);
  if (config_.dialog.message == message && !dialogShown_.exchange(true)) ShowDialog(window, message);
  if (config_.hang.message == message && !hung_.exchange(true)) Hang(window, message);
  if (config_.crashOnMessage == message) Crash(window, message);
}

// An empty message sent to every top-level window of the other processes,
// one after the other, from the thread that handles the hand-over, as a
// program that looks for DDE partners does. A window whose thread waits
// without serving sent messages holds the host up until it answers; the
// launcher's windows get the long time-out, and without
// SMTO_ABORTIFHUNG, so that a launcher that does not serve shows in the
// times recorded.
void Session::Broadcast(UINT message) {
  std::vector<HWND> windows;
  EnumWindows(CollectTopLevelWindow, reinterpret_cast<LPARAM>(&windows));
  BroadcastRecord record{0, message, 0, 0, 0, 0};
  const std::uint32_t launcher = launcherProcessId_;
  for (HWND target : windows) {
    DWORD process = 0;
    GetWindowThreadProcessId(target, &process);
    if (process == GetCurrentProcessId()) continue;
    const bool launchers = launcher != 0 && process == launcher;
    const ULONGLONG sent = GetTickCount64();
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(target, WM_NULL, 0, 0, launchers ? SMTO_NORMAL : SMTO_ABORTIFHUNG,
                        launchers ? kLauncherAnswerMs : kOtherAnswerMs, &answer);
    const auto tookMs = static_cast<std::uint32_t>(GetTickCount64() - sent);
    ++record.windows;
    record.longestMs = std::max(record.longestMs, tookMs);
    if (launchers) {
      ++record.launcherWindows;
      record.longestLauncherMs = std::max(record.longestLauncherMs, tookMs);
    }
  }
  log_->Write(record);
}

// A real modal message box owned by the host window: its loop handles
// whatever reaches the thread meanwhile, as a host's dialog would.
void Session::ShowDialog(HWND window, UINT message) {
  tDialogClosedByTimer = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, std::max<UINT>(config_.dialog.ms, USER_TIMER_MINIMUM), EndDialogOnTimer);
  const std::wstring text =
      L"Message " + std::to_wstring(message) + L" waits for this box (" + std::to_wstring(config_.dialog.ms) + L" ms).";
  const ULONGLONG shown = GetTickCount64();
  MessageBoxW(window, text.c_str(), kDialogTitle, MB_OK | MB_ICONINFORMATION);
  const ULONGLONG closed = GetTickCount64();
  // Closed by someone else first: its timer must not end a later box.
  if (!tDialogClosedByTimer && timer != 0) KillTimer(nullptr, timer);
  log_->Write(DialogRecord{0, message, reinterpret_cast<std::uintptr_t>(window), config_.dialog.ms,
                           static_cast<std::uint32_t>(closed - shown), tDialogClosedByTimer});
}

// Sleeps without looking at the queue: the window is hung meanwhile.
void Session::Hang(HWND window, UINT message) {
  log_->Write(HangRecord{0, message, reinterpret_cast<std::uintptr_t>(window), config_.hang.ms});
  Sleep(config_.hang.ms);
}

void Session::Crash(HWND window, UINT message) {
  log_->Write(CrashRecord{0, message, reinterpret_cast<std::uintptr_t>(window), kCrashExitCode});
  TerminateProcess(GetCurrentProcess(), kCrashExitCode);
}

void Session::OpenEvents(std::uint32_t launcherProcessId) {
  closeName_ = EventName(kCloseEventFormat, launcherProcessId);
  readyName_ = EventName(kReadyEventFormat, launcherProcessId);
  closeEvent_ = OpenNamedEvent(closeName_);
  readyEvent_ = OpenNamedEvent(readyName_);
  log_->Write(EventsRecord{0, launcherProcessId, LogText(closeName_), LogText(readyName_),
                           static_cast<bool>(closeEvent_), static_cast<bool>(readyEvent_)});
}

void Session::SignalAfterHandOver() {
  Signal("ready", readyEvent_, readyName_, config_.ready);
  Signal("close", closeEvent_, closeName_, config_.close);
}

void Session::Signal(const char* which, UniqueHandle& held, const std::wstring& name, const SignalPlan& plan) {
  SignalRecord record{0, which, std::string(SignalActionName(plan.action)), plan.delayMs, ""};
  // An event that did not exist at kMsgLauncherProcessId may exist by now.
  UniqueHandle event = held ? std::move(held) : OpenNamedEvent(name);
  if (plan.action == SignalAction::Never) {
    record.state = "skipped";
  } else if (!event) {
    record.state = "missing";
  } else if (plan.action == SignalAction::Signal || plan.delayMs == 0) {
    record.state = SetEvent(event.get()) ? "signalled" : "failed";
  } else {
    record.state = "scheduled";
    std::thread([event = std::move(event), record, log = log_]() mutable {
      Sleep(record.delayMs);
      record.state = SetEvent(event.get()) ? "signalled" : "failed";
      log->Write(record);
    }).detach();
  }
  log_->Write(record);
}

int Attach(LONG code, IDispatch* application, LONG_PTR reserved) {
  const std::wstring modulePath = ModulePath(PinSelf());
  const std::wstring configFile = ConfigFile(modulePath);
  ConfigResult config;
  std::string configProblem;
  if (!configFile.empty()) {
    if (const auto text = ReadWholeFile(configFile)) {
      config = ParseAddinConfig(*text);
    } else {
      configProblem = "cannot read the configuration " + LogText(configFile);
    }
  }
  auto log = std::make_shared<LogFile>(ToWide(config.config.logPath));

  AttachRecord attach;
  attach.code = code;
  attach.application = application != nullptr;
  attach.third = static_cast<std::int64_t>(reserved);
  attach.process = GetCurrentProcessId();
  attach.bits = static_cast<int>(sizeof(void*) * 8);
  attach.module = LogText(modulePath);
  std::vector<HWND> windows;
  if (code == kFirstContactCode) windows = FindHostWindows();
  attach.windows = static_cast<int>(windows.size());
  log->Write(attach);
  if (!configProblem.empty()) log->Note(configProblem);
  for (const auto& fault : config.faults) log->Note("configuration: " + fault);
  if (code != kFirstContactCode) return 0;

  RecordCommandFile(*log, FolderOf(modulePath));
  SetCurrentSession(std::make_shared<Session>(config.config, log));
  WatchHostWindows(windows);
  return windows.empty() ? 0 : 1;
}

void RecordCall(const char* function) {
  if (const auto session = CurrentSession()) session->log().Write(CallRecord{0, function});
}

}  // namespace brisk::addin

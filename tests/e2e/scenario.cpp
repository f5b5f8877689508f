#include "scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "base/unique_handle.h"
#include "host/aux_workbook.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"
#include "sign_command.h"
#include "standin_registration.h"
#include "tools/addin_protocol/embedded_config.h"
#include "tools/addin_protocol/handover_contract.h"
#include "tests/support/question_answerer.h"
#include "tools/json/json_io.h"

namespace brisk::e2e {

namespace {

constexpr DWORD kPollMs = 25;
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr wchar_t kHostExeName[] = L"standin_host.exe";
constexpr wchar_t kToolExeName[] = L"launcher-tool.exe";
constexpr wchar_t kLaunchLogName[] = L"launch.log";

// The class of the host's main window.
std::wstring HostMainClass() { return Wide(GetEncodedStringA(kHostWindowClass)); }

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// The scenario's folder, named after the running test, in a folder of the
// end-to-end tests under the temporary root.
std::wstring ScenarioFolderPath() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "scenario";
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == ':') c = '_';
  }
  const std::wstring base = TempRoot() + L"\\brisk-e2e";
  CreateDirectoryW(base.c_str(), nullptr);
  return base + L"\\" + Wide(name) + L"-" + std::to_wstring(GetCurrentProcessId());
}

std::string ToolOutput(const std::wstring& path) { return ReadFileBytes(path).value_or(""); }

// The stand-in host of this build's bitness registers in its own view.
#ifdef BRISK_STANDIN_64BIT
constexpr standin::RegistryView kHostRegistryView = standin::RegistryView::k64Bit;
#else
constexpr standin::RegistryView kHostRegistryView = standin::RegistryView::kNative;
#endif

// A copy of a stand-in add-in that finds its configuration at `config`;
// empty on success, else what went wrong.
std::string WriteConfiguredAddin(const std::wstring& original, const std::wstring& copy, const std::wstring& config) {
  const std::optional<std::string> image = ReadFileBytes(original);
  if (!image) return "cannot read the stand-in add-in " + Utf8(original);
  std::vector<std::uint8_t> bytes(image->begin(), image->end());
  if (auto fault = addin::EmbedConfigPath(bytes, std::u16string(config.begin(), config.end()))) return *fault;
  if (!WriteFileBytes(copy, std::string(bytes.begin(), bytes.end()))) return "cannot write " + Utf8(copy);
  return {};
}

// The test's environment with TMP and TEMP set to the scenario's temporary
// folder, as a user's session would have them, the launch log in the
// scenario's folder (for the failure report), and the silence limit the
// scenario asks for.
ChildOptions LauncherEnvironment(const Scenario& scenario, DWORD hostSilenceLimitMs) {
  ChildOptions options;
  options.environment = {{L"TMP", scenario.tempFolder()},
                         {L"TEMP", scenario.tempFolder()},
                         {L"BRISK_LAUNCH_LOG", scenario.Path(kLaunchLogName)}};
  if (hostSilenceLimitMs != 0)
    options.environment.emplace_back(L"BRISK_HOST_SILENCE_MS", std::to_wstring(hostSilenceLimitMs));
  return options;
}

bool IsMessageBox(const WindowInfo& window) {
  return window.visible && window.className == L"#32770" && GetDlgItem(window.handle, kMessageBoxTextId);
}

// A working folder's name: 8 characters of digits and lower-case letters,
// the first no digit.
bool IsRandomName(std::wstring_view name) {
  if (name.size() != 8 || (name[0] >= L'0' && name[0] <= L'9')) return false;
  return std::all_of(name.begin(), name.end(),
                     [](wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z'); });
}

BOOL CALLBACK CollectResourceId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::vector<int>*>(ids)->push_back(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
  }
  return TRUE;
}

}  // namespace

LauncherRun::LauncherRun(Scenario& scenario, const std::wstring& exe, const std::wstring& arguments)
    : scenario_(scenario), process_(exe, arguments, LauncherEnvironment(scenario, scenario.hostSilenceLimitMs())) {}

LauncherRun::~LauncherRun() {
  if (process_.End()) {
    scenario_.NoteLeftover("launcher " + Utf8(process_.commandLine()) + " (process " + std::to_string(process_.id()) +
                           ") was still running at the end");
  }
}

void LauncherRun::Watch() {
  const ULONGLONG now = GetTickCount64();
  for (const WindowInfo& window : TopLevelWindows(process_.id())) {
    if (!window.visible) continue;
    auto known =
        std::find_if(seen_.begin(), seen_.end(), [&](const SeenWindow& s) { return s.handle == window.handle; });
    if (known == seen_.end()) {
      seen_.push_back({window.handle, window.className, {}, {}, now, now});
      known = seen_.end() - 1;
    }
    known->lastSeen = now;
    if (!window.title.empty()) known->title = window.title;
    if (known->IsDialog()) {
      std::wstring text = ItemText(window.handle, kMessageBoxTextId);
      if (!text.empty()) known->text = std::move(text);
    }
  }
}

bool LauncherRun::Kill() { return process_.End(); }

std::optional<DWORD> LauncherRun::WaitForExit(DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    Watch();
    if (std::optional<DWORD> code = process_.WaitForExit(kPollMs)) return code;
    if (GetTickCount64() >= deadline) return std::nullopt;
  }
}

bool LauncherRun::WaitUntil(const std::function<bool()>& done, DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    Watch();
    if (done()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
}

HWND LauncherRun::WaitForDialog(DWORD milliseconds) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (const WindowInfo& window : TopLevelWindows(process_.id())) {
          if (window.visible && window.className == L"#32770") found = window.handle;
        }
        return found != nullptr;
      },
      milliseconds);
  Watch();
  return found;
}

HWND LauncherRun::WaitForMessageBox(DWORD milliseconds) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (const WindowInfo& window : TopLevelWindows(process_.id())) {
          if (IsMessageBox(window) && !GetDlgItem(window.handle, IDRETRY)) found = window.handle;
        }
        return found != nullptr;
      },
      milliseconds);
  Watch();
  return found;
}

HWND LauncherRun::WaitForQuestion(DWORD milliseconds) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = test::FindQuestionBox(process_.id())) != nullptr; }, milliseconds);
  Watch();
  return found;
}

bool LauncherRun::QuestionShown() const { return test::FindQuestionBox(process_.id()) != nullptr; }

HWND LauncherRun::WaitForSplash(DWORD milliseconds) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = ShownSplash()) != nullptr; }, milliseconds);
  return found;
}

HWND LauncherRun::ShownSplash() const {
  for (const WindowInfo& window : TopLevelWindows(process_.id())) {
    if (window.visible && window.className != L"#32770") return window.handle;
  }
  return nullptr;
}

std::vector<SeenWindow> LauncherRun::SeenDialogs() const {
  std::vector<SeenWindow> dialogs;
  for (const SeenWindow& window : seen_) {
    if (window.IsDialog()) dialogs.push_back(window);
  }
  return dialogs;
}

std::optional<SeenWindow> LauncherRun::SeenSplash() const {
  for (const SeenWindow& window : seen_) {
    if (!window.IsDialog()) return window;
  }
  return std::nullopt;
}

MessageBoxText ReadMessageBox(HWND box) {
  return {WindowText(box), ItemText(box, kMessageBoxTextId), GetWindow(box, GW_OWNER)};
}

Scenario::Scenario() : folder_(ScenarioFolderPath()) {
  CreateDirectoryW(appFolder().c_str(), nullptr);
  CreateDirectoryW(tempFolder().c_str(), nullptr);
}

Scenario::~Scenario() { UnregisterHost(); }

void Scenario::UseTempFolder(const std::wstring& name, bool make) {
  tempName_ = name;
  if (make) CreateDirectoryW(tempFolder().c_str(), nullptr);
}

std::string Scenario::workbookContent() const {
  return "end-to-end workbook of " + Utf8(root().substr(root().find_last_of(L'\\') + 1)) + "\n";
}

void Scenario::SetAddin(const AddinSetup& setup, const std::wstring& logName) {
  json::Json config = {{"log", Utf8(Path(logName))},
                       {"ready", setup.ready},
                       {"readyDelayMs", setup.readyDelayMs},
                       {"close", setup.close},
                       {"closeDelayMs", setup.closeDelayMs}};
  if (setup.dialogOnMessage) {
    config["dialogOnMessage"] = *setup.dialogOnMessage;
    config["dialogMs"] = setup.dialogMs;
  }
  if (setup.hangOnMessage) {
    config["hangOnMessage"] = *setup.hangOnMessage;
    config["hangMs"] = setup.hangMs;
  }
  if (setup.crashOnMessage) config["crashOnMessage"] = *setup.crashOnMessage;
  if (setup.broadcastOnMessage) config["broadcastOnMessage"] = *setup.broadcastOnMessage;
  WriteFileBytes(Path(L"addin.json"), json::OneLine(config) + "\n");
  if (std::find(addinLogs_.begin(), addinLogs_.end(), logName) == addinLogs_.end()) addinLogs_.push_back(logName);
}

void Scenario::SetHost(const HostSetup& setup, const std::wstring& logName) {
  const int major = std::atoi(setup.version.c_str());
  hostMajor_ = major > 0 ? std::optional<int>(major) : std::nullopt;
  std::string config = "log=" + Utf8(Path(logName)) + "\n";
  config += "version=" + setup.version + "\n";
  if (!setup.installPath.empty()) config += "install_path=" + Utf8(setup.installPath) + "\n";
  config += "int_1209=" + std::to_string(kHostInt1209) + "\n";
  config += "ui_language=" + std::to_string(kHostUiLanguage) + "\n";
  for (const std::string& line : setup.extra) config += line + "\n";
  const std::wstring configPath = Path(logName + L".cfg");
  WriteFileBytes(configPath, config);
  standin::RegisterStandinHost(WinePath(BRISK_STANDIN_HOST_EXE), configPath, kHostRegistryView);
  if (std::find(hostLogs_.begin(), hostLogs_.end(), logName) == hostLogs_.end()) hostLogs_.push_back(logName);
}

void Scenario::UnregisterHost() { standin::UnregisterStandinHost(kHostRegistryView); }

std::string Scenario::Build(const BuildSetup& setup) {
  const std::string made = MakeBuild(setup);
  if (!made.empty()) return made;
#ifdef BRISK_STANDIN_64BIT
  constexpr int kFirstHostWith64BitBuilds = 14;
  if (hostMajor_ && *hostMajor_ < kFirstHostWith64BitBuilds) {
    const std::optional<std::string> addin64 = ReadFileBytes(Path(L"briskstub64.dll"));
    if (!addin64) return "the build carries no 64-bit stand-in add-in for the 32-bit slot";
    PayloadBuffer packed;
    if (!PackContainer(reinterpret_cast<const std::uint8_t*>(addin64->data()), addin64->size(), packed)) {
      return "cannot pack the 64-bit stand-in add-in";
    }
    return ReplacePayloads({{kAddin32Resource, std::vector<std::uint8_t>(packed.begin(), packed.end())}});
  }
#endif
  return {};
}

std::string Scenario::MakeBuild(const BuildSetup& setup) {
  WriteFileBytes(Path(L"workbook.bin"), workbookContent());
  WriteFileBytes(Path(L"auxiliary.bin"), std::string(kAuxWorkbookMagic) + "end-to-end scenario\n");

  // Each slot holds the stand-in add-in of its bitness, as a maker's build
  // does: the builder refuses any other.
  const std::string fault =
      WriteConfiguredAddin(WinePath(BRISK_STANDIN_ADDIN_DLL), Path(L"briskstub32.dll"), Path(L"addin.json"));
  if (!fault.empty()) return fault;

  std::string manifest = "name = " + std::string(kAppName) + "\nversion = 1.2.3\ninfo = End-to-end scenario\n";
  if (!setup.flags.empty()) {
    manifest += "flags = ";
    for (std::size_t i = 0; i < setup.flags.size(); ++i) manifest += (i ? " | " : "") + setup.flags[i];
    manifest += "\n";
  }
  if (!setup.password.empty()) manifest += "password = " + setup.password + "\n";
  manifest += std::string("format = ") + setup.format + "\n";
  if (setup.magic) manifest += "magic = " + std::to_string(*setup.magic) + "\n";
  // Every input lies beside the manifest and is named relative to it, so that
  // the native launcher-tool reads the manifest as the Windows one does.
  manifest += "workbook = workbook.bin\naux-workbook = auxiliary.bin\naddin32 = briskstub32.dll\n";
#ifdef BRISK_STANDIN_ADDIN64_DLL
  if (setup.addin64) {
    const std::string fault64 =
        WriteConfiguredAddin(WinePath(BRISK_STANDIN_ADDIN64_DLL), Path(L"briskstub64.dll"), Path(L"addin.json"));
    if (!fault64.empty()) return fault64;
    manifest += "addin64 = briskstub64.dll\n";
  }
#endif
  if (setup.licence) {
    WriteFileBytes(Path(L"licence.txt"), "Licence of <?APPNAME?> for an end-to-end scenario.\r\n");
    manifest += "licence = licence.txt\n";
  }
  if (!setup.language.empty()) {
    WriteFileBytes(Path(L"language.txt"), setup.language);
    manifest += "language = language.txt\n";
  }
  if (setup.splash) {
    if (!CopyFileW(WinePath(BRISK_SAMPLES_DIR "/splash.jpg").c_str(), Path(L"splash.jpg").c_str(), FALSE)) {
      return "cannot copy the sample's splash picture";
    }
    manifest += "splash = splash.jpg\n";
  }
  WriteFileBytes(Path(L"manifest.txt"), manifest);

  const std::wstring output = Path(L"tool.log");
#ifdef BRISK_NATIVE_LAUNCHER_TOOL
  // The build is made by the native launcher-tool when its tree is there, as
  // a maker's Linux pipeline makes it, from the launcher beside this tree's
  // launcher-tool.exe (the same bytes as that tool's build, which
  // same_bytes_native_and_windows checks); else by launcher-tool.exe.
  if (GetFileAttributesW(WinePath(BRISK_NATIVE_LAUNCHER_TOOL).c_str()) != INVALID_FILE_ATTRIBUTES) {
    const std::wstring toolExe = WinePath(BRISK_LAUNCHER_TOOL_EXE);
    const std::wstring launcher = toolExe.substr(0, toolExe.find_last_of(L'\\') + 1) + L"launcher.exe";
    const std::string quotedExe = QuotedForShell(exe());
    const std::string quotedLauncher = QuotedForShell(launcher);
    if (quotedExe.empty() || quotedLauncher.empty()) return "no Unix path for the build or the launcher";
    const std::string command = "timeout -s KILL " + std::to_string(kToolMs / 1000) + " " +
                                ShellQuoted(BRISK_NATIVE_LAUNCHER_TOOL) + " build manifest.txt " + quotedExe +
                                " --launcher " + quotedLauncher;
    const ShellOutcome outcome = RunShellCommand(command, root(), output);
    if (!outcome.started) return "the native launcher-tool did not start: " + outcome.startError;
    if (outcome.status != 0) {
      return "native launcher-tool build failed (" + std::to_string(outcome.status) + "): " + ToolOutput(output);
    }
    return {};
  }
#endif
  ChildOptions toolOptions;
  toolOptions.outputFile = output;
  ChildProcess tool(WinePath(BRISK_LAUNCHER_TOOL_EXE), L"build \"" + Path(L"manifest.txt") + L"\" \"" + exe() + L"\"",
                    toolOptions);
  if (!tool.started()) return "launcher-tool.exe did not start";
  const std::optional<DWORD> code = tool.WaitForExit(kToolMs);
  if (!code) return "launcher-tool.exe did not finish";
  if (*code != 0) return "launcher-tool.exe build failed (" + std::to_string(*code) + "): " + ToolOutput(output);
  return {};
}

std::string Scenario::ReplacePayloads(const std::vector<PayloadResource>& resources) {
  return WritePayloadResources(exe(), resources) ? std::string() : "cannot replace payload resources of " + Utf8(exe());
}

std::string Scenario::RemovePayload(int id) {
  const std::wstring type = Wide(GetEncodedStringA(kPayloadResourceType));
  std::vector<PayloadResource> kept;
  {
    const UniqueModule build(LoadLibraryExW(exe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!build) return "cannot read the resources of " + Utf8(exe());
    std::vector<int> ids;
    EnumResourceNamesW(build.get(), type.c_str(), CollectResourceId, reinterpret_cast<LONG_PTR>(&ids));
    for (int payload : ids) {
      if (payload == id) continue;
      const HRSRC found = FindResourceW(build.get(), MAKEINTRESOURCEW(payload), type.c_str());
      const HGLOBAL loaded = found ? LoadResource(build.get(), found) : nullptr;
      const auto* data = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
      if (!data) return "cannot read payload " + std::to_string(payload) + " of " + Utf8(exe());
      kept.push_back({payload, std::vector<std::uint8_t>(data, data + SizeofResource(build.get(), found))});
    }
  }
  const std::wstring tool = WinePath(BRISK_LAUNCHER_TOOL_EXE);
  const std::wstring launcher = tool.substr(0, tool.find_last_of(L'\\')) + L"\\launcher.exe";
  if (!CopyFileW(launcher.c_str(), exe().c_str(), FALSE)) return "cannot copy " + Utf8(launcher);
  return ReplacePayloads(kept);
}

std::unique_ptr<LauncherRun> Scenario::Start(const std::wstring& arguments) {
  const std::wstring name = exe().substr(exe().find_last_of(L'\\') + 1);
  if (std::find(exeNames_.begin(), exeNames_.end(), name) == exeNames_.end()) exeNames_.push_back(name);
  return std::make_unique<LauncherRun>(*this, exe(), arguments);
}

addin::AddinLog Scenario::AddinLog(const std::wstring& logName) const {
  return addin::ParseAddinLog(ReadFileBytes(Path(logName)).value_or(""));
}

HostCallLog Scenario::HostLog(const std::wstring& logName) const {
  return HostCallLog::Parse(ReadFileBytes(Path(logName)).value_or(""));
}

std::vector<std::wstring> Scenario::TempTree() const { return ListTree(tempFolder()); }

std::vector<DWORD> Scenario::HostProcesses() const {
  std::vector<DWORD> ids;
  for (const std::wstring& log : hostLogs_) {
    for (std::uint32_t id : HostLog(log).StartedProcesses()) ids.push_back(id);
  }
  return ids;
}

HWND Scenario::HostMainWindow(DWORD hostId) const {
  for (const WindowInfo& window : TopLevelWindows(hostId)) {
    if (window.className == HostMainClass()) return window.handle;
  }
  return nullptr;
}

bool Scenario::WaitForHostsToExit(DWORD milliseconds) const {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  bool all = true;
  for (const std::wstring& logName : hostLogs_) {
    const HostCallLog log = HostLog(logName);
    for (std::uint32_t id : log.StartedProcesses()) {
      const ULONGLONG now = GetTickCount64();
      if (WaitForProcessExit(id, now < deadline ? static_cast<DWORD>(deadline - now) : 0)) continue;
      // A stand-in host that has logged the end of its message loop has done
      // what it was asked; under Wine its process now and then stays in its
      // COM shutdown. That is the test equipment's fault, not the launcher's.
      if (log.Events("exit").size() == log.StartedProcesses().size()) {
        EndProcessById(id);
        std::cerr << "note: stand-in host " << id << " ended its run but not its process; ended by the test\n";
        continue;
      }
      all = false;
    }
  }
  return all;
}

bool Scenario::CloseHostsAsUser(DWORD milliseconds) const {
  for (DWORD id : HostProcesses()) {
    for (const WindowInfo& window : TopLevelWindows(id)) {
      if (window.className == HostMainClass()) PostMessageW(window.handle, WM_CLOSE, 0, 0);
    }
  }
  return WaitForHostsToExit(milliseconds);
}

std::vector<std::string> Scenario::EndLeftovers() {
  std::vector<std::string> left = std::move(leftovers_);
  leftovers_.clear();
  std::vector<std::wstring> names = exeNames_;
  names.push_back(kHostExeName);
  names.push_back(kToolExeName);
  for (const ProcessInfo& process : RunningProcesses()) {
    if (process.id == GetCurrentProcessId()) continue;
    const bool ours = std::any_of(names.begin(), names.end(),
                                  [&](const std::wstring& name) { return EqualNoCase(name, process.exeName); });
    if (!ours) continue;
    EndProcessById(process.id);
    left.push_back(Utf8(process.exeName) + " (process " + std::to_string(process.id) + ") was still running");
  }
  return left;
}

std::string Scenario::Diagnostics() const {
  std::string text = "scenario folder: " + Utf8(root()) + "\n";
  for (const std::wstring& log : addinLogs_) {
    text += "--- add-in log " + Utf8(log) + "\n" + ReadFileBytes(Path(log)).value_or("(none)\n");
  }
  for (const std::wstring& log : hostLogs_) {
    text += "--- host log " + Utf8(log) + "\n" + ReadFileBytes(Path(log)).value_or("(none)\n");
  }
  text += "--- launch log\n" + ReadFileBytes(Path(kLaunchLogName)).value_or("(none)\n");
  text += "--- temporary folder\n";
  for (const std::wstring& entry : TempTree()) text += Utf8(entry) + "\n";
  return text;
}

addin::HandoverExpectation CompletedHandover(DWORD launcherId) {
  addin::HandoverExpectation expect;
  expect.launcherProcessId = launcherId;
  expect.intProperty1209 = kHostInt1209;
  expect.languageByte = static_cast<std::uint8_t>(kHostUiLanguage & 0xFF);
  expect.optionValue = 0;
  expect.exePathKnown = true;
  expect.settingsRecord = true;
  expect.completed = true;
  expect.externalStorage = false;
  expect.quitPosted = false;
  return expect;
}

std::wstring WorkingFolderName(const Scenario& scenario, const addin::AddinLog& log) {
  if (log.attaches.empty()) return {};
  const std::wstring module = Wide(log.attaches.front().module);
  const std::wstring prefix = scenario.tempFolder() + L"\\";
  if (!StartsWithNoCase(module, prefix)) return {};
  const std::wstring rest = module.substr(prefix.size());
  return rest.substr(0, rest.find(L'\\'));
}

bool IconsReachOtherProcesses(const Scenario& scenario, HWND hostWindow) {
  const auto smallIcons = [&scenario] {
    std::size_t count = 0;
    for (const addin::SystemMessageRecord& m : scenario.AddinLog().systemMessages) {
      if (m.number == addin::kMsgSetIcon && m.wParam == ICON_SMALL) ++count;
    }
    return count;
  };
  const std::size_t before = smallIcons();
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hostWindow, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadIconW(nullptr, IDI_APPLICATION)),
                      SMTO_ABORTIFHUNG, kDialogMs, &result);
  return smallIcons() > before;
}

std::vector<std::string> CheckHandoverFiles(const Scenario& scenario, const addin::AddinLog& log,
                                            const LauncherRun& run, const std::wstring& workbookName) {
  std::vector<std::string> faults;
  if (log.attaches.size() != 1) {
    faults.push_back("the add-in made first contact " + std::to_string(log.attaches.size()) + " times");
    return faults;
  }
  const std::wstring folderName = WorkingFolderName(scenario, log);
  const std::wstring folder = scenario.tempFolder() + L"\\" + folderName;
  if (!IsRandomName(folderName)) {
    faults.push_back("the add-in ran from " + log.attaches.front().module + ", not from a fresh working folder in " +
                     Utf8(scenario.tempFolder()));
  }
  if (!EqualNoCase(Wide(log.attaches.front().module), folder + L"\\briskstub.dll")) {
    faults.push_back("the add-in's file is " + log.attaches.front().module);
  }
  if (log.commandFiles.size() != 1) {
    faults.push_back("the add-in read " + std::to_string(log.commandFiles.size()) + " command-line files");
  } else {
    const addin::CommandFileRecord& file = log.commandFiles.front();
    if (!file.found) faults.push_back("the command-line file " + file.path + " was missing at first contact");
    if (!EqualNoCase(Wide(file.path), folder + L"\\briskcmd.txt")) {
      faults.push_back("the command-line file is " + file.path);
    }
    if (!file.lineFeed) faults.push_back("the command-line file has no line feed");
    if (Wide(file.commandLine) != run.commandLine()) {
      faults.push_back("the command-line file holds " + file.commandLine + " instead of " + Utf8(run.commandLine()));
    }
    if (!EqualNoCase(Wide(file.workbookPath), folder + L"\\" + workbookName)) {
      faults.push_back("the workbook path is " + file.workbookPath + " instead of " +
                       Utf8(folder + L"\\" + workbookName));
    }
    if (!file.workbookExists) faults.push_back("the workbook " + file.workbookPath + " did not exist at first contact");
  }
  const std::string pid = std::to_string(run.id());
  if (log.events.empty()) {
    faults.push_back("the add-in built no event names");
  } else {
    const addin::EventsRecord& events = log.events.front();
    if (events.readyName != "Local\\BriskReady_" + pid) faults.push_back("ready event " + events.readyName);
    if (events.closeName != "Local\\BriskClose_" + pid) faults.push_back("close event " + events.closeName);
  }
  return faults;
}

}  // namespace brisk::e2e

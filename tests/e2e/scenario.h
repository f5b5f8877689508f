// One end-to-end scenario: a folder of its own with the application build,
// the stand-in host's and the add-in's configuration and logs, and a private
// temporary folder for the launcher; the launcher started as a user starts
// it and watched while it runs; and every process of the scenario accounted
// for at the end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host_call_log.h"
#include "resource_writer_win.h"
#include "tools/addin_protocol/addin_log.h"
#include "tools/addin_protocol/conformance.h"
#include "win_driver.h"

namespace brisk::e2e {

// Bounds of every wait; generous, since a slow machine only makes a
// scenario slower, never different.
constexpr DWORD kLaunchMs = 60000;  // a whole launch, splash tail included
constexpr DWORD kDialogMs = 30000;
constexpr DWORD kHostExitMs = 20000;
constexpr DWORD kToolMs = 60000;

inline constexpr wchar_t kExeName[] = L"Sample.exe";
inline constexpr char kAppName[] = "Sample Planner";
// What the stand-in host answers, so that the hand-over's parameters show it.
constexpr std::int32_t kHostInt1209 = 7;
constexpr std::int32_t kHostUiLanguage = 1031;
// Host configuration lines: a product code whose fourth group reads 1000,
// the mark of a 64-bit host build, and one of a 32-bit build. Without one,
// the stand-in host reports its own bitness.
inline constexpr char kHostProductCode64[] = "product_code={3F2A5C10-7B44-4D21-1000-5E6F7A8B9C0D}";
inline constexpr char kHostProductCode32[] = "product_code={3F2A5C10-7B44-4D21-0000-5E6F7A8B9C0D}";

struct AddinSetup {
  std::string ready = "signal";  // "signal", "delay" or "never"
  std::uint32_t readyDelayMs = 0;
  std::string close = "signal";
  std::uint32_t closeDelayMs = 0;
  // While the add-in handles this window message (WM_SETICON or a hand-over
  // message): a modal dialog of its own for dialogMs, a hang that handles
  // no message for hangMs, or the end of the host's process.
  std::optional<std::uint32_t> dialogOnMessage;
  std::uint32_t dialogMs = 0;
  std::optional<std::uint32_t> hangOnMessage;
  std::uint32_t hangMs = 0;
  std::optional<std::uint32_t> crashOnMessage;
  // While it handles this message: an empty message sent to every top-level
  // window, the launcher's answers timed (addin::BroadcastRecord).
  std::optional<std::uint32_t> broadcastOnMessage;
};

struct HostSetup {
  std::string version = "16.0";
  std::wstring installPath;        // a folder with the host executable, or none
  std::vector<std::string> extra;  // further "key=value" lines
};

struct BuildSetup {
  std::vector<std::string> flags;  // names or numbers, as the manifest takes them
  std::string password;
  char format = '4';
  std::optional<std::uint32_t> magic;
  bool licence = false;
  bool splash = true;
  // A language file in the text form; none when empty.
  std::string language;
  // Whether a tree with a 64-bit stand-in add-in puts it in the build too
  // (the 32-bit stand-in add-in is in every build).
  bool addin64 = true;
};

struct SeenWindow {
  HWND handle = nullptr;
  std::wstring className;
  std::wstring title;
  std::wstring text;  // a message box's text (control 0xFFFF)
  ULONGLONG firstSeen = 0;
  ULONGLONG lastSeen = 0;
  bool IsDialog() const { return className == L"#32770"; }
};

class Scenario;

// A launcher started by the scenario. While the test waits for anything,
// the launcher's visible windows are watched and remembered.
class LauncherRun {
 public:
  LauncherRun(Scenario& scenario, const std::wstring& exe, const std::wstring& arguments);
  // A launcher still running here is ended and reported as left over.
  ~LauncherRun();
  LauncherRun(const LauncherRun&) = delete;
  LauncherRun& operator=(const LauncherRun&) = delete;

  bool started() const { return process_.started(); }
  DWORD id() const { return process_.id(); }
  std::wstring commandLine() const { return process_.commandLine(); }
  bool Running() const { return process_.Running(); }

  std::optional<DWORD> WaitForExit(DWORD milliseconds = kLaunchMs);
  // Ends the launcher as the test's own act (TerminateProcess, as a crash or
  // the task manager would); true when it was still running.
  bool Kill();
  // Waits until `done` holds; false after the time.
  bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds);
  // A visible dialog of the launcher (class "#32770"), or null.
  HWND WaitForDialog(DWORD milliseconds = kDialogMs);
  // A visible message box of the launcher (a dialog with a text control
  // 0xFFFF) that is no question, or null.
  HWND WaitForMessageBox(DWORD milliseconds = kDialogMs);
  // The question after the host's silence limit: a visible message box of
  // the launcher with a Retry button; null after the time.
  HWND WaitForQuestion(DWORD milliseconds = kDialogMs);
  // Whether the question is up now.
  bool QuestionShown() const;
  // The splash window: a visible window of the launcher that is no dialog.
  HWND WaitForSplash(DWORD milliseconds = kDialogMs);
  // Whether the launcher shows its splash window now.
  bool SplashShown() const { return ShownSplash() != nullptr; }

  const std::vector<SeenWindow>& seen() const { return seen_; }
  std::vector<SeenWindow> SeenDialogs() const;
  std::optional<SeenWindow> SeenSplash() const;

 private:
  void Watch();
  HWND ShownSplash() const;

  Scenario& scenario_;
  ChildProcess process_;
  std::vector<SeenWindow> seen_;
};

struct MessageBoxText {
  std::wstring caption;
  std::wstring text;
  HWND owner = nullptr;
};
MessageBoxText ReadMessageBox(HWND box);

class Scenario {
 public:
  // The folder is named after the running test.
  Scenario();
  // Unregisters the stand-in host; the folder goes with its owner.
  ~Scenario();
  Scenario(const Scenario&) = delete;
  Scenario& operator=(const Scenario&) = delete;

  const std::wstring& root() const { return folder_.path(); }
  std::wstring Path(const std::wstring& name) const { return root() + L"\\" + name; }
  std::wstring appFolder() const { return Path(L"app"); }
  // The launcher's temporary folder (its TMP and TEMP).
  std::wstring tempFolder() const { return Path(tempName_); }
  // From now on the launcher's temporary folder is `name` in the scenario's
  // folder, made here unless `make` is false; "tmp" at first.
  void UseTempFolder(const std::wstring& name, bool make = true);
  std::wstring exe() const { return appFolder() + L"\\" + exeName_; }
  // The build's file name; set before Build.
  void SetExeName(const std::wstring& name) { exeName_ = name; }
  // The content of the main workbook that the build carries.
  std::string workbookContent() const;

  // Writes the add-in's configuration (found through the path embedded in
  // the build's add-in); written again, it applies from the next first contact.
  void SetAddin(const AddinSetup& setup, const std::wstring& logName = L"addin.jsonl");
  // Writes the stand-in host's configuration and registers it as the host;
  // applies to the next host started.
  void SetHost(const HostSetup& setup, const std::wstring& logName = L"host.jsonl");
  void UnregisterHost();
  // Makes the application build with launcher-tool.exe; empty on success,
  // else what went wrong. A host older than 14 is a 32-bit one, which the
  // launcher never asks its bitness and gives the 32-bit add-in: in the
  // 64-bit tree, whose stand-in host loads 64-bit add-ins only, the build's
  // 32-bit slot then gets the 64-bit stand-in add-in once it is made (the
  // builder refuses to put it there), when the host was set before.
  std::string Build(const BuildSetup& setup);
  // Replaces payload resources of the build made; empty on success, else
  // what went wrong.
  std::string ReplacePayloads(const std::vector<PayloadResource>& resources);
  // Makes the build again without payload `id`: the launcher that ships
  // beside launcher-tool.exe with every other payload of the build made
  // before (Wine cannot take a resource out of an executable).
  std::string RemovePayload(int id);

  // Starts the build as a user would, with the scenario's own temporary folder.
  std::unique_ptr<LauncherRun> Start(const std::wstring& arguments);
  // The silence limit that launches in test mode are given from now on (the
  // launcher's test seam, core/launch_plan.h); 0 leaves the launcher's own.
  void SetHostSilenceLimit(DWORD milliseconds) { hostSilenceLimitMs_ = milliseconds; }
  DWORD hostSilenceLimitMs() const { return hostSilenceLimitMs_; }

  addin::AddinLog AddinLog(const std::wstring& logName = L"addin.jsonl") const;
  HostCallLog HostLog(const std::wstring& logName = L"host.jsonl") const;
  // Everything in the launcher's temporary folder.
  std::vector<std::wstring> TempTree() const;

  // Every host process that any host log of the scenario saw starting.
  std::vector<DWORD> HostProcesses() const;
  HWND HostMainWindow(DWORD hostId) const;
  bool WaitForHostsToExit(DWORD milliseconds = kHostExitMs) const;
  // Closes every host's main window as a user closes the application, then
  // waits for the hosts to end.
  bool CloseHostsAsUser(DWORD milliseconds = kHostExitMs) const;

  void NoteLeftover(std::string what) { leftovers_.push_back(std::move(what)); }
  // Ends every process of the scenario that still runs (launcher copies,
  // stand-in hosts, the build tool) by its id; returns them with the
  // leftovers noted before.
  std::vector<std::string> EndLeftovers();
  // The logs and the temporary folder, for a failure report.
  std::string Diagnostics() const;

 private:
  std::string MakeBuild(const BuildSetup& setup);

  TempFolder folder_;
  std::optional<int> hostMajor_;  // of the host set last
  std::wstring exeName_ = kExeName;
  std::wstring tempName_ = L"tmp";
  DWORD hostSilenceLimitMs_ = 0;
  std::vector<std::wstring> hostLogs_;
  std::vector<std::wstring> addinLogs_;
  std::vector<std::wstring> exeNames_;
  std::vector<std::string> leftovers_;
};

// The hand-over that the stand-in host's answers lead to in a completed
// default-mode launch of this launcher; scenarios change what differs.
addin::HandoverExpectation CompletedHandover(DWORD launcherId);

// The files of the hand-over as the add-in saw them: the add-in in a fresh
// working folder under the scenario's temporary folder, the command-line file
// beside it with the launcher's command line and the workbook's path, the
// workbook present; and the event names built from the launcher's id. One
// sentence per deviation.
std::vector<std::string> CheckHandoverFiles(const Scenario& scenario, const addin::AddinLog& log,
                                            const LauncherRun& run, const std::wstring& workbookName);

// The working folder of the hand-over (relative to the temporary folder),
// from the add-in's first contact; empty when there was none.
std::wstring WorkingFolderName(const Scenario& scenario, const addin::AddinLog& log);

// Whether the system carries WM_SETICON from this process to a window of
// another (Wine 8 does not: it cannot pack the icon for another process):
// sends one with ICON_SMALL to the host window and looks for it in the
// add-in's log. Call it after reading what the launch left in that log.
bool IconsReachOtherProcesses(const Scenario& scenario, HWND hostWindow);

}  // namespace brisk::e2e

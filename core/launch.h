// One launch of an application build: from the build settings to the
// hand-over to the add-in. The entry point owns the one Launch object.
//
// How a launch ends
// -----------------
// Every step of the launch does one of four things:
//  - it continues: the step returns normally;
//  - it ends the launch quietly: it throws LaunchEnded. The user cancelled or
//    declined, or the step has already told the user in a box of its own;
//  - it fails: it throws LaunchFailed, a notice4user that names one of the
//    launch's failures (core/launch_failure.h, with the one table from a
//    failure to the text the user sees), which the entry point shows in one
//    warning box;
//  - it fails in COM: a host call throws _com_error (a call that the user
//    gave up throws RPC_E_CALL_CANCELED).
// Run() is the one place that catches them and turns them into a
// LaunchOutcome. A COM failure becomes a notice that the host stopped
// responding, with the error's code and text; an exception of any other kind
// (out of memory, a broken text) becomes a notice of an unexpected error.
// Exceptions never cross a window procedure: a dialog whose procedure caught
// one returns a failed result, and its step raises the matching failure. No
// start fails without a word unless the user ended it. Work done for a
// launch that is already ending (closing the host or the splash, the final
// release) never raises: what fails there is written to the launch log.
//
// The one waiting rule
// ---------------------
// Every call to the host and every message to its window, from the host's
// start to the end of the launch, waits by one rule (host/host_wait_win.h):
// for as long as the host takes, since a host that is busy (a long load, a
// prompt of its own, an add-in at work) cannot be told from a hung one. No
// clock gives a host up. After the silence limit (kHostSilenceLimitMs,
// core/launch_plan.h; a test launch may shorten it) without an answer the
// user is asked: Retry (the default) waits on and asks again after the next
// limit, Cancel gives the host up; an answer that comes meanwhile closes the
// question and the launch goes on. The waits of the launch's thread serve
// the messages that other programs send to its windows meanwhile
// (base/message_wait_win.h). Whether the host is still within reach (not
// given up, its process not ended) is the HostWait's one state.
//
// Who may end a host
// ------------------
// No clock and no limit ends a host, and a host that the launch has let go
// of is never touched again. Only these may:
//  - A failure at the add-in's write or at the host build gate quits the
//    host (it has opened nothing yet) before the user is told.
//  - From the end of the hand-over messages to the release of the host (the
//    property 2788, the new-format check, the ready wait), any failure
//    closes the host's workbooks and quits it before the user is told.
//  - Every other failure leaves the host, when there is one, to Finish(),
//    which closes its workbooks and quits it.
//  - A host out of reach gets no call and no message but WM_QUIT, and only
//    to a window of the process the launcher started; the files go after the
//    bounded wait for it. A host the user runs is never sent anything.
//  - The splash's limit ends only the wait for the add-in: the host is let
//    go as after a hand-over, and keeps its files (a later sweep removes
//    them once it has ended); the user is told what to check.
//
// A launch that did not hand over is "aborted": its splash closes at once,
// and Finish() (after the entry point has shown the notice) closes the host's
// workbooks, quits it, posts WM_QUIT to its window, waits a bounded time for
// the host to end and removes the temporary files. After a hand-over the
// host runs on its own and the launcher holds no reference to it.
//
// Where the rules live
// --------------------
// What a launch shows, checks and waits for: core/launch_plan.h. Its
// failures: core/launch_failure.h. The private working folder (named, made,
// marked, found again): core/working_folder.h and working_folder_win.h; the
// files in it: core/workbook_name.h and core/temp_files.h; their removal:
// core/temp_cleanup.h. The payloads unpacked while the host starts:
// core/payload_preparation_win.h. The hand-over: core/hand_over_win.h.
//
// Threads
// -------
// A launch runs on the entry point's thread (a single-threaded COM
// apartment): every step, every dialog and box, the question included; only
// the host's calls and messages are made on the host's thread. Beside it:
//  - the splash thread (ui/splash.h) owns the splash window and its message
//    loop; it touches only its copy of the splash inputs, the splash picture
//    it loads itself, and is steered by two thread messages;
//  - the payload worker (core/payload_preparation_win.h) unpacks the add-ins
//    and the main workbook into its own PayloadPreparation while the host
//    starts; the launch takes the results only after joining it;
//  - the event waiters (core/hand_over_win.h) block on the ready and close
//    events and share only a reference-counted record with a flag;
//  - the host's thread (host/host_wait_win.h) owns the host's object and
//    makes every call to it and sends every message to its window, one at
//    a time, while the launch's thread waits for each by the waiting rule
//    (and asks the question itself); a host's thread held by a host given
//    up is let go and ends with the process.
// No other state is shared between threads.
//
// Every wait of a launch is bounded or can be ended by the user (the waits
// for the host by the question, the wait for the add-in by the splash); the
// bounds are the constants of launch_win.cpp and temp_files.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "base/unique_handle.h"
#include "core/command_line.h"
#include "core/hand_over_win.h"
#include "core/launch_failure.h"
#include "core/launch_plan.h"
#include "core/launch_log.h"
#include "core/temp_files.h"
#include "host/host_wait_win.h"
#include "payload/build_settings.h"
#include "payload/payload_buffer.h"
#include "text/macro_table.h"
#include "text/message_table.h"
#include "ui/splash.h"

namespace brisk {

// Thrown by a step to end the launch without a further message.
struct LaunchEnded {};

struct LaunchOutcome {
  enum class Kind {
    kHandedOver,  // the add-in has the workbook; the host runs on its own
    // The splash reached its limit before the add-in reported ready: the
    // host was let go as after a hand-over, and `notice` tells the user
    // what to check.
    kLetGo,
    kEnded,   // ended quietly (see above)
    kNotice,  // aborted: `notice` is to be shown to the user
  };
  Kind kind = Kind::kEnded;
  std::string notice;  // UTF-8, for kNotice and kLetGo
  // The host runs on its own: the launch did not abort.
  bool LetGoOfHost() const { return kind == Kind::kHandedOver || kind == Kind::kLetGo; }
};

// Where the executable lives: its full path as started and its folder
// (without trailing backslash; empty when it cannot be told).
struct ExecutableLocation {
  std::wstring path;
  std::wstring folder;
};

class Launch {
 public:
  // `log` (off unless the environment asks for it) must outlive the launch.
  Launch(ExecutableLocation executable, LaunchOptions options, LaunchLog& log);
  // Finish() if it has not run yet.
  ~Launch();
  Launch(const Launch&) = delete;
  Launch& operator=(const Launch&) = delete;

  // Runs the launch once, on the calling thread (a single-threaded COM
  // apartment).
  LaunchOutcome Run();

  // The texts for what the entry point tells the user.
  UserTexts Texts() { return UserTexts{&messageTable_, &macroTable_}; }

  // External storage mode (settings bit 0x20000): after a launch that let go
  // of the host, the launcher waits for the add-in's close signal, or for the
  // host to end, whichever comes first. Without a known host it does not
  // wait.
  bool ExternalStorageMode() const { return (settings_.flags & kFlagExternalStorage) != 0; }
  void WaitForCloseSignal();

  // The final release, once: after an aborted launch the host is closed and
  // the temporary files are removed; in external storage mode the files are
  // removed after a hand-over too.
  void Finish();

 private:
  // The user gave the host up, or its process ended: no further call or
  // message is sent to it.
  bool HostOutOfReach() const { return hostWait_ && !hostWait_->WithinReach(); }

  LaunchOutcome RunSteps();
  LaunchOutcome FinishHandOver();
  void FindHostProcess();
  HWND PrepareHostWindow(const HostApplication& host);
  // True when the splash reached its limit before the add-in was ready.
  bool WaitForAddinReady();
  void CloseAndQuitHost(const HostApplication& host);
  // The host's object, as a view whose calls wait by the rule.
  HostApplication Host() const {
    return HostApplication(hostWait_ ? hostWait_->application() : nullptr, hostWait_.get());
  }
  // Lets go of the host's object; a host out of reach keeps it until the
  // process ends.
  void ReleaseHost();
  void PostQuitToHostWindow();

  LaunchLog& log_;
  const ExecutableLocation executable_;
  const LaunchOptions options_;
  BuildSettings settings_;
  // What this launch shows, checks and waits for, once the settings are read.
  LaunchPlan plan_;
  // The raw settings record until the add-in has been sent it.
  PayloadBuffer rawRecord_;
  // The main workbook from the external storage file, until it is written.
  PayloadBuffer storedWorkbook_;
  PayloadBuffer licenceText_;
  std::unique_ptr<MacroEnvironment> macroEnvironment_;
  MacroTable macroTable_;
  MessageTable messageTable_;
  UniqueIcon largeIcon_;
  UniqueIcon smallIcon_;
  UniqueHandle instanceMutex_;
  // The host's object and thread, the waiting rule for every call and
  // message to the host, from its start to the end of the launch, and
  // whether the host is within reach.
  std::unique_ptr<HostWait> hostWait_;
  int hostMajorVersion_ = 0;
  HWND hostWindow_ = nullptr;
  // The host's process, once its window is known: waited for, never ended.
  UniqueHandle hostProcess_;
  DWORD hostProcessId_ = 0;
  LaunchFiles files_;
  Splash splash_;
  HandOverEvents events_;
  bool aborted_ = false;
  bool finished_ = false;
};

}  // namespace brisk

// One launch of an application build: from the build settings to the
// hand-over to the add-in. The entry point owns the one Launch object.
//
// How a launch ends
// -----------------
// Every step of the launch does one of four things:
//  - it continues: the step returns normally;
//  - it ends the launch quietly: it throws LaunchEnded. The user cancelled or
//    declined, or the step has already told the user in a box of its own;
//  - it raises a notice for the user: it throws notice4user with a ready-made
//    UTF-8 text, which the entry point shows in one warning box;
//  - it fails in COM: a host call throws _com_error.
// Run() is the one place that catches them and turns them into a
// LaunchOutcome. An exception of any other kind (out of memory, a broken
// text) ends the launch quietly, like LaunchEnded.
//
// A launch that did not hand over is "aborted": the final release (the
// destructor) closes the host's workbooks, quits it, posts WM_QUIT to its
// window and removes the temporary files. After a hand-over the host runs on
// its own and the launcher holds no reference to it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "base/com_ref.h"
#include "base/unique_handle.h"
#include "core/command_line.h"
#include "core/hand_over_win.h"
#include "core/notice4user.h"
#include "core/temp_files.h"
#include "payload/build_settings.h"
#include "payload/payload_buffer.h"
#include "text/macro_table.h"
#include "text/message_table.h"

namespace brisk {

// Thrown by a step to end the launch without a further message.
struct LaunchEnded {};

struct LaunchOutcome {
  enum class Kind {
    kHandedOver,  // the add-in has the workbook; the host runs on its own
    kEnded,       // ended quietly (see above)
    kNotice,      // `notice` is to be shown to the user
    kComFailure,  // a host call failed
  };
  Kind kind = Kind::kEnded;
  std::string notice;  // UTF-8, for kNotice
};

// Where the executable lives: its full path as started and its folder
// (without trailing backslash; empty when it cannot be told).
struct ExecutableLocation {
  std::wstring path;
  std::wstring folder;
};

// The splash thread as the launch sees it: a handle for polls and an id for
// its two thread messages. Never waited for beyond a zero-timeout poll.
struct SplashThread {
  UniqueHandle handle;
  DWORD id = 0;

  bool Running() const;
  // Posts a thread message when a splash thread was started.
  void Post(UINT message) const;
};

class Launch {
 public:
  Launch(ExecutableLocation executable, LaunchOptions options);
  // The final release; after an aborted launch it closes the host and
  // removes the temporary files.
  ~Launch();
  Launch(const Launch&) = delete;
  Launch& operator=(const Launch&) = delete;

  // Runs the launch once, on the calling thread (a single-threaded COM
  // apartment).
  LaunchOutcome Run();

  // The texts for what the entry point tells the user.
  UserTexts Texts() { return UserTexts{&messageTable_, &macroTable_}; }

  // External storage mode (settings bit 0x20000): after a launch that handed
  // over, the launcher waits for the add-in's close signal and then removes
  // the temporary files.
  bool ExternalStorageMode() const { return (settings_.flags & kFlagExternalStorage) != 0; }
  void WaitForCloseSignal() const;
  void RemoveTempFiles() const;

 private:
  void RunSteps(std::clock_t& splashStart);
  void FinishHandOver();
  void EndOfLaunch(bool aborted, std::clock_t splashStart);
  void Release();

  const ExecutableLocation executable_;
  const LaunchOptions options_;
  BuildSettings settings_;
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
  ComRef<IDispatch> host_;
  int hostMajorVersion_ = 0;
  HWND hostWindow_ = nullptr;
  LaunchFiles files_;
  SplashThread splash_;
  HandOverEvents events_;
  bool aborted_ = false;
};

// Seeds the C runtime's random generator (working-folder and file names)
// from the time and the clock.
void SeedRandomGenerator();

}  // namespace brisk

// The launch's splash screen as one owned object: its thread (splash_thread.h),
// steered by the two thread messages, the report the thread writes, and its
// own clock for the time it must stay up. The launch never waits for the
// thread beyond a zero-timeout poll, except alongside the add-in's ready
// event (see thread()); the object, when it goes, closes the splash and
// joins its thread, which ends within one pass of its loop.
#pragma once

#include <windows.h>

#include <ctime>

#include "base/unique_handle.h"
#include "ui/splash_inputs.h"
#include "ui/splash_thread.h"

namespace brisk {

class Splash {
 public:
  Splash() = default;
  ~Splash();
  Splash(const Splash&) = delete;
  Splash& operator=(const Splash&) = delete;

  // Starts the clock, and the splash thread when `show` says so; a thread
  // that cannot be started leaves the launch without a splash.
  void Start(bool show, const SplashInputs& inputs);

  bool Shown() const { return threadId_ != 0; }
  // Whether the splash thread still runs (closed neither by the user, nor by
  // its time limit, nor by the launch).
  bool Running() const;
  // The thread's handle, to wait on beside other handles; null when not shown.
  HANDLE thread() const { return thread_.get(); }
  // Whether the splash has closed by its own time limit, neither by the user
  // nor by the launch.
  bool EndedByItsLimit() const;

  // The hand-over is complete: the splash may close by its own rule.
  void Done() const;
  // Asks the splash to close, without waiting.
  void PostClose() const;
  // Closes it at once and lets its window go before a box or the end.
  void CloseNow() const;
  // Keeps it up for at least the minimum time since Start(), then closes it.
  void CloseAfterMinimumTime() const;

 private:
  UniqueHandle thread_;
  SplashReport report_;
  DWORD threadId_ = 0;
  std::clock_t start_ = std::clock();
};

}  // namespace brisk

// The splash thread: owns the splash window and its message loop, and is
// steered only by the thread messages MSG_SPLASH_DONE and MSG_SPLASH_CLOSE.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>

#include "base/unique_handle.h"
#include "payload/payload_buffer.h"
#include "ui/splash_close_rule.h"
#include "ui/splash_inputs.h"

namespace brisk {

// What the thread reports while it runs, for whoever wants to watch it.
struct SplashReport {
  std::atomic<HWND> window{nullptr};  // the splash window once created
  std::atomic<int> elapsedMs{0};      // display time counted so far
  std::atomic<SplashStop> stop{SplashStop::kNone};
};

struct SplashOptions {
  // The picture's payload bytes; the payload resource kSplashPictureResource when
  // not given.
  std::optional<PayloadBuffer> picture;
  SplashTiming timing;
  SplashReport* report = nullptr;  // not owned; must outlive the thread
};

// Starts the splash thread with a copy of `inputs` (null: banner shown with
// the first text). The thread has its message queue when this returns, so
// that thread messages posted at once are not lost. On failure `thread`
// stays null and `threadId` 0.
bool StartSplashThread(const SplashInputs* inputs, UniqueHandle& thread, DWORD& threadId);
bool StartSplashThread(const SplashInputs* inputs, SplashOptions options, UniqueHandle& thread, DWORD& threadId);

}  // namespace brisk

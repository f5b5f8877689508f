#include "ui/splash_thread.h"

#include <memory>

#include "base/thread_win.h"
#include "payload/payload_ids.h"
#include "payload/payload_resource.h"
#include "ui/splash_picture.h"
#include "ui/splash_wnd.h"

namespace brisk {

namespace {

// The last message the loop takes: MSG_SPLASH_CLOSE.
constexpr UINT kLastLoopMessage = MSG_SPLASH_CLOSE;
// What the splash thread returns when its loop has stopped.
constexpr DWORD kSplashThreadExitCode = 1;
// How long the starter waits for the new thread's message queue.
constexpr DWORD kQueueWaitMs = 5000;

// A thread timer for the life of the loop. The loop counts one step per
// message it takes and relies on a paint message being always pending; a
// system that drops the splash window's update region once its children
// cover it (Wine does) would leave GetMessageW waiting, and neither the
// 60-second limit nor the 5-second rule could act. The timer's messages keep
// the passes coming at the same pace.
class LoopTimer {
 public:
  explicit LoopTimer(UINT periodMs) : id_(SetTimer(nullptr, 0, periodMs, nullptr)) {}
  ~LoopTimer() {
    if (id_) KillTimer(nullptr, id_);
  }
  LoopTimer(const LoopTimer&) = delete;
  LoopTimer& operator=(const LoopTimer&) = delete;

 private:
  UINT_PTR id_;
};

struct SplashStart {
  std::optional<SplashInputs> inputs;
  SplashOptions options;
  std::shared_ptr<UniqueHandle> queueReady;
};

void RunSplash(const SplashStart& start) {
  SplashReport* report = start.options.report;
  const bool hideBanner = start.inputs && SplashBannerHidden(start.inputs->state);
  const std::uint16_t variant = start.inputs ? start.inputs->bannerVariant : 0;

  PayloadBuffer raw;
  if (start.options.picture) {
    raw = *start.options.picture;
  } else {
    LoadPayloadResource(kSplashPictureResource, raw);
  }
  CSplashWnd splash(LoadSplashPicture(raw), hideBanner, variant);
  const HWND window = splash.CreateSplash();
  if (window) {
    ShowWindow(window, SW_SHOW);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
  }
  if (report) report->window = window;

  SplashCloseRule rule(start.options.timing);
  const LoopTimer timer(start.options.timing.pauseMs);
  SplashStop stop = SplashStop::kNone;
  MSG message{};
  while (stop == SplashStop::kNone) {
    const BOOL got = GetMessageW(&message, nullptr, 0, kLastLoopMessage);
    if (got == 0 || got == -1) {
      stop = SplashStop::kQuit;
      break;
    }
    stop = rule.OnMessage(message.message);
    if (stop != SplashStop::kNone) break;
    if (window && message.hwnd == window) DispatchMessageW(&message);
    Sleep(start.options.timing.pauseMs);
    rule.Advance();
    if (report) report->elapsedMs = rule.elapsedMs();
  }
  if (splash.hwnd()) DestroyWindow(splash.hwnd());
  if (report) {
    report->window = nullptr;
    report->stop = stop;
  }
}

}  // namespace

bool StartSplashThread(const SplashInputs* inputs, UniqueHandle& thread, DWORD& threadId) {
  return StartSplashThread(inputs, SplashOptions{}, thread, threadId);
}

bool StartSplashThread(const SplashInputs* inputs, SplashOptions options, UniqueHandle& thread, DWORD& threadId) {
  thread.reset();
  threadId = 0;
  auto start = std::make_unique<SplashStart>();
  if (inputs) start->inputs = *inputs;
  start->options = std::move(options);
  start->queueReady = std::make_shared<UniqueHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!*start->queueReady) return false;
  const std::shared_ptr<UniqueHandle> queueReady = start->queueReady;

  // The thread takes its start record; without a thread it goes here.
  UniqueHandle created = StartThread(
      [start = std::shared_ptr<SplashStart>(std::move(start))] {
        MSG message{};
        PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        SetEvent(start->queueReady->get());
        RunSplash(*start);
      },
      kSplashThreadExitCode);
  if (!created) return false;
  threadId = GetThreadId(created.get());
  thread = std::move(created);
  const HANDLE waitFor[2] = {queueReady->get(), thread.get()};
  WaitForMultipleObjects(2, waitFor, FALSE, kQueueWaitMs);
  return true;
}

}  // namespace brisk

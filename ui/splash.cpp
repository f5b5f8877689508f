#include "ui/splash.h"

#include "base/message_wait_win.h"
#include "ui/splash_close_rule.h"
#include "ui/splash_thread.h"

namespace brisk {

namespace {

constexpr std::clock_t kSplashMinimumMs = 5000;
// The pause that lets the splash window go before a box or the end.
constexpr DWORD kSplashClosePause = 100;

}  // namespace

Splash::~Splash() {
  if (!thread_) return;
  PostClose();
  WaitForSingleObject(thread_.get(), INFINITE);
}

void Splash::Start(bool show, const SplashInputs& inputs) {
  start_ = std::clock();
  if (!show) return;
  SplashOptions options;
  options.report = &report_;
  StartSplashThread(&inputs, std::move(options), thread_, threadId_);
}

bool Splash::EndedByItsLimit() const { return thread_ && !Running() && report_.stop == SplashStop::kLimit; }

bool Splash::Running() const {
  const DWORD state = WaitForSingleObject(thread_.get(), 0);
  return state != WAIT_OBJECT_0 && state != WAIT_FAILED;
}

void Splash::Done() const {
  if (threadId_ != 0) PostThreadMessageW(threadId_, MSG_SPLASH_DONE, 0, 0);
}

void Splash::PostClose() const {
  if (threadId_ != 0) PostThreadMessageW(threadId_, MSG_SPLASH_CLOSE, 0, 0);
}

void Splash::CloseNow() const {
  if (threadId_ == 0) return;
  PostClose();
  Sleep(kSplashClosePause);
}

void Splash::CloseAfterMinimumTime() const {
  if (!Running()) return;
  const std::clock_t elapsed = std::clock() - start_;
  // The launch's thread serves what is sent to its windows meanwhile.
  if (elapsed < kSplashMinimumMs) WaitServingSentMessages(0, nullptr, static_cast<DWORD>(kSplashMinimumMs - elapsed));
  PostClose();
  Sleep(10);
  PostClose();
  Sleep(kSplashClosePause);
}

}  // namespace brisk

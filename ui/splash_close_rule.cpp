#include "ui/splash_close_rule.h"

namespace brisk {

namespace {

constexpr std::uint32_t kKeyDown = 0x100;
constexpr std::uint32_t kFirstMouseButton = 0x201;  // left button down
constexpr std::uint32_t kLastMouseButton = 0x206;   // right button double click

}  // namespace

SplashStop SplashCloseRule::OnMessage(std::uint32_t message) {
  if (elapsed_ >= limit_) return SplashStop::kLimit;
  if (message == kKeyDown || (message >= kFirstMouseButton && message <= kLastMouseButton)) {
    return SplashStop::kInput;
  }
  if (message == MSG_SPLASH_CLOSE) return SplashStop::kClose;
  if (message == MSG_SPLASH_DONE) {
    if (elapsed_ > timing_.doneMinimumMs) return SplashStop::kDone;
    limit_ = timing_.doneMinimumMs;
  }
  return SplashStop::kNone;
}

}  // namespace brisk

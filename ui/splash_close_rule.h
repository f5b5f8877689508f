// When the splash thread's message loop stops. The loop counts display time
// in fixed steps (one per pass, since a paint message is always pending)
// rather than reading a clock.
#pragma once

#include <cstdint>

namespace brisk {

// Thread messages from the launch to the splash thread.
constexpr std::uint32_t MSG_SPLASH_DONE = 1281;
constexpr std::uint32_t MSG_SPLASH_CLOSE = 1282;

struct SplashTiming {
  int stepMs = 100;          // display time counted per pass of the loop
  int limitMs = 60000;       // the splash never stays longer
  int doneMinimumMs = 5000;  // shortest display once the launch is done
  unsigned pauseMs = 100;    // real time slept per pass; tests shorten it
};

enum class SplashStop { kNone, kQuit, kLimit, kInput, kClose, kDone };

class SplashCloseRule {
 public:
  explicit SplashCloseRule(const SplashTiming& timing = {}) : timing_(timing), limit_(timing.limitMs) {}

  // Decides on one message taken from the queue, before it is dispatched.
  SplashStop OnMessage(std::uint32_t message);
  // One pass of the loop is over.
  void Advance() { elapsed_ += timing_.stepMs; }
  int elapsedMs() const { return elapsed_; }
  int limitMs() const { return limit_; }

 private:
  SplashTiming timing_;
  int elapsed_ = 0;
  int limit_;
};

}  // namespace brisk

// The one rule by which the launch waits for the host, for every call to its
// automation object and every message to its window:
//  - The launch waits for as long as the host takes. A host may be busy (a
//    long load, a prompt or a dialog of its own, an add-in at work), and no
//    clock tells a busy host from a hung one, so no clock ever gives a host
//    up.
//  - After the silence limit without an answer the user is asked, in a
//    message box of the system's that stays on top of the splash: Retry (the
//    default) waits on and asks again after the next limit; Cancel gives the
//    host up. An answer that arrives while the box is up closes it, and the
//    launch goes on.
//  - Only the user's Cancel gives a host up. A host given up, or whose
//    process has ended, is out of reach: no further call or message is made
//    to it. What the launch may still do then is its own business
//    (core/launch.h).
//
// The calls and messages are made from a thread of the host's own (a
// single-threaded apartment that owns the host's object), while the thread
// that asks for them waits by the rule, serves the messages sent to its own
// windows meanwhile, and asks the question itself. A host given up holds
// only that thread, which is let go to end with the process: a call that
// the system would not give up (COM under Wine waits for the host's answer
// even after a cancel) holds nobody. The host's thread cancels a call given
// up where the system can, and retries a call the host declines as busy for
// as long as the user waits.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>

#include "base/unique_handle.h"

namespace brisk {

// The question, in the build's language.
struct HostQuestion {
  std::wstring text;
  std::wstring caption;
};

enum class HostReach {
  kWithinReach,
  kGivenUp,  // the user chose Cancel
  kGone,     // the host's process ended
};

enum class HostWindowReply {
  kHandled,
  kGivenUp,    // the user gave the host up, now or before
  kHostEnded,  // the host's process ended first
};

// One piece of work for the host's thread, shared by the thread that waits
// for it and the host's thread (a job given up is let go by the waiting
// thread, not freed under the host's thread), so it owns what it uses.
class HostJob {
 public:
  HostJob();
  virtual ~HostJob();
  HostJob(const HostJob&) = delete;
  HostJob& operator=(const HostJob&) = delete;

  // Performs the work on the calling thread with the host's object and
  // keeps what it raised: a _com_error, memory that ran out, or anything
  // else (taken for E_UNEXPECTED).
  void Run(IDispatch* application);
  // On the waiting thread, once the job has run: raises what it raised.
  void RaiseFailure();

 private:
  friend class HostWait;
  virtual void Perform(IDispatch* application) = 0;

  UniqueHandle done_;
  HRESULT failure_ = S_OK;
  IErrorInfo* errorInfo_ = nullptr;  // owned until raised
  bool outOfMemory_ = false;
};

class HostWait {
 public:
  // Starts the host's thread. `silenceLimitMs`: how long a call or message
  // may go unanswered before the user is asked (the launch's is
  // core/launch_plan.h's kHostSilenceLimitMs).
  HostWait(HostQuestion question, DWORD silenceLimitMs);
  // Ends the host's thread, or lets it go when the host is out of reach.
  ~HostWait();
  HostWait(const HostWait&) = delete;
  HostWait& operator=(const HostWait&) = delete;

  HostReach reach() const;
  bool WithinReach() const { return reach() == HostReach::kWithinReach; }
  // The host's process has ended: nothing more is sent to it.
  void MarkGone();
  // How many times the user has been asked.
  int questionsAsked() const { return questionsAsked_; }

  // Starts the host application on the host's thread (CreateHostApplication,
  // host/host_application.h): bounded by the system's activation time-out,
  // so nobody is asked. The object stays on that thread.
  HRESULT StartHost();
  // The host's object, for views (HostApplication) that make their calls
  // through Run(); null before StartHost, after ReleaseHost and once the
  // host is out of reach.
  IDispatch* application() const;
  // Lets go of the host's object, by the rule; a host out of reach keeps it
  // until the process ends (its release would be a call that waits too).
  void ReleaseHost();

  // Runs `job` on the host's thread with the host's object and waits for it
  // by the rule; raises what it raised. A host out of reach, or given up
  // during the job, raises _com_error(RPC_E_CALL_CANCELED).
  void Run(const std::shared_ptr<HostJob>& job);

  // SendMessageW on the host's thread, waited for by the rule and for the
  // host's process (null when not known). Once a message did not get
  // through, nothing more is sent.
  HostWindowReply Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, HANDLE hostProcess);

 private:
  struct Core;
  enum class Awaited { kAnswered, kGivenUp, kGone };

  static void Serve(const std::shared_ptr<Core>& core);
  // Hands the job to the host's thread (or runs it here without one) and
  // waits; with `ask`, by the rule.
  Awaited Hand(const std::shared_ptr<HostJob>& job, HANDLE hostProcess, bool ask);
  Awaited Await(const HostJob& job, HANDLE hostProcess, bool ask);
  // True when the user gave the host up; false when the answer came first
  // or the user chose to wait on.
  bool Ask(HANDLE answered, HANDLE hostProcess);
  void LeaveReach(HostReach why);

  const HostQuestion question_;
  const DWORD silenceLimitMs_;
  std::shared_ptr<Core> core_;
  UniqueHandle thread_;
  int questionsAsked_ = 0;
};

}  // namespace brisk

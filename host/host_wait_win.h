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
// The object is the thread's COM message filter, so that a call the user
// gave up is cancelled (it fails with RPC_E_CALL_CANCELED, or with
// RPC_E_CALL_REJECTED while the host declines calls as busy), and the one
// owner of whether the host is within reach.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <atomic>
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

class HostWait final : public IMessageFilter {
 public:
  // Becomes the message filter of the calling thread, which makes every call
  // to the host (a single-threaded apartment; on another thread calls are
  // not cancelled, but the user is still asked). `silenceLimitMs` is how
  // long a call or message may go unanswered before the user is asked (the
  // launch's is core/launch_plan.h's kHostSilenceLimitMs).
  HostWait(HostQuestion question, DWORD silenceLimitMs);
  ~HostWait();
  HostWait(const HostWait&) = delete;
  HostWait& operator=(const HostWait&) = delete;

  HostReach reach() const { return static_cast<HostReach>(reach_.load()); }
  bool WithinReach() const { return reach() == HostReach::kWithinReach; }
  // The host's process has ended: nothing more is sent to it.
  void MarkGone();
  // Signalled once the host is out of reach, for waits on handles.
  HANDLE outOfReachEvent() const { return outOfReach_.get(); }
  // How many times the user has been asked.
  int questionsAsked() const { return questionsAsked_.load(); }

  // One call or window message, from its start to its answer, on the
  // thread that made the object; nested ones count as the outermost. A host
  // out of reach is not waited for: the constructor then raises
  // _com_error(RPC_E_CALL_CANCELED). A null `wait` waits without the rule.
  class Waiting {
   public:
    explicit Waiting(HostWait* wait);
    ~Waiting();
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

   private:
    HostWait* const wait_;
  };

  // IUnknown: the object lives in its owner; COM's references do not keep it.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                             LPINTERFACEINFO interfaceInfo) override;
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD tickCount, DWORD rejectType) override;
  DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD tickCount, DWORD pendingType) override;

 private:
  void Begin();
  void End();
  void LeaveReach(HostReach why);
  // The asking thread: watches the wait under way and asks after the limit.
  void Watch();
  // True when the user gave the host up; false when the wait ended first or
  // the user chose to wait on.
  bool AskWhileWaiting(DWORD waitSerial);
  bool WaitOver(DWORD waitSerial) const;
  void WakeOwnerUntilOver(DWORD waitSerial);
  // The question's timer: closes the box once its wait is over.
  static void CALLBACK CloseQuestionWhenOver(HWND, UINT, UINT_PTR, DWORD);

  const HostQuestion question_;
  const DWORD silenceLimitMs_;
  const DWORD owner_;
  std::atomic<int> reach_{static_cast<int>(HostReach::kWithinReach)};
  std::atomic<int> questionsAsked_{0};
  // The wait under way: whether there is one, its number (counted up at its
  // start and at its end) and when it began.
  std::atomic<bool> waiting_{false};
  std::atomic<DWORD> serial_{0};
  std::atomic<DWORD> began_{0};
  int depth_ = 0;
  UniqueHandle changed_;  // auto-reset: a wait began or ended
  UniqueHandle stop_;
  UniqueHandle outOfReach_;
  UniqueHandle asker_;
  bool registered_ = false;
  IMessageFilter* previous_ = nullptr;
};

}  // namespace brisk

#include "host/host_wait_win.h"

#include <comdef.h>

#include <cwchar>
#include <utility>

#include "base/message_wait_win.h"
#include "base/thread_win.h"

namespace brisk {

namespace {

// How soon a call the host declined as busy is made again.
constexpr DWORD kRetryBusyAfterMs = 250;
// How often an open question looks whether its wait has ended meanwhile.
constexpr UINT kQuestionCheckMs = 100;
// COM asks the filter whether to cancel a call only when a message reaches
// the waiting thread: after a Cancel, the thread is sent an empty one this
// often until its call has ended.
constexpr DWORD kWakeOwnerEveryMs = 200;
// What MessageBoxW returns for a box closed because its wait was over.
constexpr int kClosedUnasked = 0;

struct OpenQuestion {
  const HostWait* wait;
  DWORD serial;
};

// The question this thread shows, for its timer (the asking thread shows one
// at a time).
thread_local const OpenQuestion* tOpenQuestion = nullptr;

BOOL CALLBACK EndQuestionBox(HWND window, LPARAM) {
  wchar_t className[8] = {};
  GetClassNameW(window, className, 8);
  if (std::wcscmp(className, L"#32770") == 0) EndDialog(window, kClosedUnasked);
  return TRUE;
}

}  // namespace

HostWait::HostWait(HostQuestion question, DWORD silenceLimitMs)
    : question_(std::move(question)),
      silenceLimitMs_(silenceLimitMs),
      owner_(GetCurrentThreadId()),
      changed_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      outOfReach_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  registered_ = SUCCEEDED(CoRegisterMessageFilter(this, &previous_));
  // Without the asking thread the launch still waits, but asks nobody.
  if (changed_ && stop_ && outOfReach_) asker_ = StartThread([this] { Watch(); });
}

HostWait::~HostWait() {
  if (asker_) {
    // An open question closes on its next check.
    SetEvent(stop_.get());
    WaitForSingleObject(asker_.get(), INFINITE);
  }
  if (!registered_) return;
  IMessageFilter* ours = nullptr;
  CoRegisterMessageFilter(previous_, &ours);
  if (previous_) previous_->Release();
}

void HostWait::MarkGone() { LeaveReach(HostReach::kGone); }

void HostWait::LeaveReach(HostReach why) {
  int expected = static_cast<int>(HostReach::kWithinReach);
  reach_.compare_exchange_strong(expected, static_cast<int>(why));
  SetEvent(outOfReach_.get());
}

HostWait::Waiting::Waiting(HostWait* wait) : wait_(wait) {
  if (wait_) wait_->Begin();
}

HostWait::Waiting::~Waiting() {
  if (wait_) wait_->End();
}

void HostWait::Begin() {
  if (depth_ > 0) {
    ++depth_;
    return;
  }
  if (!WithinReach()) throw _com_error(RPC_E_CALL_CANCELED);
  ++depth_;
  began_ = GetTickCount();
  ++serial_;
  waiting_ = true;
  SetEvent(changed_.get());
}

void HostWait::End() {
  if (--depth_ > 0) return;
  waiting_ = false;
  ++serial_;
  SetEvent(changed_.get());
}

bool HostWait::WaitOver(DWORD waitSerial) const {
  return !waiting_ || serial_ != waitSerial || WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0;
}

void HostWait::Watch() {
  DWORD tracked = 0;     // the wait the clock runs for
  DWORD clockStart = 0;  // its start, or the user's last Retry
  const HANDLE wake[] = {stop_.get(), changed_.get()};
  for (;;) {
    DWORD timeout = INFINITE;
    if (waiting_) {
      const DWORD serial = serial_;
      if (serial != tracked) {
        tracked = serial;
        clockStart = began_;
      }
      const DWORD silentMs = GetTickCount() - clockStart;
      if (silentMs >= silenceLimitMs_) {
        if (AskWhileWaiting(tracked)) WakeOwnerUntilOver(tracked);
        clockStart = GetTickCount();
        continue;
      }
      timeout = silenceLimitMs_ - silentMs;
    }
    // This thread has windows once it has asked: it serves what is sent to
    // them like the launch's own thread.
    if (WaitServingSentMessages(2, wake, timeout) == WAIT_OBJECT_0) return;
  }
}

bool HostWait::AskWhileWaiting(DWORD waitSerial) {
  if (WaitOver(waitSerial)) return false;
  ++questionsAsked_;
  const OpenQuestion open{this, waitSerial};
  tOpenQuestion = &open;
  const UINT_PTR timer = SetTimer(nullptr, 0, kQuestionCheckMs, CloseQuestionWhenOver);
  const int answer = MessageBoxW(nullptr, question_.text.c_str(), question_.caption.c_str(),
                                 MB_RETRYCANCEL | MB_ICONWARNING | MB_DEFBUTTON1 | MB_TOPMOST | MB_SETFOREGROUND);
  if (timer) KillTimer(nullptr, timer);
  tOpenQuestion = nullptr;
  // A Cancel that crossed the host's answer comes too late to give it up.
  if (answer != IDCANCEL || WaitOver(waitSerial)) return false;
  LeaveReach(HostReach::kGivenUp);
  return true;
}

void CALLBACK HostWait::CloseQuestionWhenOver(HWND, UINT, UINT_PTR, DWORD) {
  const OpenQuestion* open = tOpenQuestion;
  if (open && open->wait->WaitOver(open->serial)) EnumThreadWindows(GetCurrentThreadId(), EndQuestionBox, 0);
}

void HostWait::WakeOwnerUntilOver(DWORD waitSerial) {
  const HANDLE wake[] = {stop_.get(), changed_.get()};
  while (!WaitOver(waitSerial)) {
    PostThreadMessageW(owner_, WM_NULL, 0, 0);
    if (WaitServingSentMessages(2, wake, kWakeOwnerEveryMs) == WAIT_OBJECT_0) return;
  }
}

HRESULT HostWait::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IMessageFilter) {
    *object = static_cast<IMessageFilter*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// The launcher serves no objects: whatever arrives is handled as without a
// filter.
DWORD HostWait::HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) { return SERVERCALL_ISHANDLED; }

// A host that is busy (a modal state of its own) is asked again and again,
// for as long as the user waits; one that rejects a call outright is not.
DWORD HostWait::RetryRejectedCall(HTASK, DWORD, DWORD rejectType) {
  if (rejectType != SERVERCALL_RETRYLATER || !WithinReach()) return static_cast<DWORD>(-1);
  return kRetryBusyAfterMs;
}

DWORD HostWait::MessagePending(HTASK, DWORD, DWORD) {
  return WithinReach() ? PENDINGMSG_WAITDEFPROCESS : PENDINGMSG_CANCELCALL;
}

}  // namespace brisk

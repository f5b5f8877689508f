#include "host/host_call_limit_win.h"

#include "base/thread_win.h"

namespace brisk {

namespace {

// How often COM is woken to ask the filter while a call waits, and how soon
// a call the host declined as busy is made again.
constexpr DWORD kAskEveryMs = 500;
constexpr DWORD kRetryBusyAfterMs = 250;

}  // namespace

HostCallLimit::HostCallLimit(DWORD limitMs) : limitMs_(limitMs) {
  registered_ = SUCCEEDED(CoRegisterMessageFilter(this, &previous_));
  if (!registered_) return;
  // The empty messages go nowhere when the thread takes them: a message
  // loop drops a thread message without a window.
  stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stop_) return;
  ticker_ = StartThread([stop = stop_.get(), owner = GetCurrentThreadId()] {
    while (WaitForSingleObject(stop, kAskEveryMs) == WAIT_TIMEOUT) PostThreadMessageW(owner, WM_NULL, 0, 0);
  });
}

HostCallLimit::~HostCallLimit() {
  if (ticker_) {
    SetEvent(stop_.get());
    WaitForSingleObject(ticker_.get(), INFINITE);
  }
  if (!registered_) return;
  IMessageFilter* ours = nullptr;
  CoRegisterMessageFilter(previous_, &ours);
  if (previous_) previous_->Release();
}

HRESULT HostCallLimit::QueryInterface(REFIID riid, void** object) {
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
DWORD HostCallLimit::HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) { return SERVERCALL_ISHANDLED; }

// A host that is busy (a modal state of its own) is asked again until the
// limit; one that still declines then is hung. A call the host rejects
// outright is not retried.
DWORD HostCallLimit::RetryRejectedCall(HTASK, DWORD tickCount, DWORD rejectType) {
  if (rejectType != SERVERCALL_RETRYLATER) return static_cast<DWORD>(-1);
  if (tickCount < limitMs_) return kRetryBusyAfterMs;
  cancelled_ = true;
  return static_cast<DWORD>(-1);
}

DWORD HostCallLimit::MessagePending(HTASK, DWORD tickCount, DWORD) {
  if (tickCount < limitMs_) return PENDINGMSG_WAITDEFPROCESS;
  cancelled_ = true;
  return PENDINGMSG_CANCELCALL;
}

}  // namespace brisk

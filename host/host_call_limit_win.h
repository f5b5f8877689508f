// A bound on every call the launcher makes to the host. An out-of-process
// call waits until the host answers; a host that is hung, or that waits on
// a prompt of its own while it is hidden, would hold the launcher for ever.
// Registered as the thread's message filter, this object lets COM cancel a
// call that has waited `limitMs` (the call then fails with
// RPC_E_CALL_CANCELED), and retries a call the host declined as busy until
// the same limit. COM asks the filter only when a message arrives while a
// call waits: a small thread of its own posts an empty message to the
// owner's thread twice a second, for as long as the object lives.
//
// A host whose call was cancelled is taken for hung: the launch makes no
// further call to it (CancelledACall()).
#pragma once

#include <windows.h>
#include <objidl.h>

#include "base/unique_handle.h"

namespace brisk {

// How long a host may leave one call, or one message to its window,
// unanswered before it is taken for hung.
inline constexpr DWORD kHostSilenceLimitMs = 30000;

class HostCallLimit final : public IMessageFilter {
 public:
  explicit HostCallLimit(DWORD limitMs = kHostSilenceLimitMs);
  ~HostCallLimit();
  HostCallLimit(const HostCallLimit&) = delete;
  HostCallLimit& operator=(const HostCallLimit&) = delete;

  // Whether the filter was registered (a thread outside a single-threaded
  // apartment has none, and its calls are not bounded).
  bool Active() const { return registered_; }
  // Whether a call to the host was given up: the host is hung.
  bool CancelledACall() const { return cancelled_; }

  // IUnknown: the object lives on its owner's stack or in its owner; COM's
  // references do not keep it.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                             LPINTERFACEINFO interfaceInfo) override;
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD tickCount, DWORD rejectType) override;
  DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD tickCount, DWORD pendingType) override;

 private:
  const DWORD limitMs_;
  bool registered_ = false;
  bool cancelled_ = false;
  IMessageFilter* previous_ = nullptr;
  UniqueHandle stop_;
  UniqueHandle ticker_;
};

}  // namespace brisk

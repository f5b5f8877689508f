#include "base/message_wait_win.h"

namespace brisk {

namespace {

// Handles the messages that wait for this thread; PM_QS_SENDMESSAGE takes no
// posted message, so nothing is removed from the queue.
void ServeSentMessages() {
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace

DWORD WaitServingSentMessages(DWORD count, const HANDLE* handles, DWORD timeoutMs) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    ServeSentMessages();
    DWORD left = INFINITE;
    if (timeoutMs != INFINITE) {
      const ULONGLONG elapsed = GetTickCount64() - start;
      left = elapsed >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - elapsed);
    }
    const DWORD woken = MsgWaitForMultipleObjectsEx(count, handles, left, QS_SENDMESSAGE, 0);
    if (woken != WAIT_OBJECT_0 + count) return woken;
  }
}

}  // namespace brisk

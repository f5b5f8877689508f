#include "host/host_window_message_win.h"

#include "base/thread_win.h"
#include "base/unique_handle.h"

namespace brisk {

namespace {

// How often the host's window is asked whether it still handles messages.
constexpr DWORD kProbeEveryMs = 1000;

// Whether the window's thread handles a message within the time: an empty
// message, answered by any message loop the thread runs (its own, or that
// of a dialog it shows).
bool WindowAnswers(HWND window, DWORD milliseconds) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, milliseconds, &result) != 0;
}

}  // namespace

HostWindowReply SendToHostWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, HANDLE hostProcess,
                                 DWORD silenceLimitMs) {
  // The sender stays blocked in a host that never answers; it is let go,
  // and ends with the process.
  const UniqueHandle sender = StartThread([=] { SendMessageW(window, message, wParam, lParam); });
  if (!sender) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, silenceLimitMs, &result)) {
      return HostWindowReply::kHandled;
    }
    return GetLastError() == ERROR_TIMEOUT ? HostWindowReply::kHostHung : HostWindowReply::kHandled;
  }
  const HANDLE handles[] = {sender.get(), hostProcess};
  const DWORD count = hostProcess ? 2 : 1;
  // A send also returns when the window's thread dies while it handles the
  // message: a host whose process has ended, or is ending, is told as such.
  const auto ended = [hostProcess, window] {
    return (hostProcess && WaitForSingleObject(hostProcess, 0) == WAIT_OBJECT_0) || !IsWindow(window);
  };
  ULONGLONG lastAnswer = GetTickCount64();
  for (;;) {
    const DWORD woken = WaitForMultipleObjects(count, handles, FALSE, kProbeEveryMs);
    if (woken == WAIT_OBJECT_0 || woken == WAIT_OBJECT_0 + 1) {
      return ended() ? HostWindowReply::kHostEnded : HostWindowReply::kHandled;
    }
    if (woken == WAIT_FAILED) return HostWindowReply::kHostHung;
    if (WindowAnswers(window, kProbeEveryMs)) {
      lastAnswer = GetTickCount64();
    } else if (!IsWindow(window)) {
      return HostWindowReply::kHostEnded;
    } else if (GetTickCount64() - lastAnswer >= silenceLimitMs) {
      return HostWindowReply::kHostHung;
    }
  }
}

}  // namespace brisk

// Messages to the host's main window that wait for the host to handle them,
// for as long as the host is alive and not hung. The host may take its time:
// the add-in may show a dialog of its own (an activation prompt, say) while
// it handles a message, and a user may take minutes over it. A host is hung
// only when its window thread has handled no message at all for the
// silence limit, and is gone when its process has ended.
#pragma once

#include <windows.h>

#include <memory>

#include "base/unique_handle.h"

namespace brisk {

enum class HostWindowReply {
  kHandled,
  kHostHung,   // the window handled nothing for the silence limit
  kHostEnded,  // the host's process ended first
};

// Sends messages to one window (as SendMessageW, from a thread of its own,
// so that the calling thread can watch the host meanwhile), one at a time,
// each handled before the next is sent. Once a message was not handled, the
// sender sends nothing more: its thread may be blocked in a hung host, and
// is let go to end with the process.
class HostWindowSender {
 public:
  // `hostProcess` may be null when the host's process is not known.
  HostWindowSender(HWND window, HANDLE hostProcess, DWORD silenceLimitMs);
  ~HostWindowSender();
  HostWindowSender(const HostWindowSender&) = delete;
  HostWindowSender& operator=(const HostWindowSender&) = delete;

  HostWindowReply Send(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct Channel;
  HostWindowReply Wait();

  const HWND window_;
  const HANDLE hostProcess_;
  const DWORD silenceLimitMs_;
  std::shared_ptr<Channel> channel_;
  UniqueHandle thread_;
  HostWindowReply broken_ = HostWindowReply::kHandled;
};

// One message through a sender of its own.
HostWindowReply SendToHostWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, HANDLE hostProcess,
                                 DWORD silenceLimitMs);

}  // namespace brisk

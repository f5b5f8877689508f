// Messages to the host's main window, each sent and waited for under the
// host wait's rule (host/host_wait_win.h): for as long as the host takes,
// the user asked after the silence limit, until the host handles the
// message, its process ends or the user gives it up. The add-in may take its
// time over a message (an activation prompt, a large workbook to decrypt).
#pragma once

#include <windows.h>

#include <memory>

#include "base/unique_handle.h"
#include "host/host_wait_win.h"

namespace brisk {

enum class HostWindowReply {
  kHandled,
  kGivenUp,    // the user gave the host up, now or before
  kHostEnded,  // the host's process ended first
};

// Sends messages to one window (as SendMessageW, from a thread of its own,
// so that the calling thread can watch the host meanwhile and serve the
// messages sent to its own windows), one at a time, each handled before the
// next is sent. Once a message was not handled, the sender sends nothing
// more: its thread may be blocked in a host that never answers, and is let
// go to end with the process.
class HostWindowSender {
 public:
  // `hostProcess` may be null when the host's process is not known. `wait`
  // must outlive the sender.
  HostWindowSender(HWND window, HANDLE hostProcess, HostWait& wait);
  ~HostWindowSender();
  HostWindowSender(const HostWindowSender&) = delete;
  HostWindowSender& operator=(const HostWindowSender&) = delete;

  HostWindowReply Send(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct Channel;
  HostWindowReply Wait();
  HostWindowReply OutOfReach() const;

  const HWND window_;
  const HANDLE hostProcess_;
  HostWait& wait_;
  std::shared_ptr<Channel> channel_;
  UniqueHandle thread_;
  HostWindowReply broken_ = HostWindowReply::kHandled;
};

}  // namespace brisk

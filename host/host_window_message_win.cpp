#include "host/host_window_message_win.h"

#include "base/thread_win.h"

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

// What the launch's thread and the sending thread share: the message to
// send, and three events (a message is waiting, it was handled, stop).
struct HostWindowSender::Channel {
  UniqueHandle request{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  UniqueHandle handled{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  UniqueHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

HostWindowSender::HostWindowSender(HWND window, HANDLE hostProcess, DWORD silenceLimitMs)
    : window_(window),
      hostProcess_(hostProcess),
      silenceLimitMs_(silenceLimitMs),
      channel_(std::make_shared<Channel>()) {
  if (!channel_->request || !channel_->handled || !channel_->stop) return;
  thread_ = StartThread([channel = channel_, window] {
    const HANDLE wake[] = {channel->stop.get(), channel->request.get()};
    while (WaitForMultipleObjects(2, wake, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
      SendMessageW(window, channel->message, channel->wParam, channel->lParam);
      SetEvent(channel->handled.get());
    }
  });
}

HostWindowSender::~HostWindowSender() {
  if (!thread_) return;
  SetEvent(channel_->stop.get());
  // A thread blocked in a host that never answered is let go.
  if (broken_ == HostWindowReply::kHandled) WaitForSingleObject(thread_.get(), INFINITE);
}

HostWindowReply HostWindowSender::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  if (broken_ != HostWindowReply::kHandled) return broken_;
  if (!thread_) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window_, message, wParam, lParam, SMTO_NORMAL, silenceLimitMs_, &result) ||
        GetLastError() != ERROR_TIMEOUT) {
      return HostWindowReply::kHandled;
    }
    return broken_ = HostWindowReply::kHostHung;
  }
  channel_->message = message;
  channel_->wParam = wParam;
  channel_->lParam = lParam;
  SetEvent(channel_->request.get());
  const HostWindowReply reply = Wait();
  if (reply != HostWindowReply::kHandled) broken_ = reply;
  return reply;
}

HostWindowReply HostWindowSender::Wait() {
  const HANDLE handles[] = {channel_->handled.get(), thread_.get(), hostProcess_};
  const DWORD count = hostProcess_ ? 3 : 2;
  // A send also returns when the window's thread dies while it handles the
  // message: a host whose process has ended, or is ending, is told as such.
  const auto ended = [this] {
    return (hostProcess_ && WaitForSingleObject(hostProcess_, 0) == WAIT_OBJECT_0) || !IsWindow(window_);
  };
  ULONGLONG lastAnswer = GetTickCount64();
  for (;;) {
    const DWORD woken = WaitForMultipleObjects(count, handles, FALSE, kProbeEveryMs);
    if (woken == WAIT_OBJECT_0 || woken == WAIT_OBJECT_0 + 2) {
      return ended() ? HostWindowReply::kHostEnded : HostWindowReply::kHandled;
    }
    if (woken == WAIT_OBJECT_0 + 1 || woken == WAIT_FAILED) return HostWindowReply::kHostHung;
    if (WindowAnswers(window_, kProbeEveryMs)) {
      lastAnswer = GetTickCount64();
    } else if (!IsWindow(window_)) {
      return HostWindowReply::kHostEnded;
    } else if (GetTickCount64() - lastAnswer >= silenceLimitMs_) {
      return HostWindowReply::kHostHung;
    }
  }
}

HostWindowReply SendToHostWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, HANDLE hostProcess,
                                 DWORD silenceLimitMs) {
  HostWindowSender sender(window, hostProcess, silenceLimitMs);
  return sender.Send(message, wParam, lParam);
}

}  // namespace brisk

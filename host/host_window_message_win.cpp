#include "host/host_window_message_win.h"

#include "base/message_wait_win.h"
#include "base/thread_win.h"

namespace brisk {

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

HostWindowSender::HostWindowSender(HWND window, HANDLE hostProcess, HostWait& wait)
    : window_(window), hostProcess_(hostProcess), wait_(wait), channel_(std::make_shared<Channel>()) {
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

HostWindowReply HostWindowSender::OutOfReach() const {
  return wait_.reach() == HostReach::kGone ? HostWindowReply::kHostEnded : HostWindowReply::kGivenUp;
}

HostWindowReply HostWindowSender::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  if (broken_ != HostWindowReply::kHandled) return broken_;
  if (!wait_.WithinReach()) return broken_ = OutOfReach();
  const HostWait::Waiting waiting(&wait_);
  if (!thread_) {
    // Without a thread of its own the message is sent from this one: the
    // user is still asked, but a Cancel takes effect once the host answers.
    SendMessageW(window_, message, wParam, lParam);
    return HostWindowReply::kHandled;
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
  const HANDLE handles[] = {channel_->handled.get(), thread_.get(), wait_.outOfReachEvent(), hostProcess_};
  const DWORD count = hostProcess_ ? 4 : 3;
  // A send also returns when the window's thread dies while it handles the
  // message: a host whose process has ended, or is ending, is told as such.
  const auto ended = [this] {
    return (hostProcess_ && WaitForSingleObject(hostProcess_, 0) == WAIT_OBJECT_0) || !IsWindow(window_);
  };
  switch (WaitServingSentMessages(count, handles, INFINITE)) {
    case WAIT_OBJECT_0:
      if (!ended()) return HostWindowReply::kHandled;
      wait_.MarkGone();
      return HostWindowReply::kHostEnded;
    case WAIT_OBJECT_0 + 2:
      return OutOfReach();
    case WAIT_OBJECT_0 + 3:
      wait_.MarkGone();
      return HostWindowReply::kHostEnded;
    default:
      // The sending thread ended without an answer, or the wait failed: no
      // message can be sent any more.
      return HostWindowReply::kGivenUp;
  }
}

}  // namespace brisk

// The hand-over to the add-in: the two named events with their waiter
// threads, and the window messages sent to the host's main window.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "base/unique_handle.h"
#include "host/host_application.h"
#include "payload/payload_buffer.h"

namespace brisk {

// A thread blocked on one event that records when the event is signalled.
// The thread is detached as soon as it starts: it may stay blocked until the
// process exits, so everything it touches is shared with it and lives as
// long as either side needs it.
class EventWaiter {
 public:
  EventWaiter() = default;
  // Starts the thread; for a null event it records nothing and ends at once.
  // It never resets the event.
  explicit EventWaiter(HANDLE event);

  bool Started() const { return state_ != nullptr; }
  bool Seen() const { return state_ && state_->seen.load(); }

 private:
  struct State {
    explicit State(HANDLE waitedEvent) : event(waitedEvent) {}
    const HANDLE event;
    std::atomic<bool> seen{false};
  };
  std::shared_ptr<State> state_;
};

// The close event (external storage mode only) and the ready event, both
// named after the launcher's process id and both manual-reset. They are never
// closed: the add-in may signal them at any time, and the process exit
// releases them.
struct HandOverEvents {
  HANDLE closeEvent = nullptr;
  HANDLE readyEvent = nullptr;
  EventWaiter closeWaiter;
  EventWaiter readyWaiter;
};

// Creates the events and starts their waiters: the close event only in
// external storage mode, the ready event always (its waiter starts even when
// the event could not be created). The close event is reset right after its
// creation, before the add-in can know its name, and never again: a later
// reset could erase a signal the add-in has already given.
HandOverEvents CreateHandOverEvents(bool externalStorage);

// What the hand-over messages carry besides the host's answers.
struct HandOverMessageInputs {
  std::uint32_t languageByte = 0;  // low 8 bits of the host's user-interface language
  std::int32_t optionValue = 0;    // the hexadecimal option; 0 when absent
  bool hasExecutablePath = false;
};

// Sends the hand-over messages to the host's main window in their fixed
// order, with the host calls between them. The single-instance mutex is
// released in the middle (from there on a second instance may start), and
// the raw settings record is emptied once the add-in has been told of it.
// Each message (to `hostWindow`, of `hostProcess` when known), and each call
// between them, waits by the host wait's rule (host/host_wait_win.h); the
// first message that does not get through ends the hand-over with why, a
// call that fails raises _com_error.
HostWindowReply SendHandOverMessages(const HostApplication& host, HostWait& wait, HWND hostWindow, HANDLE hostProcess,
                                     const HandOverMessageInputs& inputs, UniqueHandle& instanceMutex,
                                     PayloadBuffer& rawRecord);

// The last message: the hand-over is complete. Posted, not sent.
void PostHandOverDone(HWND hostWindow);

}  // namespace brisk

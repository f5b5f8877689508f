#include "core/hand_over_win.h"

#include <cstdint>
#include <cwchar>
#include <utility>

#include "base/thread_win.h"
#include "host/handover_messages.h"
#include "payload/encoded_strings.h"

namespace brisk {

namespace {

HANDLE CreateNamedEvent(int formatNumber) {
  wchar_t name[512] = {};
  _snwprintf(name, 511, GetEncodedStringWide(formatNumber).c_str(), static_cast<unsigned>(GetCurrentProcessId()));
  return CreateEventW(nullptr, TRUE, FALSE, name);
}

// A 32-bit number as a message's wParam: its upper half is 0 in a 64-bit
// process too, as the add-in receives it from a 32-bit sender.
WPARAM Param32(std::int32_t value) { return static_cast<WPARAM>(static_cast<std::uint32_t>(value)); }

}  // namespace

EventWaiter::EventWaiter(HANDLE event) : state_(std::make_shared<State>(event)) {
  // Detached: its handle is closed at once.
  StartThread([state = state_] {
    if (!state->event) return;
    WaitForSingleObject(state->event, INFINITE);
    state->seen.exchange(true);
  });
}

HandOverEvents CreateHandOverEvents(bool externalStorage) {
  HandOverEvents events;
  if (externalStorage) {
    events.closeEvent = CreateNamedEvent(kCloseEventFormat);
    if (events.closeEvent) {
      ResetEvent(events.closeEvent);
      events.closeWaiter = EventWaiter(events.closeEvent);
    }
  }
  events.readyEvent = CreateNamedEvent(kReadyEventFormat);
  events.readyWaiter = EventWaiter(events.readyEvent);
  return events;
}

HostWindowReply SendHandOverMessages(const HostApplication& host, HostWait& wait, HWND hostWindow, HANDLE hostProcess,
                                     const HandOverMessageInputs& inputs, UniqueHandle& instanceMutex,
                                     PayloadBuffer& rawRecord) {
  // Each message is handled before the next is sent, as SendMessageW would,
  // but a host that the user gives up, or that ends, stops the hand-over.
  struct NotHandled {
    HostWindowReply reply;
  };
  const auto send = [&](UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    const HostWindowReply reply = wait.Send(hostWindow, message, wParam, lParam, hostProcess);
    if (reply != HostWindowReply::kHandled) throw NotHandled{reply};
  };
  try {
    send(kMsgLauncherProcessId, GetCurrentProcessId());
    host.SetVisible(false);
    send(kMsgHostValues, Param32(host.GetIntProperty1209()), inputs.languageByte);
    if (inputs.optionValue != 0) send(kMsgOptionValue, Param32(inputs.optionValue));
    instanceMutex.reset();
    if (inputs.hasExecutablePath) send(kMsgExecutablePath);
    send(kMsg1156);
    send(kMsg1158);
    send(kMsg1166);
    if (!rawRecord.empty()) {
      send(kMsgSettingsRecord);
      PayloadBuffer().swap(rawRecord);
    }
    send(kMsg1157);
    send(kMsg1164);
    send(kMsg1168);
    send(kMsg1163);
    send(kMsg1179);
  } catch (const NotHandled& notHandled) {
    return notHandled.reply;
  }
  return HostWindowReply::kHandled;
}

void PostHandOverDone(HWND hostWindow) { PostMessageW(hostWindow, kMsgHandOverDone, 0, 0); }

}  // namespace brisk

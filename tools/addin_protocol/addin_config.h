// The stand-in add-in's configuration: one JSON object, for example
//
//   {"log": "C:\\tests\\run1\\addin.jsonl",
//    "ready": "delay", "readyDelayMs": 1500,
//    "close": "never"}
//
//   log           where to append the log (JSON lines); no log without it
//   ready         after message 1171: "signal" the ready event at once,
//                 "delay" it by readyDelayMs, or "never" signal it
//   close         the same for the close event, which exists only in
//                 external storage mode
//   readyDelayMs, closeDelayMs   milliseconds for "delay" (default 0)
//   dialogOnMessage, dialogMs    while it handles that message on a host
//                 window, show a modal message box (title "Stand-in add-in",
//                 owned by the window) for dialogMs (default 0), then go on
//   hangOnMessage, hangMs        while it handles that message, sleep hangMs
//                 (default 0) without handling any messages, then go on
//   crashOnMessage               while it handles that message, end the host
//                 process at once
//   broadcastOnMessage           while it handles that message, send an empty
//                 message to every top-level window of the system, one after
//                 the other, as a program that looks for DDE partners does,
//                 and record how long the launcher's windows took to answer
// A message number is WM_SETICON (128; acted on before the icon goes on to
// the host) or one of the hand-over's range, 1155 to 1181 (acted on after
// the message is recorded, before the add-in handles it). Each acts at the
// first such message of a session; on one message, the broadcast comes
// first, then the dialog, then the hang, then the crash.
//
// Every member is optional; the defaults signal both events at once and
// disturb nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisk::addin {

enum class SignalAction { Signal, Delay, Never };

std::string_view SignalActionName(SignalAction action);

struct SignalPlan {
  SignalAction action = SignalAction::Signal;
  std::uint32_t delayMs = 0;
};

// Something the add-in does while it handles one window message.
struct MessagePlan {
  std::uint32_t message = 0;  // 0: never
  std::uint32_t ms = 0;
};

// Whether the add-in can act on message `number`: WM_SETICON or one of the
// hand-over's range.
constexpr bool IsPlannableMessage(std::uint32_t number) { return number == 128 || (number >= 1155 && number <= 1181); }

struct AddinConfig {
  std::u16string logPath;
  SignalPlan ready;
  SignalPlan close;
  MessagePlan dialog;
  MessagePlan hang;
  std::uint32_t crashOnMessage = 0;      // 0: never
  std::uint32_t broadcastOnMessage = 0;  // 0: never
};

struct ConfigResult {
  AddinConfig config;
  // Faults found; every member that could be read still counts.
  std::vector<std::string> faults;
};

ConfigResult ParseAddinConfig(std::string_view json);

}  // namespace brisk::addin

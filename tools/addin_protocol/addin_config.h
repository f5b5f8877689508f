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
//
// Every member is optional; the defaults signal both events at once.
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

struct AddinConfig {
  std::u16string logPath;
  SignalPlan ready;
  SignalPlan close;
};

struct ConfigResult {
  AddinConfig config;
  // Faults found; every member that could be read still counts.
  std::vector<std::string> faults;
};

ConfigResult ParseAddinConfig(std::string_view json);

}  // namespace brisk::addin

#include "tools/addin_protocol/addin_config.h"

#include <utf8.h>

#include <algorithm>
#include <iterator>
#include <optional>

#include "tools/json/json_io.h"

namespace brisk::addin {

namespace {

constexpr std::string_view kMembers[] = {"log",          "ready",           "readyDelayMs",      "close",
                                         "closeDelayMs", "dialogOnMessage", "dialogMs",          "hangOnMessage",
                                         "hangMs",       "crashOnMessage",  "broadcastOnMessage"};

std::optional<SignalAction> ParseAction(std::string_view name) {
  if (name == "signal") return SignalAction::Signal;
  if (name == "delay") return SignalAction::Delay;
  if (name == "never") return SignalAction::Never;
  return std::nullopt;
}

void ReadPlan(const json::Json& object, std::string_view actionKey, std::string_view delayKey, SignalPlan& plan,
              std::vector<std::string>& faults) {
  if (object.contains(actionKey)) {
    const auto name = json::Member<std::string>(object, actionKey);
    const auto action = name ? ParseAction(*name) : std::nullopt;
    if (action) {
      plan.action = *action;
    } else {
      faults.push_back("\"" + std::string(actionKey) + "\" must be \"signal\", \"delay\" or \"never\"");
    }
  }
  if (object.contains(delayKey)) {
    const auto delay = json::Member<std::uint32_t>(object, delayKey);
    if (delay) {
      plan.delayMs = *delay;
    } else {
      faults.push_back("\"" + std::string(delayKey) + "\" must be a number of milliseconds");
    }
  }
}

std::optional<std::uint32_t> ReadMessageNumber(const json::Json& object, std::string_view key,
                                               std::vector<std::string>& faults) {
  if (!object.contains(key)) return std::nullopt;
  const auto number = json::Member<std::uint32_t>(object, key);
  if (number && IsPlannableMessage(*number)) return number;
  faults.push_back("\"" + std::string(key) + "\" must be 128 (WM_SETICON) or a message number from 1155 to 1181");
  return std::nullopt;
}

void ReadMessagePlan(const json::Json& object, std::string_view messageKey, std::string_view msKey, MessagePlan& plan,
                     std::vector<std::string>& faults) {
  if (const auto number = ReadMessageNumber(object, messageKey, faults)) plan.message = *number;
  if (!object.contains(msKey)) return;
  const auto ms = json::Member<std::uint32_t>(object, msKey);
  if (!ms) {
    faults.push_back("\"" + std::string(msKey) + "\" must be a number of milliseconds");
  } else if (!object.contains(messageKey)) {
    faults.push_back("\"" + std::string(msKey) + "\" without \"" + std::string(messageKey) + "\"");
  } else if (plan.message != 0) {
    // A message number that was refused has its fault already.
    plan.ms = *ms;
  }
}

}  // namespace

std::string_view SignalActionName(SignalAction action) {
  switch (action) {
    case SignalAction::Signal:
      return "signal";
    case SignalAction::Delay:
      return "delay";
    case SignalAction::Never:
      return "never";
  }
  return "signal";
}

ConfigResult ParseAddinConfig(std::string_view text) {
  ConfigResult result;
  std::string fault;
  const auto object = json::ParseObject(text, &fault, json::kFlatDepth);
  if (!object) {
    result.faults.push_back("configuration is not a JSON object: " + fault);
    return result;
  }
  for (const auto& [key, value] : object->items()) {
    if (std::find(std::begin(kMembers), std::end(kMembers), key) == std::end(kMembers)) {
      result.faults.push_back("unknown member \"" + key + "\"");
    }
  }
  if (object->contains("log")) {
    const auto log = json::Member<std::string>(*object, "log");
    if (log) {
      utf8::utf8to16(log->begin(), log->end(), std::back_inserter(result.config.logPath));
    } else {
      result.faults.push_back("\"log\" must be a string");
    }
  }
  ReadPlan(*object, "ready", "readyDelayMs", result.config.ready, result.faults);
  ReadPlan(*object, "close", "closeDelayMs", result.config.close, result.faults);
  ReadMessagePlan(*object, "dialogOnMessage", "dialogMs", result.config.dialog, result.faults);
  ReadMessagePlan(*object, "hangOnMessage", "hangMs", result.config.hang, result.faults);
  if (const auto number = ReadMessageNumber(*object, "crashOnMessage", result.faults)) {
    result.config.crashOnMessage = *number;
  }
  if (const auto number = ReadMessageNumber(*object, "broadcastOnMessage", result.faults)) {
    result.config.broadcastOnMessage = *number;
  }
  return result;
}

}  // namespace brisk::addin

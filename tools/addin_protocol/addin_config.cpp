#include "tools/addin_protocol/addin_config.h"

#include <utf8.h>

#include <iterator>
#include <optional>

#include "tools/json/json_io.h"

namespace brisk::addin {

namespace {

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
    if (key != "log" && key != "ready" && key != "readyDelayMs" && key != "close" && key != "closeDelayMs") {
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
  return result;
}

}  // namespace brisk::addin

#include "tools/addin_protocol/addin_config.h"

#include <utf8.h>

#include <iterator>
#include <limits>
#include <optional>

#include "tools/addin_protocol/flat_json.h"

namespace brisk::addin {

namespace {

std::optional<SignalAction> ParseAction(std::string_view name) {
  if (name == "signal") return SignalAction::Signal;
  if (name == "delay") return SignalAction::Delay;
  if (name == "never") return SignalAction::Never;
  return std::nullopt;
}

void ReadPlan(const FlatJson& json, std::string_view actionKey, std::string_view delayKey, SignalPlan& plan,
              std::vector<std::string>& faults) {
  if (json.Find(actionKey)) {
    const auto name = json.String(actionKey);
    const auto action = name ? ParseAction(*name) : std::nullopt;
    if (action) {
      plan.action = *action;
    } else {
      faults.push_back("\"" + std::string(actionKey) + "\" must be \"signal\", \"delay\" or \"never\"");
    }
  }
  if (json.Find(delayKey)) {
    const auto delay = json.Unsigned(delayKey);
    if (delay && *delay <= std::numeric_limits<std::uint32_t>::max()) {
      plan.delayMs = static_cast<std::uint32_t>(*delay);
    } else {
      faults.push_back("\"" + std::string(delayKey) + "\" must be a number of milliseconds");
    }
  }
}

}  // namespace

std::string_view SignalActionName(SignalAction action) {
  switch (action) {
    case SignalAction::Signal: return "signal";
    case SignalAction::Delay: return "delay";
    case SignalAction::Never: return "never";
  }
  return "signal";
}

ConfigResult ParseAddinConfig(std::string_view text) {
  ConfigResult result;
  std::string fault;
  const auto json = FlatJson::Parse(text, &fault);
  if (!json) {
    result.faults.push_back("configuration is not a JSON object: " + fault);
    return result;
  }
  for (const auto& [key, value] : json->members()) {
    if (key != "log" && key != "ready" && key != "readyDelayMs" && key != "close" && key != "closeDelayMs") {
      result.faults.push_back("unknown member \"" + key + "\"");
    }
  }
  if (json->Find("log")) {
    const auto log = json->String("log");
    if (log) {
      utf8::utf8to16(log->begin(), log->end(), std::back_inserter(result.config.logPath));
    } else {
      result.faults.push_back("\"log\" must be a string");
    }
  }
  ReadPlan(*json, "ready", "readyDelayMs", result.config.ready, result.faults);
  ReadPlan(*json, "close", "closeDelayMs", result.config.close, result.faults);
  return result;
}

}  // namespace brisk::addin

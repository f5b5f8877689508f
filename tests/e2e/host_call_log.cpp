#include "host_call_log.h"

#include <algorithm>

namespace brisk::e2e {

namespace {

std::optional<HostRecord> ReadRecord(std::string_view line) {
  std::optional<JsonValue> json = JsonValue::Parse(line);
  if (!json || json->kind() != JsonValue::Kind::kObject) return std::nullopt;
  HostRecord record;
  const std::optional<std::int64_t> seq = json->Integer("seq");
  const std::optional<std::string> type = json->String("type");
  if (!seq || !type) return std::nullopt;
  record.seq = *seq;
  record.type = *type;
  if (record.type == "call") {
    const std::optional<std::string> object = json->String("object");
    const std::optional<std::int64_t> dispid = json->Integer("dispid");
    const std::optional<std::string> kind = json->String("kind");
    const JsonValue* args = json->Find("args");
    if (!object || !dispid || !kind || !args || args->kind() != JsonValue::Kind::kArray) return std::nullopt;
    record.object = *object;
    record.dispid = *dispid;
    record.kind = *kind;
    record.args = args->items();
    record.hr = json->String("hr").value_or("");
  } else if (record.type == "event") {
    const std::optional<std::string> event = json->String("event");
    if (!event) return std::nullopt;
    record.event = *event;
  } else {
    return std::nullopt;
  }
  record.line = std::move(*json);
  return record;
}

bool IsApplicationPut(const HostRecord& record, std::int64_t dispid) {
  return record.type == "call" && record.object == "application" && record.dispid == dispid &&
         record.kind == "put" && !record.args.empty();
}

}  // namespace

HostCallLog HostCallLog::Parse(std::string_view text) {
  HostCallLog log;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    std::optional<HostRecord> record = ReadRecord(line);
    if (record) {
      log.records_.push_back(std::move(*record));
    } else {
      log.faults_.push_back("line " + std::to_string(lineNumber) + ": " + std::string(line));
    }
  }
  std::stable_sort(log.records_.begin(), log.records_.end(),
                   [](const HostRecord& a, const HostRecord& b) { return a.seq < b.seq; });
  return log;
}

std::vector<const HostRecord*> HostCallLog::Calls(std::string_view object, std::int64_t dispid) const {
  std::vector<const HostRecord*> calls;
  for (const HostRecord& record : records_) {
    if (record.type == "call" && record.object == object && record.dispid == dispid) calls.push_back(&record);
  }
  return calls;
}

std::vector<bool> HostCallLog::BoolPuts(std::int64_t dispid) const {
  std::vector<bool> values;
  for (const HostRecord& record : records_) {
    if (!IsApplicationPut(record, dispid)) continue;
    const std::optional<std::int64_t> value = record.args.front().Integer("value");
    if (value) values.push_back(*value != 0);
  }
  return values;
}

std::vector<std::int64_t> HostCallLog::IntPuts(std::int64_t dispid) const {
  std::vector<std::int64_t> values;
  for (const HostRecord& record : records_) {
    if (!IsApplicationPut(record, dispid)) continue;
    const std::optional<std::int64_t> value = record.args.front().Integer("value");
    if (value) values.push_back(*value);
  }
  return values;
}

std::vector<std::string> HostCallLog::TextPuts(std::int64_t dispid) const {
  std::vector<std::string> values;
  for (const HostRecord& record : records_) {
    if (!IsApplicationPut(record, dispid)) continue;
    const std::optional<std::string> value = record.args.front().String("value");
    if (value) values.push_back(*value);
  }
  return values;
}

std::vector<const HostRecord*> HostCallLog::Events(std::string_view name) const {
  std::vector<const HostRecord*> events;
  for (const HostRecord& record : records_) {
    if (record.type == "event" && record.event == name) events.push_back(&record);
  }
  return events;
}

std::vector<std::uint32_t> HostCallLog::StartedProcesses() const {
  std::vector<std::uint32_t> ids;
  for (const HostRecord* start : Events("start")) {
    const std::optional<std::int64_t> pid = start->line.Integer("pid");
    if (pid) ids.push_back(static_cast<std::uint32_t>(*pid));
  }
  return ids;
}

std::string FirstArgumentText(const HostRecord& call) {
  if (call.args.empty()) return {};
  const JsonValue& arg = call.args.front();
  const std::string vt = arg.String("vt").value_or("");
  if (vt == "bool") {
    const std::optional<std::int64_t> value = arg.Integer("value");
    return value ? (*value != 0 ? "true" : "false") : "?";
  }
  if (const std::optional<std::string> text = arg.String("value")) return *text;
  if (const std::optional<std::int64_t> number = arg.Integer("value")) return std::to_string(*number);
  return vt;
}

std::vector<std::string> HostCallLog::CallSummary() const {
  std::vector<std::string> summary;
  for (const HostRecord& record : records_) {
    if (record.type != "call") continue;
    std::string line = record.object + "." + std::to_string(record.dispid) + " " + record.kind;
    if (record.kind == "put") line += " " + FirstArgumentText(record);
    summary.push_back(std::move(line));
  }
  return summary;
}

}  // namespace brisk::e2e

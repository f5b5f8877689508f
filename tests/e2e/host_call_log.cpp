#include "host_call_log.h"

#include <algorithm>
#include <charconv>

namespace brisk::e2e {

namespace {

bool IsSurrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDFFF; }
bool IsHighSurrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The code unit of the \u escape at `at`, if there is one.
std::optional<unsigned> EscapedUnit(std::string_view line, std::size_t at) {
  if (line.substr(at, 2) != "\\u" || line.size() < at + 6) return std::nullopt;
  unsigned unit = 0;
  const char* digits = line.data() + at + 2;
  const auto [end, fault] = std::from_chars(digits, digits + 4, unit, 16);
  if (fault != std::errc() || end != digits + 4) return std::nullopt;
  return unit;
}

// The JSON library refuses a \u escape of an unpaired surrogate; here it
// stands for U+FFFD, so that one odd text does not make its whole line
// unreadable.
std::string ReplaceUnpairedSurrogateEscapes(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (std::size_t i = 0; i < line.size();) {
    if (line[i] != '\\') {
      out += line[i++];
      continue;
    }
    const std::optional<unsigned> unit = EscapedUnit(line, i);
    if (!unit) {
      // Another escape: copied with the character it escapes.
      out += line.substr(i, 2);
      i += 2;
      continue;
    }
    const std::optional<unsigned> next = EscapedUnit(line, i + 6);
    if (IsHighSurrogate(*unit) && next && IsLowSurrogate(*next)) {
      out += line.substr(i, 12);
      i += 12;
    } else {
      out += IsSurrogate(*unit) ? std::string_view("\\uFFFD") : line.substr(i, 6);
      i += 6;
    }
  }
  return out;
}

std::optional<HostRecord> ReadRecord(std::string_view line) {
  std::optional<json::Json> json = json::ParseObject(ReplaceUnpairedSurrogateEscapes(line));
  if (!json) return std::nullopt;
  HostRecord record;
  const std::optional<std::int64_t> seq = json::Member<std::int64_t>(*json, "seq");
  const std::optional<std::string> type = json::Member<std::string>(*json, "type");
  if (!seq || !type) return std::nullopt;
  record.seq = *seq;
  record.type = *type;
  if (record.type == "call") {
    const std::optional<std::string> object = json::Member<std::string>(*json, "object");
    const std::optional<std::int64_t> dispid = json::Member<std::int64_t>(*json, "dispid");
    const std::optional<std::string> kind = json::Member<std::string>(*json, "kind");
    const auto args = json->find("args");
    if (!object || !dispid || !kind || args == json->end() || !args->is_array()) return std::nullopt;
    record.object = *object;
    record.dispid = *dispid;
    record.kind = *kind;
    record.args.assign(args->begin(), args->end());
    record.hr = json::Member<std::string>(*json, "hr").value_or("");
  } else if (record.type == "event") {
    const std::optional<std::string> event = json::Member<std::string>(*json, "event");
    if (!event) return std::nullopt;
    record.event = *event;
  } else {
    return std::nullopt;
  }
  record.line = std::move(*json);
  return record;
}

bool IsApplicationPut(const HostRecord& record, std::int64_t dispid) {
  return record.type == "call" && record.object == "application" && record.dispid == dispid && record.kind == "put" &&
         !record.args.empty();
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
    const std::optional<std::int64_t> value = json::Member<std::int64_t>(record.args.front(), "value");
    if (value) values.push_back(*value != 0);
  }
  return values;
}

std::vector<std::int64_t> HostCallLog::IntPuts(std::int64_t dispid) const {
  std::vector<std::int64_t> values;
  for (const HostRecord& record : records_) {
    if (!IsApplicationPut(record, dispid)) continue;
    const std::optional<std::int64_t> value = json::Member<std::int64_t>(record.args.front(), "value");
    if (value) values.push_back(*value);
  }
  return values;
}

std::vector<std::string> HostCallLog::TextPuts(std::int64_t dispid) const {
  std::vector<std::string> values;
  for (const HostRecord& record : records_) {
    if (!IsApplicationPut(record, dispid)) continue;
    const std::optional<std::string> value = json::Member<std::string>(record.args.front(), "value");
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
    const std::optional<std::int64_t> pid = json::Member<std::int64_t>(start->line, "pid");
    if (pid) ids.push_back(static_cast<std::uint32_t>(*pid));
  }
  return ids;
}

std::string FirstArgumentText(const HostRecord& call) {
  if (call.args.empty()) return {};
  const json::Json& arg = call.args.front();
  const std::string vt = json::Member<std::string>(arg, "vt").value_or("");
  if (vt == "bool") {
    const std::optional<std::int64_t> value = json::Member<std::int64_t>(arg, "value");
    return value ? (*value != 0 ? "true" : "false") : "?";
  }
  if (const std::optional<std::string> text = json::Member<std::string>(arg, "value")) return *text;
  if (const std::optional<std::int64_t> number = json::Member<std::int64_t>(arg, "value")) {
    return std::to_string(*number);
  }
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

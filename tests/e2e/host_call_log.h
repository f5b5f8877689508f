// The stand-in host's call log read back: one record per JSON line, in the
// order of their "seq" numbers (a call is written when it returns, so the
// lines of nested calls are not always in file order).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/json/json_io.h"

namespace brisk::e2e {

struct HostRecord {
  std::int64_t seq = 0;
  std::string type;  // "call" or "event"
  // Calls: "application", "workbooks", "workbook" or "language_settings";
  // the invoke kind ("get", "put", "method", ...); arguments in call order.
  std::string object;
  std::int64_t dispid = 0;
  std::string kind;
  std::vector<json::Json> args;
  std::string hr;
  // Events: the event's name; every member stays readable in `line`.
  std::string event;
  json::Json line;
};

class HostCallLog {
 public:
  static HostCallLog Parse(std::string_view text);

  const std::vector<HostRecord>& records() const { return records_; }
  // Lines that could not be read, with their line numbers.
  const std::vector<std::string>& faults() const { return faults_; }

  // The calls of one member, in order.
  std::vector<const HostRecord*> Calls(std::string_view object, std::int64_t dispid) const;
  // The values put into a member of the application object, in order:
  // booleans (VARIANT_BOOL), integers and texts.
  std::vector<bool> BoolPuts(std::int64_t dispid) const;
  std::vector<std::int64_t> IntPuts(std::int64_t dispid) const;
  std::vector<std::string> TextPuts(std::int64_t dispid) const;

  // The records of one event, in order.
  std::vector<const HostRecord*> Events(std::string_view name) const;
  // The process ids of the "start" events: one per host process started.
  std::vector<std::uint32_t> StartedProcesses() const;

  // Every call as "object.dispid kind", with " value" of the first argument
  // for a put, for comparing whole sequences.
  std::vector<std::string> CallSummary() const;

 private:
  std::vector<HostRecord> records_;
  std::vector<std::string> faults_;
};

// The first argument of a call as short text: a boolean as true/false, a
// number as written, a text as it stands; empty when there is none.
std::string FirstArgumentText(const HostRecord& call);

}  // namespace brisk::e2e

#include "tools/addin_protocol/addin_log.h"

#include <array>
#include <initializer_list>
#include <utility>

#include "tools/json/json_io.h"

namespace brisk::addin {

namespace {

constexpr std::array<std::pair<Delivery, std::string_view>, 5> kDeliveryNames = {{
    {Delivery::Send, "send"},
    {Delivery::Notify, "notify"},
    {Delivery::Callback, "callback"},
    {Delivery::Post, "post"},
    {Delivery::Direct, "direct"},
}};

// The line of one record: "seq" and "kind" first, then `members`.
std::string Line(std::uint64_t seq, std::string_view kind,
                 std::initializer_list<std::pair<const char*, json::Json>> members) {
  json::Json line = {{"seq", seq}, {"kind", kind}};
  for (const auto& [key, value] : members) line[key] = value;
  return json::OneLine(line) + "\n";
}

// Reads the members that a record kind requires; the first one missing or of
// the wrong type is the fault.
class Reader {
 public:
  explicit Reader(const json::Json& json) : json_(json) {}

  template <typename T>
  void Read(std::string_view key, T& out) {
    auto value = json::Member<T>(json_, key);
    if (!value) return Missing(key);
    out = std::move(*value);
  }
  void DeliveryOf(std::string_view key, Delivery& out) {
    const auto name = json::Member<std::string>(json_, key);
    const auto value = name ? ParseDelivery(*name) : std::nullopt;
    if (!value) return Missing(key);
    out = *value;
  }

  const std::string& fault() const { return fault_; }

 private:
  void Missing(std::string_view key) {
    if (fault_.empty()) fault_ = "member \"" + std::string(key) + "\" missing or invalid";
  }

  const json::Json& json_;
  std::string fault_;
};

// Fills one record from the line and appends it; returns the fault, if any.
std::string ReadRecord(const json::Json& json, const std::string& kind, AddinLog& log) {
  Reader r(json);
  std::uint64_t seq = 0;
  r.Read("seq", seq);
  if (kind == "attach") {
    AttachRecord a;
    a.seq = seq;
    r.Read("code", a.code);
    r.Read("application", a.application);
    r.Read("third", a.third);
    r.Read("windows", a.windows);
    r.Read("process", a.process);
    r.Read("bits", a.bits);
    r.Read("module", a.module);
    if (r.fault().empty()) log.attaches.push_back(std::move(a));
  } else if (kind == "cmdfile") {
    CommandFileRecord c;
    c.seq = seq;
    r.Read("path", c.path);
    r.Read("found", c.found);
    r.Read("lineFeed", c.lineFeed);
    r.Read("commandLine", c.commandLine);
    r.Read("workbookPath", c.workbookPath);
    r.Read("workbookExists", c.workbookExists);
    if (r.fault().empty()) log.commandFiles.push_back(std::move(c));
  } else if (kind == "message") {
    MessageRecord m;
    m.seq = seq;
    r.Read("order", m.order);
    r.Read("msg", m.number);
    r.Read("wParam", m.wParam);
    r.Read("lParam", m.lParam);
    r.DeliveryOf("delivery", m.delivery);
    r.Read("visible", m.visible);
    r.Read("window", m.window);
    if (r.fault().empty()) log.messages.push_back(m);
  } else if (kind == "events") {
    EventsRecord e;
    e.seq = seq;
    r.Read("pid", e.pid);
    r.Read("close", e.closeName);
    r.Read("ready", e.readyName);
    r.Read("closeExists", e.closeExists);
    r.Read("readyExists", e.readyExists);
    if (r.fault().empty()) log.events.push_back(std::move(e));
  } else if (kind == "signal") {
    SignalRecord s;
    s.seq = seq;
    r.Read("event", s.event);
    r.Read("action", s.action);
    r.Read("delayMs", s.delayMs);
    r.Read("state", s.state);
    if (r.fault().empty()) log.signals.push_back(std::move(s));
  } else if (kind == "system") {
    SystemMessageRecord m;
    m.seq = seq;
    r.Read("msg", m.number);
    r.Read("wParam", m.wParam);
    r.Read("lParam", m.lParam);
    r.DeliveryOf("delivery", m.delivery);
    r.Read("window", m.window);
    if (r.fault().empty()) log.systemMessages.push_back(m);
  } else if (kind == "call") {
    CallRecord c;
    c.seq = seq;
    r.Read("function", c.function);
    if (r.fault().empty()) log.calls.push_back(std::move(c));
  } else if (kind == "note") {
    NoteRecord n;
    n.seq = seq;
    r.Read("text", n.text);
    if (r.fault().empty()) log.notes.push_back(std::move(n));
  } else if (kind == "dialog") {
    DialogRecord d;
    d.seq = seq;
    r.Read("msg", d.number);
    r.Read("window", d.window);
    r.Read("dialogMs", d.dialogMs);
    r.Read("shownMs", d.shownMs);
    r.Read("closedByTimer", d.closedByTimer);
    if (r.fault().empty()) log.dialogs.push_back(d);
  } else if (kind == "hang") {
    HangRecord h;
    h.seq = seq;
    r.Read("msg", h.number);
    r.Read("window", h.window);
    r.Read("hangMs", h.hangMs);
    if (r.fault().empty()) log.hangs.push_back(h);
  } else if (kind == "crash") {
    CrashRecord c;
    c.seq = seq;
    r.Read("msg", c.number);
    r.Read("window", c.window);
    r.Read("exitCode", c.exitCode);
    if (r.fault().empty()) log.crashes.push_back(c);
  } else if (kind == "broadcast") {
    BroadcastRecord b;
    b.seq = seq;
    r.Read("msg", b.number);
    r.Read("windows", b.windows);
    r.Read("launcherWindows", b.launcherWindows);
    r.Read("longestMs", b.longestMs);
    r.Read("longestLauncherMs", b.longestLauncherMs);
    if (r.fault().empty()) log.broadcasts.push_back(b);
  } else {
    return "unknown kind \"" + kind + "\"";
  }
  return r.fault();
}

}  // namespace

std::string_view DeliveryName(Delivery delivery) {
  for (const auto& [value, name] : kDeliveryNames) {
    if (value == delivery) return name;
  }
  return "direct";
}

std::optional<Delivery> ParseDelivery(std::string_view name) {
  for (const auto& [value, known] : kDeliveryNames) {
    if (known == name) return value;
  }
  return std::nullopt;
}

std::string FormatLogLine(const AttachRecord& r) {
  return Line(r.seq, "attach",
              {{"code", r.code},
               {"application", r.application},
               {"third", r.third},
               {"windows", r.windows},
               {"process", r.process},
               {"bits", r.bits},
               {"module", r.module}});
}

std::string FormatLogLine(const CommandFileRecord& r) {
  return Line(r.seq, "cmdfile",
              {{"path", r.path},
               {"found", r.found},
               {"lineFeed", r.lineFeed},
               {"commandLine", r.commandLine},
               {"workbookPath", r.workbookPath},
               {"workbookExists", r.workbookExists}});
}

std::string FormatLogLine(const MessageRecord& r) {
  return Line(r.seq, "message",
              {{"order", r.order},
               {"msg", r.number},
               {"wParam", r.wParam},
               {"lParam", r.lParam},
               {"delivery", DeliveryName(r.delivery)},
               {"visible", r.visible},
               {"window", r.window}});
}

std::string FormatLogLine(const EventsRecord& r) {
  return Line(r.seq, "events",
              {{"pid", r.pid},
               {"close", r.closeName},
               {"ready", r.readyName},
               {"closeExists", r.closeExists},
               {"readyExists", r.readyExists}});
}

std::string FormatLogLine(const SignalRecord& r) {
  return Line(r.seq, "signal", {{"event", r.event}, {"action", r.action}, {"delayMs", r.delayMs}, {"state", r.state}});
}

std::string FormatLogLine(const SystemMessageRecord& r) {
  return Line(r.seq, "system",
              {{"msg", r.number},
               {"wParam", r.wParam},
               {"lParam", r.lParam},
               {"delivery", DeliveryName(r.delivery)},
               {"window", r.window}});
}

std::string FormatLogLine(const CallRecord& r) { return Line(r.seq, "call", {{"function", r.function}}); }

std::string FormatLogLine(const NoteRecord& r) { return Line(r.seq, "note", {{"text", r.text}}); }

std::string FormatLogLine(const DialogRecord& r) {
  return Line(r.seq, "dialog",
              {{"msg", r.number},
               {"window", r.window},
               {"dialogMs", r.dialogMs},
               {"shownMs", r.shownMs},
               {"closedByTimer", r.closedByTimer}});
}

std::string FormatLogLine(const HangRecord& r) {
  return Line(r.seq, "hang", {{"msg", r.number}, {"window", r.window}, {"hangMs", r.hangMs}});
}

std::string FormatLogLine(const BroadcastRecord& r) {
  return Line(r.seq, "broadcast",
              {{"msg", r.number},
               {"windows", r.windows},
               {"launcherWindows", r.launcherWindows},
               {"longestMs", r.longestMs},
               {"longestLauncherMs", r.longestLauncherMs}});
}

std::string FormatLogLine(const CrashRecord& r) {
  return Line(r.seq, "crash", {{"msg", r.number}, {"window", r.window}, {"exitCode", r.exitCode}});
}

AddinLog ParseAddinLog(std::string_view text) {
  AddinLog log;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;

    std::string fault;
    const auto json = json::ParseObject(line, &fault, json::kFlatDepth);
    if (json) {
      const auto kind = json::Member<std::string>(*json, "kind");
      fault = kind ? ReadRecord(*json, *kind, log) : "member \"kind\" missing";
    }
    if (!fault.empty()) log.faults.push_back("line " + std::to_string(lineNumber) + ": " + fault);
  }
  return log;
}

}  // namespace brisk::addin

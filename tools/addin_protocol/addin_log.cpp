#include "tools/addin_protocol/addin_log.h"

#include <array>
#include <limits>
#include <utility>

#include "tools/addin_protocol/flat_json.h"

namespace brisk::addin {

namespace {

constexpr std::array<std::pair<Delivery, std::string_view>, 5> kDeliveryNames = {{
    {Delivery::Send, "send"},
    {Delivery::Notify, "notify"},
    {Delivery::Callback, "callback"},
    {Delivery::Post, "post"},
    {Delivery::Direct, "direct"},
}};

JsonLineWriter Start(std::uint64_t seq, std::string_view kind) {
  JsonLineWriter writer;
  writer.Add("seq", seq).Add("kind", kind);
  return writer;
}

// Reads the members that a record kind requires; the first one missing or of
// the wrong type is the fault.
class Reader {
 public:
  explicit Reader(const FlatJson& json) : json_(json) {}

  template <typename T>
  void Unsigned(std::string_view key, T& out) {
    const auto value = json_.Unsigned(key);
    if (!value || *value > std::numeric_limits<T>::max()) return Missing(key);
    out = static_cast<T>(*value);
  }
  template <typename T>
  void Signed(std::string_view key, T& out) {
    const auto value = json_.Signed(key);
    if (!value || *value > std::numeric_limits<T>::max() || *value < std::numeric_limits<T>::min()) {
      return Missing(key);
    }
    out = static_cast<T>(*value);
  }
  void Bool(std::string_view key, bool& out) {
    const auto value = json_.Bool(key);
    if (!value) return Missing(key);
    out = *value;
  }
  void String(std::string_view key, std::string& out) {
    auto value = json_.String(key);
    if (!value) return Missing(key);
    out = std::move(*value);
  }
  void DeliveryOf(std::string_view key, Delivery& out) {
    const auto name = json_.String(key);
    const auto value = name ? ParseDelivery(*name) : std::nullopt;
    if (!value) return Missing(key);
    out = *value;
  }

  const std::string& fault() const { return fault_; }

 private:
  void Missing(std::string_view key) {
    if (fault_.empty()) fault_ = "member \"" + std::string(key) + "\" missing or invalid";
  }

  const FlatJson& json_;
  std::string fault_;
};

// Fills one record from the line and appends it; returns the fault, if any.
std::string ReadRecord(const FlatJson& json, const std::string& kind, AddinLog& log) {
  Reader r(json);
  std::uint64_t seq = 0;
  r.Unsigned("seq", seq);
  if (kind == "attach") {
    AttachRecord a;
    a.seq = seq;
    r.Signed("code", a.code);
    r.Bool("application", a.application);
    r.Signed("third", a.third);
    r.Signed("windows", a.windows);
    r.Unsigned("process", a.process);
    r.Signed("bits", a.bits);
    r.String("module", a.module);
    if (r.fault().empty()) log.attaches.push_back(std::move(a));
  } else if (kind == "cmdfile") {
    CommandFileRecord c;
    c.seq = seq;
    r.String("path", c.path);
    r.Bool("found", c.found);
    r.Bool("lineFeed", c.lineFeed);
    r.String("commandLine", c.commandLine);
    r.String("workbookPath", c.workbookPath);
    r.Bool("workbookExists", c.workbookExists);
    if (r.fault().empty()) log.commandFiles.push_back(std::move(c));
  } else if (kind == "message") {
    MessageRecord m;
    m.seq = seq;
    r.Signed("order", m.order);
    r.Unsigned("msg", m.number);
    r.Unsigned("wParam", m.wParam);
    r.Signed("lParam", m.lParam);
    r.DeliveryOf("delivery", m.delivery);
    r.Bool("visible", m.visible);
    r.Unsigned("window", m.window);
    if (r.fault().empty()) log.messages.push_back(m);
  } else if (kind == "events") {
    EventsRecord e;
    e.seq = seq;
    r.Unsigned("pid", e.pid);
    r.String("close", e.closeName);
    r.String("ready", e.readyName);
    r.Bool("closeExists", e.closeExists);
    r.Bool("readyExists", e.readyExists);
    if (r.fault().empty()) log.events.push_back(std::move(e));
  } else if (kind == "signal") {
    SignalRecord s;
    s.seq = seq;
    r.String("event", s.event);
    r.String("action", s.action);
    r.Unsigned("delayMs", s.delayMs);
    r.String("state", s.state);
    if (r.fault().empty()) log.signals.push_back(std::move(s));
  } else if (kind == "call") {
    CallRecord c;
    c.seq = seq;
    r.String("function", c.function);
    if (r.fault().empty()) log.calls.push_back(std::move(c));
  } else if (kind == "note") {
    NoteRecord n;
    n.seq = seq;
    r.String("text", n.text);
    if (r.fault().empty()) log.notes.push_back(std::move(n));
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
  return Start(r.seq, "attach")
      .Add("code", r.code)
      .Add("application", r.application)
      .Add("third", r.third)
      .Add("windows", r.windows)
      .Add("process", r.process)
      .Add("bits", r.bits)
      .Add("module", r.module)
      .Line();
}

std::string FormatLogLine(const CommandFileRecord& r) {
  return Start(r.seq, "cmdfile")
      .Add("path", r.path)
      .Add("found", r.found)
      .Add("lineFeed", r.lineFeed)
      .Add("commandLine", r.commandLine)
      .Add("workbookPath", r.workbookPath)
      .Add("workbookExists", r.workbookExists)
      .Line();
}

std::string FormatLogLine(const MessageRecord& r) {
  return Start(r.seq, "message")
      .Add("order", r.order)
      .Add("msg", r.number)
      .Add("wParam", r.wParam)
      .Add("lParam", r.lParam)
      .Add("delivery", DeliveryName(r.delivery))
      .Add("visible", r.visible)
      .Add("window", r.window)
      .Line();
}

std::string FormatLogLine(const EventsRecord& r) {
  return Start(r.seq, "events")
      .Add("pid", r.pid)
      .Add("close", r.closeName)
      .Add("ready", r.readyName)
      .Add("closeExists", r.closeExists)
      .Add("readyExists", r.readyExists)
      .Line();
}

std::string FormatLogLine(const SignalRecord& r) {
  return Start(r.seq, "signal")
      .Add("event", r.event)
      .Add("action", r.action)
      .Add("delayMs", r.delayMs)
      .Add("state", r.state)
      .Line();
}

std::string FormatLogLine(const CallRecord& r) {
  return Start(r.seq, "call").Add("function", r.function).Line();
}

std::string FormatLogLine(const NoteRecord& r) {
  return Start(r.seq, "note").Add("text", r.text).Line();
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
    const auto json = FlatJson::Parse(line, &fault);
    if (json) {
      const auto kind = json->String("kind");
      fault = kind ? ReadRecord(*json, *kind, log) : "member \"kind\" missing";
    }
    if (!fault.empty()) log.faults.push_back("line " + std::to_string(lineNumber) + ": " + fault);
  }
  return log;
}

}  // namespace brisk::addin

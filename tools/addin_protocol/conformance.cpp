#include "tools/addin_protocol/conformance.h"

#include <array>

#include "tools/addin_protocol/handover_contract.h"

namespace brisk::addin {

namespace {

std::string Hex(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value);
  return "0x" + text;
}

std::string Name(const MessageRecord& m) {
  return "message " + std::to_string(m.number) + " (order " + std::to_string(m.order) + ")";
}

class Checker {
 public:
  Checker(const AddinLog& log, const HandoverExpectation& expect) : log_(log), expect_(expect) {}

  std::vector<std::string> Run() {
    for (const auto& fault : log_.faults) Report("unreadable log " + fault);
    CheckAttach();
    CheckMessages();
    CheckPresence();
    CheckEvents();
    CheckSystemMessages();
    return std::move(deviations_);
  }

 private:
  void Report(std::string text) { deviations_.push_back(std::move(text)); }

  void CheckAttach() {
    if (log_.attaches.empty()) {
      Report("DummyFunc9 was never called: the add-in was not loaded by the auxiliary workbook");
      return;
    }
    if (log_.attaches.size() > 1) {
      Report("DummyFunc9 was called " + std::to_string(log_.attaches.size()) +
             " times; the auxiliary workbook is opened once");
    }
    const AttachRecord& a = log_.attaches.front();
    if (a.code != kFirstContactCode) {
      Report("DummyFunc9 got code " + std::to_string(a.code) + " instead of " + std::to_string(kFirstContactCode));
    }
    if (!a.application) Report("DummyFunc9 got no application object");
    if (a.third != 0) Report("DummyFunc9 got " + std::to_string(a.third) + " as third argument instead of 0");
    if (a.windows == 0) Report("the add-in found no host main window to watch");
  }

  // A 32-bit number that reached a window of any bitness: its upper half is 0.
  void CheckLow32(const MessageRecord& m, std::string_view what, std::uint64_t value,
                  std::optional<std::uint32_t> expected) {
    if (value >> 32) {
      Report(Name(m) + ": " + std::string(what) + " " + Hex(value) + " is wider than 32 bits");
      return;
    }
    if (expected && static_cast<std::uint32_t>(value) != *expected) {
      Report(Name(m) + ": " + std::string(what) + " " + std::to_string(value) + " instead of " +
             std::to_string(*expected));
    }
  }

  void CheckParam(const MessageRecord& m, bool isWParam, ParamRule rule) {
    const std::string what = isWParam ? "wParam" : "lParam";
    const std::uint64_t value = isWParam ? m.wParam : static_cast<std::uint64_t>(m.lParam);
    // As the parameter's own type reads it: wParam unsigned, lParam signed.
    const std::string shown = isWParam ? std::to_string(m.wParam) : std::to_string(m.lParam);
    switch (rule) {
      case ParamRule::Zero:
        if (value != 0) {
          Report(Name(m) + ": " + what + " " + shown + " instead of 0");
        }
        break;
      case ParamRule::ProcessId:
        CheckLow32(m, what, value, expect_.launcherProcessId);
        if (!expect_.launcherProcessId && value == 0) Report(Name(m) + ": " + what + " 0 is no process id");
        break;
      case ParamRule::IntProperty1209: {
        std::optional<std::uint32_t> expected;
        if (expect_.intProperty1209) expected = static_cast<std::uint32_t>(*expect_.intProperty1209);
        CheckLow32(m, what, value, expected);
        break;
      }
      case ParamRule::LanguageByte:
        if (value > 0xFF) {
          Report(Name(m) + ": " + what + " " + shown + " is more than the low 8 bits of a language id");
        } else if (expect_.languageByte && value != *expect_.languageByte) {
          Report(Name(m) + ": " + what + " " + std::to_string(value) + " instead of language byte " +
                 std::to_string(*expect_.languageByte));
        }
        break;
      case ParamRule::OptionValue: {
        std::optional<std::uint32_t> expected;
        if (expect_.optionValue) expected = static_cast<std::uint32_t>(*expect_.optionValue);
        CheckLow32(m, what, value, expected);
        if (!expect_.optionValue && value == 0) Report(Name(m) + ": sent with option value 0");
        break;
      }
    }
  }

  void CheckMessages() {
    int lastIndex = -1;
    bool handedOver = false;
    for (std::size_t i = 0; i < log_.messages.size(); ++i) {
      const MessageRecord& m = log_.messages[i];
      if (m.order != static_cast<int>(i) + 1) {
        Report("unreadable log: " + Name(m) + " where order " + std::to_string(i + 1) + " was due");
      }
      const MessageRecord& first = log_.messages.front();
      if (m.window != first.window) {
        Report(Name(m) + " went to window " + Hex(m.window) + ", the earlier ones to " + Hex(first.window));
      }
      if (handedOver) Report(Name(m) + " arrived after message " + std::to_string(kMsgHandOverDone));

      const int index = HandoverIndex(m.number);
      if (index < 0) {
        Report(Name(m) + " is not a message of the hand-over");
        continue;
      }
      const HandoverMessage& rule = kHandoverMessages[static_cast<std::size_t>(index)];
      if (seen_[static_cast<std::size_t>(index)]) {
        Report(Name(m) + " is a repetition");
      } else if (index < lastIndex) {
        Report(Name(m) + " came after message " +
               std::to_string(kHandoverMessages[static_cast<std::size_t>(lastIndex)].number) +
               ", which must follow it");
      }
      seen_[static_cast<std::size_t>(index)] = true;
      if (index > lastIndex) lastIndex = index;
      if (m.number == kMsgHandOverDone) handedOver = true;

      const Delivery wanted = rule.posted ? Delivery::Post : Delivery::Send;
      if (m.delivery != wanted) {
        Report(Name(m) + " arrived by " + std::string(DeliveryName(m.delivery)) + " instead of " +
               std::string(DeliveryName(wanted)) +
               (rule.posted ? "" : ": the launcher must wait until the add-in has handled it"));
      }
      CheckParam(m, true, rule.wParam);
      CheckParam(m, false, rule.lParam);

      if (m.number == kMsgHandOverDone) {
        if (expect_.visibleAtEnd && m.visible != *expect_.visibleAtEnd) {
          Report(Name(m) + ": the host window is " + (m.visible ? "visible" : "hidden") + " instead of " +
                 (*expect_.visibleAtEnd ? "visible" : "hidden"));
        }
      } else if (m.number != kMsgLauncherProcessId && m.visible) {
        Report(Name(m) + ": the host window is visible; the launcher hides it after message " +
               std::to_string(kMsgLauncherProcessId));
      }
    }
  }

  void CheckPresence() {
    for (std::size_t i = 0; i < kHandoverMessages.size(); ++i) {
      const HandoverMessage& rule = kHandoverMessages[i];
      std::optional<bool> due;
      std::string subject;
      switch (rule.presence) {
        case Presence::Always:
          due = true;
          break;
        case Presence::WhenOptionValue:
          if (expect_.optionValue) due = *expect_.optionValue != 0;
          subject = "the hexadecimal option";
          break;
        case Presence::WhenExePath:
          due = expect_.exePathKnown;
          subject = "an executable path";
          break;
        case Presence::WhenSettingsRecord:
          due = expect_.settingsRecord;
          subject = "a settings record";
          break;
        case Presence::UnlessEndedEarly:
          due = expect_.completed;
          break;
      }
      if (!due) continue;
      std::string why;
      if (rule.presence == Presence::UnlessEndedEarly) {
        why = *due ? " in a completed launch" : " in a launch that ended before it";
      } else if (!subject.empty()) {
        why = (*due ? " with " : " without ") + subject;
      }
      if (!due) continue;
      const std::string number = std::to_string(rule.number);
      if (*due && !seen_[i]) Report("message " + number + " is missing" + why);
      if (!*due && seen_[i]) Report("message " + number + " must be absent" + why);
    }
  }

  void CheckEvents() {
    if (!seen_[static_cast<std::size_t>(HandoverIndex(kMsgLauncherProcessId))]) return;
    if (log_.events.empty()) {
      Report("the add-in recorded no event names after message " + std::to_string(kMsgLauncherProcessId));
      return;
    }
    const EventsRecord& e = log_.events.front();
    if (!e.readyExists) Report("the ready event " + e.readyName + " did not exist at message 1159");
    if (expect_.externalStorage) {
      if (*expect_.externalStorage && !e.closeExists) {
        Report("the close event " + e.closeName + " did not exist at message 1159 in external storage mode");
      } else if (!*expect_.externalStorage && e.closeExists) {
        Report("the close event " + e.closeName + " exists outside external storage mode");
      }
    }
  }

  // WM_SETICON and WM_QUIT: how they arrived and where, the icon before the
  // hand-over, and each only where the launch calls for it.
  void CheckSystemMessages() {
    const MessageRecord* first = log_.messages.empty() ? nullptr : &log_.messages.front();
    const MessageRecord* processId = nullptr;
    for (const MessageRecord& m : log_.messages) {
      if (m.number == kMsgLauncherProcessId && !processId) processId = &m;
    }
    bool icon = false;
    bool quit = false;
    for (const SystemMessageRecord& m : log_.systemMessages) {
      std::string name;
      Delivery wanted = Delivery::Send;
      if (m.number == kMsgSetIcon) {
        name = "WM_SETICON";
        icon = true;
        if (m.wParam != kIconBig) Report(name + ": wParam " + std::to_string(m.wParam) + " instead of ICON_BIG (1)");
        if (m.lParam == 0) Report(name + " carried no icon");
        if (processId && m.seq > processId->seq) {
          Report(name + " arrived after message " + std::to_string(kMsgLauncherProcessId));
        }
      } else if (m.number == kMsgQuit) {
        name = "WM_QUIT";
        wanted = Delivery::Post;
        quit = true;
      } else {
        Report("window message " + std::to_string(m.number) + " is not one the launcher gives the host window");
        continue;
      }
      if (m.delivery != wanted) {
        Report(name + " arrived by " + std::string(DeliveryName(m.delivery)) + " instead of " +
               std::string(DeliveryName(wanted)));
      }
      if (first && m.window != first->window) {
        Report(name + " went to window " + Hex(m.window) + ", the hand-over to " + Hex(first->window));
      }
    }
    if (expect_.iconBeforeHandover && *expect_.iconBeforeHandover != icon) {
      Report(icon ? "the host window got an icon in a launch that shows none"
                  : "the host window got no icon before message " + std::to_string(kMsgLauncherProcessId));
    }
    if (expect_.quitPosted && *expect_.quitPosted != quit) {
      Report(quit ? "WM_QUIT reached the host window, which the launch was to leave running"
                  : "WM_QUIT was not posted to the host window");
    }
  }

  const AddinLog& log_;
  const HandoverExpectation& expect_;
  std::array<bool, kHandoverMessages.size()> seen_{};
  std::vector<std::string> deviations_;
};

}  // namespace

std::vector<std::string> CheckHandover(const AddinLog& log, const HandoverExpectation& expect) {
  return Checker(log, expect).Run();
}

}  // namespace brisk::addin

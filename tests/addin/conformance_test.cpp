#include "tools/addin_protocol/conformance.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tools/addin_protocol/addin_log.h"
#include "tools/addin_protocol/handover_contract.h"

namespace brisk::addin {
namespace {

// What a launch looked like from the launcher's side.
struct Launch {
  std::uint32_t pid = 4242;
  std::int32_t property1209 = -7;
  std::uint8_t languageByte = 9;
  std::int32_t optionValue = 0;
  bool exePath = true;
  bool settingsRecord = true;
  bool completed = true;
  bool external = false;
  bool visibleAtEnd = true;
  bool icon = true;   // WM_SETICON before message 1159
  bool quit = false;  // WM_QUIT at the end
};

constexpr std::uint64_t kWindow = 0x10044;
constexpr std::int64_t kIcon = 0x20057;

// The log that the add-in records for a launcher that keeps the protocol.
AddinLog ConformingLog(const Launch& launch) {
  AddinLog log;
  std::uint64_t seq = 0;
  log.attaches.push_back({++seq, kFirstContactCode, true, 0, 1, 77, 32, "C:\\t\\briskstub.dll"});
  if (launch.icon) log.systemMessages.push_back({++seq, kMsgSetIcon, kIconBig, kIcon, Delivery::Send, kWindow});
  for (const HandoverMessage& rule : kHandoverMessages) {
    if (rule.presence == Presence::WhenOptionValue && launch.optionValue == 0) continue;
    if (rule.presence == Presence::WhenExePath && !launch.exePath) continue;
    if (rule.presence == Presence::WhenSettingsRecord && !launch.settingsRecord) continue;
    if (rule.presence == Presence::UnlessEndedEarly && !launch.completed) continue;
    MessageRecord m;
    m.seq = ++seq;
    m.order = static_cast<int>(log.messages.size()) + 1;
    m.number = rule.number;
    m.delivery = rule.posted ? Delivery::Post : Delivery::Send;
    m.window = kWindow;
    m.visible = rule.number == kMsgHandOverDone && launch.visibleAtEnd;
    if (rule.number == kMsgLauncherProcessId) m.wParam = launch.pid;
    if (rule.number == kMsgHostValues) {
      m.wParam = static_cast<std::uint32_t>(launch.property1209);
      m.lParam = launch.languageByte;
    }
    if (rule.number == kMsgOptionValue) m.wParam = static_cast<std::uint32_t>(launch.optionValue);
    log.messages.push_back(m);
    if (rule.number == kMsgLauncherProcessId) {
      const std::string pid = std::to_string(launch.pid);
      log.events.push_back(
          {++seq, launch.pid, "Local\\BriskClose_" + pid, "Local\\BriskReady_" + pid, launch.external, true});
    }
  }
  if (launch.quit) log.systemMessages.push_back({++seq, kMsgQuit, 0, 0, Delivery::Post, kWindow});
  return log;
}

HandoverExpectation ExpectationOf(const Launch& launch) {
  HandoverExpectation e;
  e.launcherProcessId = launch.pid;
  e.intProperty1209 = launch.property1209;
  e.languageByte = launch.languageByte;
  e.optionValue = launch.optionValue;
  e.exePathKnown = launch.exePath;
  e.settingsRecord = launch.settingsRecord;
  e.completed = launch.completed;
  e.externalStorage = launch.external;
  e.visibleAtEnd = launch.visibleAtEnd;
  e.iconBeforeHandover = launch.icon;
  e.quitPosted = launch.quit;
  return e;
}

MessageRecord& Find(AddinLog& log, std::uint32_t number) {
  for (auto& m : log.messages) {
    if (m.number == number) return m;
  }
  ADD_FAILURE() << "no message " << number;
  static MessageRecord none;
  return none;
}

void Renumber(AddinLog& log) {
  for (std::size_t i = 0; i < log.messages.size(); ++i) log.messages[i].order = static_cast<int>(i) + 1;
}

void Remove(AddinLog& log, std::uint32_t number) {
  std::erase_if(log.messages, [number](const MessageRecord& m) { return m.number == number; });
  Renumber(log);
}

TEST(ConformanceTest, ConformingLaunchesPassWithAndWithoutExpectations) {
  std::vector<Launch> launches(7);
  launches[1].optionValue = 0x5A;
  launches[2].exePath = false;
  launches[3].settingsRecord = false;
  launches[4].completed = false;
  launches[4].quit = true;
  launches[5].external = true;
  launches[5].visibleAtEnd = false;
  launches[6].icon = false;
  for (const Launch& launch : launches) {
    const AddinLog log = ConformingLog(launch);
    EXPECT_THAT(CheckHandover(log, ExpectationOf(launch)), testing::IsEmpty());
    EXPECT_THAT(CheckHandover(log), testing::IsEmpty());
  }
}

TEST(ConformanceTest, TheRecordedLogRoundTripsThroughItsTextForm) {
  Launch launch;
  launch.optionValue = 3;
  launch.external = true;
  launch.quit = true;
  AddinLog log = ConformingLog(launch);
  log.commandFiles.push_back(
      {50, "C:\\t\\briskcmd.txt", true, true, "\"C:\\a b\\App.exe\" -p x", "C:\\t\\App.xlsx", true});
  log.signals.push_back({51, "ready", "delay", 250, "scheduled"});
  log.calls.push_back({52, "xlAutoClose"});
  log.notes.push_back({53, "unknown member \"x\""});
  // What the add-in was told to do to the host is no deviation of the launcher's.
  log.dialogs.push_back({54, kMsgLauncherProcessId, kWindow, 1500, 1512, true});
  log.hangs.push_back({55, kMsgSetIcon, kWindow, 700});
  log.crashes.push_back({56, kMsgHandOverDone, kWindow, 0xC0000005});
  log.broadcasts.push_back({57, kMsgLauncherProcessId, 12, 2, 40, 15});

  std::string text;
  for (const auto& r : log.attaches) text += FormatLogLine(r);
  for (const auto& r : log.commandFiles) text += FormatLogLine(r);
  for (const auto& r : log.messages) text += FormatLogLine(r);
  for (const auto& r : log.events) text += FormatLogLine(r);
  for (const auto& r : log.signals) text += FormatLogLine(r);
  for (const auto& r : log.systemMessages) text += FormatLogLine(r);
  for (const auto& r : log.calls) text += FormatLogLine(r);
  for (const auto& r : log.notes) text += FormatLogLine(r);
  for (const auto& r : log.dialogs) text += FormatLogLine(r);
  for (const auto& r : log.hangs) text += FormatLogLine(r);
  for (const auto& r : log.crashes) text += FormatLogLine(r);
  for (const auto& r : log.broadcasts) text += FormatLogLine(r);

  const AddinLog back = ParseAddinLog(text);
  EXPECT_THAT(back.faults, testing::IsEmpty());
  ASSERT_EQ(back.messages.size(), log.messages.size());
  for (std::size_t i = 0; i < log.messages.size(); ++i) {
    const auto& a = log.messages[i];
    const auto& b = back.messages[i];
    EXPECT_EQ(std::tie(a.seq, a.order, a.number, a.wParam, a.lParam, a.delivery, a.visible, a.window),
              std::tie(b.seq, b.order, b.number, b.wParam, b.lParam, b.delivery, b.visible, b.window));
  }
  ASSERT_EQ(back.systemMessages.size(), 2u);
  for (std::size_t i = 0; i < log.systemMessages.size(); ++i) {
    const auto& a = log.systemMessages[i];
    const auto& b = back.systemMessages[i];
    EXPECT_EQ(std::tie(a.seq, a.number, a.wParam, a.lParam, a.delivery, a.window),
              std::tie(b.seq, b.number, b.wParam, b.lParam, b.delivery, b.window));
  }
  ASSERT_EQ(back.attaches.size(), 1u);
  EXPECT_EQ(back.attaches[0].module, "C:\\t\\briskstub.dll");
  EXPECT_EQ(back.attaches[0].bits, 32);
  ASSERT_EQ(back.commandFiles.size(), 1u);
  EXPECT_EQ(back.commandFiles[0].commandLine, "\"C:\\a b\\App.exe\" -p x");
  EXPECT_EQ(back.commandFiles[0].workbookPath, "C:\\t\\App.xlsx");
  ASSERT_EQ(back.events.size(), 1u);
  EXPECT_EQ(back.events[0].closeName, "Local\\BriskClose_4242");
  EXPECT_TRUE(back.events[0].closeExists);
  ASSERT_EQ(back.signals.size(), 1u);
  EXPECT_EQ(back.signals[0].delayMs, 250u);
  EXPECT_EQ(back.calls.at(0).function, "xlAutoClose");
  EXPECT_EQ(back.notes.at(0).text, "unknown member \"x\"");
  ASSERT_EQ(back.dialogs.size(), 1u);
  const DialogRecord& dialog = back.dialogs[0];
  EXPECT_EQ(std::tie(dialog.seq, dialog.number, dialog.window, dialog.dialogMs, dialog.shownMs, dialog.closedByTimer),
            std::make_tuple(54u, kMsgLauncherProcessId, kWindow, 1500u, 1512u, true));
  ASSERT_EQ(back.hangs.size(), 1u);
  const HangRecord& hang = back.hangs[0];
  EXPECT_EQ(std::tie(hang.seq, hang.number, hang.window, hang.hangMs),
            std::make_tuple(55u, kMsgSetIcon, kWindow, 700u));
  ASSERT_EQ(back.crashes.size(), 1u);
  const CrashRecord& crash = back.crashes[0];
  EXPECT_EQ(std::tie(crash.seq, crash.number, crash.window, crash.exitCode),
            std::make_tuple(56u, kMsgHandOverDone, kWindow, 0xC0000005u));
  ASSERT_EQ(back.broadcasts.size(), 1u);
  const BroadcastRecord& broadcast = back.broadcasts[0];
  EXPECT_EQ(std::tie(broadcast.seq, broadcast.number, broadcast.windows, broadcast.launcherWindows, broadcast.longestMs,
                     broadcast.longestLauncherMs),
            std::make_tuple(57u, kMsgLauncherProcessId, 12u, 2u, 40u, 15u));
  EXPECT_THAT(CheckHandover(back, ExpectationOf(launch)), testing::IsEmpty());
}

TEST(ConformanceTest, UnreadableLinesAreReportedWithTheirNumbers) {
  const Launch launch;
  const AddinLog good = ConformingLog(launch);
  std::string text = FormatLogLine(good.attaches[0]) + "\n" + "not json\n" + R"({"seq":9,"kind":"message","order":1})" +
                     "\n" + R"({"seq":9,"kind":"mystery"})";
  const AddinLog log = ParseAddinLog(text);
  EXPECT_THAT(log.faults,
              testing::ElementsAre(testing::StartsWith("line 3: "), "line 4: member \"msg\" missing or invalid",
                                   "line 5: unknown kind \"mystery\""));
  EXPECT_THAT(CheckHandover(log), testing::Contains(testing::StartsWith("unreadable log line 3: ")));
}

struct Deviation {
  const char* name;
  std::function<void(AddinLog&, HandoverExpectation&)> change;
  std::vector<std::string> expected;
};

TEST(ConformanceTest, ReportsEachDeviation) {
  // Default launch: 1159 1181 1160 1156 1158 1166 1155 1157 1164 1168 1163 1179 1171 (orders 1-13).
  const std::vector<Deviation> cases = {
      {"order swapped",
       [](AddinLog& log, HandoverExpectation&) {
         std::swap(log.messages[3], log.messages[4]);
         Renumber(log);
       },
       {"message 1156 (order 5) came after message 1158, which must follow it"}},
      {"last message sent",
       [](AddinLog& log, HandoverExpectation&) { Find(log, 1171).delivery = Delivery::Send; },
       {"message 1171 (order 13) arrived by send instead of post"}},
      {"message posted",
       [](AddinLog& log, HandoverExpectation&) { Find(log, 1163).delivery = Delivery::Post; },
       {"message 1163 (order 11) arrived by post instead of send: the launcher must wait until the add-in has "
        "handled it"}},
      {"message sent without waiting",
       [](AddinLog& log, HandoverExpectation&) { Find(log, 1164).delivery = Delivery::Notify; },
       {"message 1164 (order 9) arrived by notify instead of send: the launcher must wait until the add-in has "
        "handled it"}},
      {"wrong process id",
       [](AddinLog& log, HandoverExpectation&) { Find(log, 1159).wParam = 4243; },
       {"message 1159 (order 1): wParam 4243 instead of 4242"}},
      {"property widened",
       [](AddinLog& log, HandoverExpectation&) { Find(log, 1181).wParam = 0xFFFFFFFFFFFFFFF9u; },
       {"message 1181 (order 2): wParam 0xFFFFFFFFFFFFFFF9 is wider than 32 bits"}},
      {"wrong property",
       [](AddinLog& log, HandoverExpectation&) { Find(log, 1181).wParam = 7; },
       {"message 1181 (order 2): wParam 7 instead of 4294967289"}},
      {"whole language id",
       [](AddinLog& log, HandoverExpectation&) { Find(log, 1181).lParam = 0x409; },
       {"message 1181 (order 2): lParam 1033 is more than the low 8 bits of a language id"}},
      {"wrong language byte",
       [](AddinLog& log, HandoverExpectation&) { Find(log, 1181).lParam = 7; },
       {"message 1181 (order 2): lParam 7 instead of language byte 9"}},
      {"non-zero parameters",
       [](AddinLog& log, HandoverExpectation&) {
         Find(log, 1156).wParam = 1;
         Find(log, 1179).lParam = -1;
         Find(log, 1159).lParam = 5;
       },
       {"message 1159 (order 1): lParam 5 instead of 0", "message 1156 (order 4): wParam 1 instead of 0",
        "message 1179 (order 12): lParam -1 instead of 0"}},
      {"missing message", [](AddinLog& log, HandoverExpectation&) { Remove(log, 1157); }, {"message 1157 is missing"}},
      {"repeated message",
       [](AddinLog& log, HandoverExpectation&) {
         log.messages.insert(log.messages.begin() + 10, Find(log, 1168));
         Renumber(log);
       },
       {"message 1168 (order 11) is a repetition"}},
      {"message after the last one",
       [](AddinLog& log, HandoverExpectation&) {
         log.messages.push_back(Find(log, 1179));
         Renumber(log);
       },
       {"message 1179 (order 14) arrived after message 1171", "message 1179 (order 14) is a repetition"}},
      {"foreign message",
       [](AddinLog& log, HandoverExpectation&) {
         MessageRecord extra = Find(log, 1156);
         extra.number = 1200;
         log.messages.insert(log.messages.begin() + 4, extra);
         Renumber(log);
       },
       {"message 1200 (order 5) is not a message of the hand-over"}},
      {"option message without option",
       [](AddinLog& log, HandoverExpectation&) {
         MessageRecord extra = Find(log, 1181);
         extra.number = kMsgOptionValue;
         extra.wParam = 5;
         extra.lParam = 0;
         log.messages.insert(log.messages.begin() + 2, extra);
         Renumber(log);
       },
       {"message 1178 (order 3): wParam 5 instead of 0", "message 1178 must be absent without the hexadecimal option"}},
      {"option message missing",
       [](AddinLog&, HandoverExpectation& e) { e.optionValue = 5; },
       {"message 1178 is missing with the hexadecimal option"}},
      {"settings record message missing",
       [](AddinLog& log, HandoverExpectation&) { Remove(log, kMsgSettingsRecord); },
       {"message 1155 is missing with a settings record"}},
      {"exe path message without a path",
       [](AddinLog&, HandoverExpectation& e) { e.exePathKnown = false; },
       {"message 1160 must be absent without an executable path"}},
      {"last message missing",
       [](AddinLog& log, HandoverExpectation&) { Remove(log, kMsgHandOverDone); },
       {"message 1171 is missing in a completed launch"}},
      {"last message after an early end",
       [](AddinLog&, HandoverExpectation& e) { e.completed = false; },
       {"message 1171 must be absent in a launch that ended before it"}},
      {"host visible during the hand-over",
       [](AddinLog& log, HandoverExpectation&) {
         Find(log, 1159).visible = true;
         Find(log, 1166).visible = true;
       },
       {"message 1166 (order 6): the host window is visible; the launcher hides it after message 1159"}},
      {"wrong final visibility",
       [](AddinLog&, HandoverExpectation& e) { e.visibleAtEnd = false; },
       {"message 1171 (order 13): the host window is visible instead of hidden"}},
      {"another window",
       [](AddinLog& log, HandoverExpectation&) { Find(log, 1157).window = 0x20020; },
       {"message 1157 (order 8) went to window 0x20020, the earlier ones to 0x10044"}},
      {"never attached",
       [](AddinLog& log, HandoverExpectation&) { log.attaches.clear(); },
       {"DummyFunc9 was never called: the add-in was not loaded by the auxiliary workbook"}},
      {"attached twice",
       [](AddinLog& log, HandoverExpectation&) { log.attaches.push_back(log.attaches[0]); },
       {"DummyFunc9 was called 2 times; the auxiliary workbook is opened once"}},
      {"wrong first contact",
       [](AddinLog& log, HandoverExpectation&) {
         log.attaches[0].code = 1171;
         log.attaches[0].application = false;
         log.attaches[0].third = 5;
         log.attaches[0].windows = 0;
       },
       {"DummyFunc9 got code 1171 instead of 1170", "DummyFunc9 got no application object",
        "DummyFunc9 got 5 as third argument instead of 0", "the add-in found no host main window to watch"}},
      {"no ready event",
       [](AddinLog& log, HandoverExpectation&) { log.events[0].readyExists = false; },
       {"the ready event Local\\BriskReady_4242 did not exist at message 1159"}},
      {"close event outside external storage mode",
       [](AddinLog& log, HandoverExpectation&) { log.events[0].closeExists = true; },
       {"the close event Local\\BriskClose_4242 exists outside external storage mode"}},
      {"no close event in external storage mode",
       [](AddinLog&, HandoverExpectation& e) { e.externalStorage = true; },
       {"the close event Local\\BriskClose_4242 did not exist at message 1159 in external storage mode"}},
      {"lost record",
       [](AddinLog& log, HandoverExpectation&) { log.messages[5].order = 7; },
       {"unreadable log: message 1166 (order 7) where order 6 was due"}},
      {"icon after the hand-over began",
       [](AddinLog& log, HandoverExpectation&) { log.systemMessages[0].seq = Find(log, 1181).seq; },
       {"WM_SETICON arrived after message 1159"}},
      {"icon missing",
       [](AddinLog& log, HandoverExpectation&) { log.systemMessages.clear(); },
       {"the host window got no icon before message 1159"}},
      {"icon in a launch that shows none",
       [](AddinLog&, HandoverExpectation& e) { e.iconBeforeHandover = false; },
       {"the host window got an icon in a launch that shows none"}},
      {"small or empty icon, posted elsewhere",
       [](AddinLog& log, HandoverExpectation&) {
         SystemMessageRecord& icon = log.systemMessages[0];
         icon.wParam = 0;
         icon.lParam = 0;
         icon.delivery = Delivery::Post;
         icon.window = 0x20020;
       },
       {"WM_SETICON: wParam 0 instead of ICON_BIG (1)", "WM_SETICON carried no icon",
        "WM_SETICON arrived by post instead of send", "WM_SETICON went to window 0x20020, the hand-over to 0x10044"}},
      {"quit missing",
       [](AddinLog&, HandoverExpectation& e) { e.quitPosted = true; },
       {"WM_QUIT was not posted to the host window"}},
      {"quit after a completed launch, sent elsewhere",
       [](AddinLog& log, HandoverExpectation&) {
         log.systemMessages.push_back({99, kMsgQuit, 0, 0, Delivery::Send, 0x20020});
       },
       {"WM_QUIT arrived by send instead of post", "WM_QUIT went to window 0x20020, the hand-over to 0x10044",
        "WM_QUIT reached the host window, which the launch was to leave running"}},
      {"another window message",
       [](AddinLog& log, HandoverExpectation&) {
         log.systemMessages.push_back({99, 0x0005, 0, 0, Delivery::Send, kWindow});
       },
       {"window message 5 is not one the launcher gives the host window"}},
  };
  const Launch launch;
  for (const Deviation& c : cases) {
    AddinLog log = ConformingLog(launch);
    HandoverExpectation expect = ExpectationOf(launch);
    c.change(log, expect);
    EXPECT_EQ(CheckHandover(log, expect), c.expected) << c.name;
  }
}

TEST(ConformanceTest, WithoutExpectationsOnlyTheProtocolItselfIsChecked) {
  const std::vector<Deviation> cases = {
      {"option message with value 0",
       [](AddinLog& log, HandoverExpectation&) {
         MessageRecord extra = Find(log, 1160);
         extra.number = kMsgOptionValue;
         log.messages.insert(log.messages.begin() + 2, extra);
         Renumber(log);
       },
       {"message 1178 (order 3): sent with option value 0"}},
      {"no process id",
       [](AddinLog& log, HandoverExpectation&) { Find(log, 1159).wParam = 0; },
       {"message 1159 (order 1): wParam 0 is no process id"}},
      {"optional messages absent",
       [](AddinLog& log, HandoverExpectation&) {
         Remove(log, kMsgExecutablePath);
         Remove(log, kMsgSettingsRecord);
         Remove(log, kMsgHandOverDone);
       },
       {}},
      {"mandatory message absent",
       [](AddinLog& log, HandoverExpectation&) { Remove(log, 1181); },
       {"message 1181 is missing"}},
  };
  const Launch launch;
  for (const Deviation& c : cases) {
    AddinLog log = ConformingLog(launch);
    HandoverExpectation expect;
    c.change(log, expect);
    EXPECT_EQ(CheckHandover(log, expect), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace brisk::addin

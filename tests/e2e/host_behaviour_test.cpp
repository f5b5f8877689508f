// What a real host and a real add-in may do that a kind one never does: the
// start-up workbook's open answered with nothing, an error or a dead object;
// a host that dies after its last answered call; a host that is busy in a
// call or a window message for longer than any time-out, with a dialog of
// its own or without handling a message; an add-in that takes over long
// after the splash's limit, or never; a host that sends to every window
// while it handles the hand-over; a host the user runs beside the launch.
// The launcher waits for a working host as long as it works, asks the user
// after the silence limit, gives the host up only when the user says so,
// never closes a host it has let go of, and leaves behind only what the rule
// keeps.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <ostream>

#include "e2e_fixture.h"
#include "host/handover_messages.h"
#include "host/host_application.h"
#include "payload/encoded_strings.h"
#include "standin_registration.h"
#include "tools/addin_protocol/handover_contract.h"
#include "working_folders.h"

namespace brisk::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;
using ::testing::StartsWith;

// The launcher's own silence limit, and the one that the scenarios of the
// waiting rule give a test launch (the launcher's test seam), so that each
// question comes after seconds instead of half a minute.
constexpr DWORD kOwnSilenceLimitMs = 30000;
constexpr DWORD kShortSilenceLimitMs = 3000;
// How long a host holds a call or a message in those scenarios: beyond two
// short limits, so that a Retry is followed by a second question, and short
// enough that a host given up ends on its WM_QUIT within the launcher's
// bounded wait for it.
constexpr std::uint32_t kHoldMs = 9000;
// The longest a scenario around the splash's limit of 60 s may take, the
// notice and the wait for the host included.
constexpr DWORD kLongLaunchMs = 150000;
// The splash's own limit, less what a slow machine may cut from it.
constexpr ULONGLONG kSplashLimitAtLeastMs = 50000;

constexpr std::uint32_t kMsgSetIcon = addin::kMsgSetIcon;
constexpr std::uint32_t kMsgQuit = addin::kMsgQuit;

std::wstring EncodedText(int number) { return Wide(GetEncodedStringA(number)); }

std::string Hold() { return std::to_string(kHoldMs); }

std::vector<std::uint32_t> MessageNumbers(const addin::AddinLog& log) {
  std::vector<std::uint32_t> numbers;
  for (const addin::MessageRecord& m : log.messages) numbers.push_back(m.number);
  return numbers;
}

bool QuitReachedTheHost(const addin::AddinLog& log) {
  return std::any_of(log.systemMessages.begin(), log.systemMessages.end(),
                     [](const addin::SystemMessageRecord& m) { return m.number == kMsgQuit; });
}

// The question as the launcher asks it of this scenario's build: the
// built-in text with the application's name and the line breaks expanded.
std::wstring QuestionText() {
  std::wstring text = EncodedText(kHostNotAnsweringDefault);
  for (std::size_t at = 0; (at = text.find(L"\\n", at)) != std::wstring::npos;) text.replace(at, 2, L"\n");
  const std::wstring macro = L"<?APPNAME?>";
  for (std::size_t at = 0; (at = text.find(macro, at)) != std::wstring::npos;)
    text.replace(at, macro.size(), Wide(kAppName));
  return text;
}

// The host calls made after the one with sequence number `seq`.
std::vector<std::string> CallsAfter(const HostCallLog& log, std::int64_t seq) {
  std::vector<std::string> later;
  for (const HostRecord& record : log.records()) {
    if (record.type == "call" && record.seq > seq) later.push_back(record.object + "." + std::to_string(record.dispid));
  }
  return later;
}

class HostBehaviourTest : public E2eTest {
 protected:
  // A completed hand-over in test mode: the host runs on, the working folder
  // keeps the add-in and the workbook for a later clean-up.
  void ExpectHandedOver(const LauncherRun& run) {
    const addin::AddinLog log = scenario_.AddinLog();
    EXPECT_THAT(addin::CheckHandover(log, CompletedHandover(run.id())), IsEmpty());
    EXPECT_THAT(CheckHandoverFiles(scenario_, log, run, L"Sample.xlsx"), IsEmpty());
    ExpectWorkingFolderKept(log);
    EXPECT_THAT(scenario_.HostLog().Events("released"), SizeIs(1)) << "the launcher did not let go of the host";
    EXPECT_TRUE(scenario_.CloseHostsAsUser());
  }

  void ExpectWorkingFolderKept(const addin::AddinLog& log) {
    const std::wstring folder = WorkingFolderName(scenario_, log);
    ASSERT_FALSE(folder.empty());
    EXPECT_THAT(scenario_.TempTree(), ElementsAre(folder + L"\\", folder + L"\\Sample.xlsx",
                                                  folder + L"\\" + MarkerName(), folder + L"\\briskstub.dll"));
  }

  // A notice of the launcher's after a host it gave up: read, answered; the
  // launcher ends with 0, and the host (once its hold is over) and every
  // file of the launch are gone.
  MessageBoxText ExpectNoticeAndNothingLeft(LauncherRun& run, DWORD within) {
    const MessageBoxText notice = AnswerMessageBox(run, within);
    EXPECT_EQ(notice.caption, EncodedText(kWarningTitleDefault));
    ExpectNothingLeft();
    return notice;
  }

  // The user gives the host up: the notice follows at once, not once the
  // host answers; answered, the launcher ends with 0.
  MessageBoxText CancelAndAnswerTheNotice(LauncherRun& run, DWORD exitWithin = kLaunchMs) {
    AnswerQuestion(run, IDCANCEL);
    const ULONGLONG cancelled = GetTickCount64();
    HWND box = run.WaitForMessageBox();
    EXPECT_NE(box, nullptr) << "no notice after Cancel";
    if (!box) return {};
    EXPECT_LT(GetTickCount64() - cancelled, kShortSilenceLimitMs) << "the launch waited on after Cancel";
    const MessageBoxText notice = ReadMessageBox(box);
    EXPECT_EQ(notice.caption, EncodedText(kWarningTitleDefault));
    PressButton(box, IDOK);
    EXPECT_EQ(run.WaitForExit(exitWithin), std::optional<DWORD>(0));
    return notice;
  }
};

// The start-up workbook closes itself in its open handler, so a real host
// may answer the open with nothing, an error or an object it has already let
// go. The add-in has taken over all the same: the launch goes on.
struct OpenAnswerCase {
  const char* name;
  std::string answer;  // the stand-in host's open_result
  friend void PrintTo(const OpenAnswerCase& c, std::ostream* out) { *out << c.name; }
};

class StartupWorkbookAnswerTest : public HostBehaviourTest, public ::testing::WithParamInterface<OpenAnswerCase> {};

TEST_P(StartupWorkbookAnswerTest, IsNoFailure) {
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {"open_result=" + GetParam().answer}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->seen(), IsEmpty()) << "a notice for a start that went well";
  const HostCallLog host = scenario_.HostLog();
  ASSERT_THAT(host.Calls("workbooks", 682), SizeIs(1));
  EXPECT_EQ(json::Member<std::string>(host.Calls("workbooks", 682).front()->line, "open_result"),
            std::optional<std::string>(GetParam().answer.substr(0, GetParam().answer.find(' '))));
  ExpectHandedOver(*run);
}

INSTANTIATE_TEST_SUITE_P(Answers, StartupWorkbookAnswerTest,
                         ::testing::Values(OpenAnswerCase{"Empty", "empty"}, OpenAnswerCase{"Exception", "exception"},
                                           OpenAnswerCase{"DisconnectedObject", "disconnected"},
                                           OpenAnswerCase{"DisconnectedError", "hresult 80010108"}),
                         [](const ::testing::TestParamInfo<OpenAnswerCase>& info) {
                           return std::string(info.param.name);
                         });

// An open that the host refuses outright (RPC_E_CALL_REJECTED) got no
// answer: it is not read as an open that returned no workbook. The user is
// told, and the host, which answers, is closed as after any failure.
TEST_F(HostBehaviourTest, RejectedStartupWorkbookOpenIsNoAnswer) {
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {"fail.workbooks.682=hresult 80010001"}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  const MessageBoxText notice = ExpectNoticeAndNothingLeft(*run, kDialogMs);
  EXPECT_THAT(notice.text, StartsWith(EncodedText(kHostStoppedResponding) + L"\n\n(0x80010001"));
  const HostCallLog host = scenario_.HostLog();
  ASSERT_THAT(host.Calls("workbooks", 682), SizeIs(1));
  EXPECT_THAT(host.Calls("application", kDispMainWindowHandle), IsEmpty()) << "the launch went on after the open";
  EXPECT_THAT(host.Calls("application", kDispQuit), SizeIs(1));
}

// The splash's limit cannot tell an add-in that is slow (a large workbook,
// a prompt of its own behind the splash) from one that never takes over: at
// the limit the launcher lets go of the host as after a hand-over. The user
// is told what to check, in words true either way; the host is neither
// closed nor quit nor sent WM_QUIT and runs on, and its files stay until the
// next start's sweep finds it ended.
struct SplashLimitCase {
  const char* name;
  std::vector<std::string> hostLines;
  AddinSetup addin;
  bool addinLoaded;
  friend void PrintTo(const SplashLimitCase& c, std::ostream* out) { *out << c.name; }
};

class SplashLimitTest : public HostBehaviourTest, public ::testing::WithParamInterface<SplashLimitCase> {};

TEST_P(SplashLimitTest, LetsGoOfTheHostWhichRunsOn) {
  const SplashLimitCase& c = GetParam();
  scenario_.SetAddin(c.addin);
  scenario_.SetHost({"16.0", {}, c.hostLines});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"");
  ASSERT_NE(run->WaitForSplash(), nullptr);
  const MessageBoxText notice = AnswerMessageBox(*run, kLongLaunchMs);
  EXPECT_EQ(notice.caption, EncodedText(kWarningTitleDefault));
  EXPECT_EQ(notice.text, EncodedText(kAddinNotReadyInTime));
  const std::optional<SeenWindow> splash = run->SeenSplash();
  ASSERT_TRUE(splash.has_value());
  EXPECT_GE(splash->lastSeen - splash->firstSeen, kSplashLimitAtLeastMs)
      << "the notice came before the splash's own limit";

  if (c.addin.ready == "delay") {
    // The slow add-in takes over after all, with its host untouched.
    const bool ready = run->WaitUntil(
        [&] {
          const addin::AddinLog log = scenario_.AddinLog();
          return std::any_of(log.signals.begin(), log.signals.end(),
                             [](const addin::SignalRecord& s) { return s.event == "ready" && s.state == "signalled"; });
        },
        kLongLaunchMs);
    EXPECT_TRUE(ready) << "the add-in never reported ready";
  }
  const HostCallLog host = scenario_.HostLog();
  EXPECT_THAT(host.Calls("application", kDispQuit), IsEmpty()) << "a host that was let go was asked to quit";
  EXPECT_THAT(host.Calls("workbooks", 277), IsEmpty()) << "a host that was let go had its workbooks closed";
  EXPECT_THAT(host.Events("released"), SizeIs(1)) << "the launcher did not let go of the host";
  EXPECT_THAT(host.Events("exit"), IsEmpty()) << "the host ended";
  const std::vector<DWORD> hosts = scenario_.HostProcesses();
  ASSERT_THAT(hosts, SizeIs(1));
  EXPECT_FALSE(WaitForProcessExit(hosts.front(), 0)) << "the host does not run on";
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_THAT(log.attaches, SizeIs(c.addinLoaded ? 1 : 0));
  EXPECT_FALSE(QuitReachedTheHost(log));
  if (c.addinLoaded) {
    EXPECT_EQ(MessageNumbers(log).back(), kMsgHandOverDone) << "the add-in got messages after the hand-over";
    ExpectWorkingFolderKept(log);
  }

  EXPECT_TRUE(scenario_.CloseHostsAsUser());
  ExpectTheNextStartSweepsItAway();
}

AddinSetup ReadyLongAfterTheLimit() {
  AddinSetup addin;
  addin.ready = "delay";
  addin.readyDelayMs = 75000;
  return addin;
}

INSTANTIATE_TEST_SUITE_P(
    Addins, SplashLimitTest,
    ::testing::Values(SplashLimitCase{"HandlerNeverRan", {"fail.workbooks.682=exception 1004 Cannot open"}, {}, false},
                      SplashLimitCase{"ReadyLongAfterTheLimit", {}, ReadyLongAfterTheLimit(), true}),
    [](const ::testing::TestParamInfo<SplashLimitCase>& info) { return std::string(info.param.name); });

// A host that dies after its last answered call: while the add-in handles
// the last sent message, or the posted one that ends the hand-over, with the
// splash up. The user is told, instead of a splash up to its limit and then
// nothing, and the files go.
struct HostDiesCase {
  const char* name;
  std::uint32_t message;
  friend void PrintTo(const HostDiesCase& c, std::ostream* out) { *out << c.name; }
};

class HostDiesTest : public HostBehaviourTest, public ::testing::WithParamInterface<HostDiesCase> {};

TEST_P(HostDiesTest, IsToldAndLeavesNothing) {
  AddinSetup addin;
  addin.crashOnMessage = GetParam().message;
  scenario_.SetAddin(addin);
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build({}), "");

  // With the splash, which the launch waits under for the add-in.
  auto run = scenario_.Start(L"");
  const MessageBoxText notice = ExpectNoticeAndNothingLeft(*run, kDialogMs);
  EXPECT_THAT(notice.text, StartsWith(EncodedText(kHostStoppedResponding)));
  const addin::AddinLog log = scenario_.AddinLog();
  ASSERT_THAT(log.crashes, SizeIs(1));
  EXPECT_EQ(log.crashes.front().number, GetParam().message);
  EXPECT_EQ(MessageNumbers(log).back(), GetParam().message) << "the add-in got messages after the host had died";
}

INSTANTIATE_TEST_SUITE_P(Messages, HostDiesTest,
                         ::testing::Values(HostDiesCase{"WhileTheLastSentMessageIsHandled", kMsg1179},
                                           HostDiesCase{"AfterTheHandOverEnded", kMsgHandOverDone}),
                         [](const ::testing::TestParamInfo<HostDiesCase>& info) {
                           return std::string(info.param.name);
                         });

// A host that holds a call or a message past the silence limit, in every
// phase of the launch: before its window is known (the start-up workbook's
// open), during the hand-over (its call and its messages) and after it (the
// final visibility put, property 2788); with a dialog of its own, which
// handles messages, or without handling any. The user is asked; Retry waits
// on and asks again after the next limit; the host's answer closes the
// question and the launch completes.
struct AnsweredCase {
  const char* name;
  std::vector<std::string> hostLines;
  AddinSetup addin;
  // The member that holds the call ("workbooks"/"application" and its id),
  // or none for a window message.
  std::string object;
  int dispid = 0;
  friend void PrintTo(const AnsweredCase& c, std::ostream* out) { *out << c.name; }
};

class HostAnswersWhileAskedTest : public HostBehaviourTest, public ::testing::WithParamInterface<AnsweredCase> {};

TEST_P(HostAnswersWhileAskedTest, LaunchGoesOnAndTheQuestionCloses) {
  const AnsweredCase& c = GetParam();
  scenario_.SetHostSilenceLimit(kShortSilenceLimitMs);
  scenario_.SetAddin(c.addin);
  scenario_.SetHost({"16.0", {}, c.hostLines});
  ASSERT_EQ(scenario_.Build({}), "");

  const ULONGLONG started = GetTickCount64();
  auto run = scenario_.Start(L"-xlstest");
  const MessageBoxText question = AnswerQuestion(*run, IDRETRY);
  EXPECT_GE(GetTickCount64() - started, kShortSilenceLimitMs) << "the user was asked before the limit";
  EXPECT_EQ(question.caption, EncodedText(kWarningTitleDefault));
  EXPECT_EQ(question.text, QuestionText());
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));

  // Asked again after the Retry; nothing but the question was shown.
  const std::vector<SeenWindow> dialogs = run->SeenDialogs();
  EXPECT_GE(dialogs.size(), 2u) << "Retry did not ask again after the next limit";
  for (const SeenWindow& dialog : dialogs) EXPECT_EQ(dialog.text, QuestionText()) << "a notice for a busy host";
  if (!c.object.empty()) {
    const HostCallLog host = scenario_.HostLog();
    const std::vector<const HostRecord*> held = host.Calls(c.object, c.dispid);
    ASSERT_THAT(held, Not(IsEmpty()));
    const HostRecord& last = *held.back();
    EXPECT_TRUE(last.line.contains("hang_ms") || last.line.contains("dialog_ms")) << "the call was not held";
    EXPECT_EQ(last.hr, "0x00000000");
  }
  ExpectHandedOver(*run);
}

AddinSetup DialogOnHostValues() {
  AddinSetup addin;
  addin.dialogOnMessage = kMsgHostValues;
  addin.dialogMs = kHoldMs;
  return addin;
}

// An add-in at work in a hand-over message that handles no message meanwhile
// (one that decrypts a large workbook, say).
AddinSetup HangOnMessage1157() {
  AddinSetup addin;
  addin.hangOnMessage = kMsg1157;
  addin.hangMs = kHoldMs;
  return addin;
}

INSTANTIATE_TEST_SUITE_P(
    Phases, HostAnswersWhileAskedTest,
    ::testing::Values(
        AnsweredCase{"StartupWorkbookOpenShowsADialog", {"fail.workbooks.682=dialog " + Hold()}, {}, "workbooks", 682},
        AnsweredCase{"HandOverCallHangs", {"fail.1209=hang " + Hold()}, {}, "application", kDispIntProperty1209},
        AnsweredCase{"HandOverMessageShowsADialog", {}, DialogOnHostValues(), "", 0},
        AnsweredCase{"HandOverMessageHangs", {}, HangOnMessage1157(), "", 0},
        // The third visibility put is the final one, after the hand-over.
        AnsweredCase{"FinalVisibilityPutShowsADialog",
                     {"fail.558=dialog " + Hold() + " after 2"},
                     {},
                     "application",
                     kDispVisible},
        AnsweredCase{
            "Property2788ShowsADialog", {"fail.2788=dialog " + Hold()}, {}, "application", kDispIntProperty2788}),
    [](const ::testing::TestParamInfo<AnsweredCase>& info) { return std::string(info.param.name); });

// A build's language file words the question too: its own text, with the
// macros and line breaks expanded, under its own caption.
TEST_F(HostBehaviourTest, QuestionTakesTheBuildsTranslation) {
  scenario_.SetHostSilenceLimit(kShortSilenceLimitMs);
  scenario_.SetAddin({});
  // Held past one limit only: one question, then the host answers.
  scenario_.SetHost({"16.0", {}, {"fail.1209=hang " + std::to_string(kShortSilenceLimitMs + 3000)}});
  BuildSetup build;
  build.language =
      "[content]\n"
      "WARNING_TITLE=Achtung\n"
      "HOST_NOT_ANSWERING=<?APPNAME?> wartet auf den Host.\\n\\nWiederholen: weiter warten.\\nAbbrechen: "
      "<?APPNAME?> nicht starten.\n";
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"-xlstest");
  const MessageBoxText question = AnswerQuestion(*run, IDRETRY);
  EXPECT_EQ(question.caption, L"Achtung");
  const std::wstring app = Wide(kAppName);
  EXPECT_EQ(question.text,
            app + L" wartet auf den Host.\n\nWiederholen: weiter warten.\nAbbrechen: " + app + L" nicht starten.");
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  ExpectHandedOver(*run);
}

// Over the splash, the question is a topmost window; once the host answers
// it closes at once, while the launcher still runs (it waits here for an
// add-in that reports ready a few seconds later).
TEST_F(HostBehaviourTest, QuestionOverTheSplashClosesWhenTheHostAnswers) {
  scenario_.SetHostSilenceLimit(kShortSilenceLimitMs);
  AddinSetup addin;
  addin.ready = "delay";
  addin.readyDelayMs = 4000;
  scenario_.SetAddin(addin);
  // The seam is for test launches only: this one asks after the launcher's
  // own limit, so the host holds the put for longer than that.
  scenario_.SetHost({"16.0", {}, {"fail.558=dialog " + std::to_string(kOwnSilenceLimitMs + 5000) + " after 2"}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"");
  ASSERT_NE(run->WaitForSplash(), nullptr);
  const ULONGLONG splashShown = GetTickCount64();
  HWND box = run->WaitForQuestion(kOwnSilenceLimitMs + kDialogMs);
  ASSERT_NE(box, nullptr) << "the user was not asked";
  EXPECT_GE(GetTickCount64() - splashShown, kOwnSilenceLimitMs - 2000) << "asked before the launcher's own limit";
  EXPECT_TRUE(run->WaitUntil([&] { return (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 1000))
      << "the splash may hide the question";
  // The host's answer: the put's record is written when it returns.
  const auto answered = [&] {
    const HostCallLog host = scenario_.HostLog();
    for (const HostRecord* put : host.Calls("application", kDispVisible)) {
      if (put->line.contains("dialog_ms")) return true;
    }
    return false;
  };
  ASSERT_TRUE(run->WaitUntil(answered, kOwnSilenceLimitMs));
  EXPECT_TRUE(run->WaitUntil([&] { return !run->QuestionShown(); }, 1500)) << "the question stayed up";
  EXPECT_TRUE(run->Running()) << "the launcher no longer waited: the question may have closed with it";
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(scenario_.HostLog().BoolPuts(kDispVisible), ElementsAre(false, false, true));
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

// Cancel gives the host up, in every phase: the call under way is cancelled
// (and never read as an answer), no further call or message reaches the
// host or the add-in but WM_QUIT, the user is told, and the host ends on
// its WM_QUIT once its hold is over, taking the files along.
struct GivenUpCase {
  const char* name;
  std::vector<std::string> hostLines;
  AddinSetup addin;
  std::string object;  // the member that holds the call, or none for a message
  int dispid = 0;
  std::uint32_t lastMessage;  // the last message the add-in got
  friend void PrintTo(const GivenUpCase& c, std::ostream* out) { *out << c.name; }
};

class GivenUpTest : public HostBehaviourTest, public ::testing::WithParamInterface<GivenUpCase> {};

TEST_P(GivenUpTest, IsToldAndLeavesNothing) {
  const GivenUpCase& c = GetParam();
  scenario_.SetHostSilenceLimit(kShortSilenceLimitMs);
  scenario_.SetAddin(c.addin);
  scenario_.SetHost({"16.0", {}, c.hostLines});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  const MessageBoxText notice = CancelAndAnswerTheNotice(*run);
  const std::wstring stopped = EncodedText(kHostStoppedResponding);
  if (c.object.empty()) {
    EXPECT_EQ(notice.text, stopped);
  } else {
    EXPECT_THAT(notice.text, StartsWith(stopped + L"\n\n(0x80010002"));
  }
  ExpectNothingLeft();

  const HostCallLog host = scenario_.HostLog();
  if (!c.object.empty()) {
    const std::vector<const HostRecord*> held = host.Calls(c.object, c.dispid);
    ASSERT_THAT(held, Not(IsEmpty()));
    EXPECT_THAT(CallsAfter(host, held.back()->seq), IsEmpty()) << "a host given up was called";
  }
  EXPECT_THAT(host.Calls("application", kDispQuit), IsEmpty()) << "a host given up was asked to quit";
  const addin::AddinLog log = scenario_.AddinLog();
  const std::vector<std::uint32_t> messages = MessageNumbers(log);
  if (c.lastMessage == 0) {
    EXPECT_THAT(messages, IsEmpty()) << "the add-in got messages after the host was given up";
  } else {
    ASSERT_THAT(messages, Not(IsEmpty()));
    EXPECT_EQ(messages.back(), c.lastMessage) << "the add-in got messages after the host was given up";
  }
  EXPECT_TRUE(QuitReachedTheHost(log)) << "the host was not sent WM_QUIT";
}

AddinSetup HangOn(std::uint32_t message) {
  AddinSetup addin;
  addin.hangOnMessage = message;
  addin.hangMs = kHoldMs;
  return addin;
}

INSTANTIATE_TEST_SUITE_P(
    Phases, GivenUpTest,
    ::testing::Values(
        GivenUpCase{"CaptionPutHangs", {"fail.139=hang " + Hold()}, {}, "application", kDispCaption, 0},
        GivenUpCase{"HandOverCallHangs",
                    {"fail.1209=hang " + Hold()},
                    {},
                    "application",
                    kDispIntProperty1209,
                    kMsgLauncherProcessId},
        GivenUpCase{"HandOverMessageHangs", {}, HangOn(kMsg1157), "", 0, kMsg1157},
        // A put of property 2788 that got no answer is not swallowed.
        GivenUpCase{
            "Property2788Hangs", {"fail.2788=hang " + Hold()}, {}, "application", kDispIntProperty2788, kMsg1179}),
    [](const ::testing::TestParamInfo<GivenUpCase>& info) { return std::string(info.param.name); });

// Before its window is known the launcher has no window to send WM_QUIT to:
// a host given up in the start-up workbook's open is left as it is, after
// the cancelled open (no answer: not an open that returned no workbook) the
// launch makes no further call to it, and the files go.
TEST_F(HostBehaviourTest, HostGivenUpInTheStartupWorkbookOpenGetsNoFurtherCall) {
  scenario_.SetHostSilenceLimit(kShortSilenceLimitMs);
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {"fail.workbooks.682=hang " + Hold()}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  const MessageBoxText notice = CancelAndAnswerTheNotice(*run);
  EXPECT_THAT(notice.text, StartsWith(EncodedText(kHostStoppedResponding) + L"\n\n(0x80010002"));
  EXPECT_THAT(scenario_.TempTree(), IsEmpty());
  // The open's record is written once the hold is over.
  const std::vector<DWORD> hosts = scenario_.HostProcesses();
  ASSERT_THAT(hosts, SizeIs(1));
  ASSERT_TRUE(
      run->WaitUntil([&] { return !scenario_.HostLog().Calls("workbooks", 682).empty(); }, kHoldMs + kDialogMs));
  const HostCallLog host = scenario_.HostLog();
  EXPECT_THAT(CallsAfter(host, host.Calls("workbooks", 682).back()->seq), IsEmpty()) << "a host given up was called";
  EXPECT_THAT(scenario_.AddinLog().messages, IsEmpty());
  // What the user does with a host that no launcher can reach any more.
  EXPECT_TRUE(EndProcessById(hosts.front(), 1000)) << "the host could not be ended";
}

// A failure after the hand-over closes the host's workbooks: a host that
// raises its "save changes?" prompt while hidden holds that call. The user,
// told of the failure, is asked after the limit; Cancel gives the host up
// without going on to quit it.
TEST_F(HostBehaviourTest, HostThatHoldsItsClosingIsAskedAboutAndGivenUp) {
  scenario_.SetHostSilenceLimit(kShortSilenceLimitMs);
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {"fail.1210=exception 5 No user control", "fail.workbooks.277=hang " + Hold()}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  HWND box = run->WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_THAT(ReadMessageBox(box).text, StartsWith(EncodedText(kHostStoppedResponding) + L"\n\n(0x80040205"));
  PressButton(box, IDOK);
  const ULONGLONG told = GetTickCount64();
  AnswerQuestion(*run, IDCANCEL);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_LT(GetTickCount64() - told, kHoldMs + 12000) << "the launcher waited for the host it gave up";
  ExpectNothingLeft();
  EXPECT_THAT(scenario_.HostLog().Calls("application", kDispQuit), IsEmpty()) << "a host given up was asked to quit";
}

// Without the test seam the question comes after the launcher's own limit
// and not before; the same for a hand-over message that handles nothing.
// The icon, too, is a message like any other (where the system carries it
// to another process at all).
struct OwnLimitCase {
  const char* name;
  std::uint32_t message;
  DWORD silenceLimitMs;  // 0: the launcher's own
  friend void PrintTo(const OwnLimitCase& c, std::ostream* out) { *out << c.name; }
};

class HeldMessageTest : public HostBehaviourTest, public ::testing::WithParamInterface<OwnLimitCase> {};

TEST_P(HeldMessageTest, IsAskedAboutAfterTheLimitAndGivenUpOnCancel) {
  const OwnLimitCase& c = GetParam();
  const DWORD limit = c.silenceLimitMs != 0 ? c.silenceLimitMs : kOwnSilenceLimitMs;
  scenario_.SetHostSilenceLimit(c.silenceLimitMs);
  AddinSetup addin;
  addin.hangOnMessage = c.message;
  // Over before the launcher's bounded wait for the host after the notice.
  addin.hangMs = limit + 8000;
  scenario_.SetAddin(addin);
  scenario_.SetHost({});
  ASSERT_EQ(scenario_.Build({}), "");

  const ULONGLONG started = GetTickCount64();
  auto run = scenario_.Start(L"-xlstest");
  HWND box = nullptr;
  ASSERT_TRUE(run->WaitUntil(
      [&] {
        box = run->WaitForQuestion(0);
        return box != nullptr || !run->Running();
      },
      limit + kDialogMs));
  const addin::AddinLog log = scenario_.AddinLog();
  if (c.message == kMsgSetIcon && log.hangs.empty()) {
    // This system carries no WM_SETICON to another process (Wine 8): the
    // icon never reaches the window, so nothing waits on it.
    std::cerr << "note: this system carries no WM_SETICON to another process; the hang never began\n";
    EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
    ExpectHandedOver(*run);
    return;
  }
  ASSERT_NE(box, nullptr) << "the user was not asked";
  EXPECT_GE(GetTickCount64() - started, limit) << "the user was asked before the limit";
  PressButton(box, IDCANCEL);
  const MessageBoxText notice = ExpectNoticeAndNothingLeft(*run, kDialogMs);
  EXPECT_EQ(notice.text, EncodedText(kHostStoppedResponding));
  ASSERT_THAT(log.hangs, SizeIs(1));
  EXPECT_EQ(log.hangs.front().number, c.message);
  EXPECT_THAT(scenario_.HostLog().Calls("application", kDispQuit), IsEmpty()) << "a host given up was asked to quit";
  const std::vector<std::uint32_t> messages = MessageNumbers(scenario_.AddinLog());
  EXPECT_EQ(std::count(messages.begin(), messages.end(), kMsgHandOverDone), 0) << "the hand-over went on";
}

INSTANTIATE_TEST_SUITE_P(Messages, HeldMessageTest,
                         ::testing::Values(OwnLimitCase{"HandOverMessageAtTheOwnLimit", kMsgLauncherProcessId, 0},
                                           OwnLimitCase{"Icon", kMsgSetIcon, kShortSilenceLimitMs}),
                         [](const ::testing::TestParamInfo<OwnLimitCase>& info) {
                           return std::string(info.param.name);
                         });

// A host given up that still holds its call when the launcher ends: the
// launcher ends all the same, without a call that would wait for it (the
// release of its object included), and the files the host still holds wait
// for the next start's sweep.
TEST_F(HostBehaviourTest, LauncherEndsWhileTheHostGivenUpStillHolds) {
  scenario_.SetHostSilenceLimit(kShortSilenceLimitMs);
  scenario_.SetAddin({});
  // Held for longer than the launcher's bounded wait for it after the notice.
  constexpr DWORD kLongHoldMs = 45000;
  scenario_.SetHost({"16.0", {}, {"fail.1209=hang " + std::to_string(kLongHoldMs)}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  const ULONGLONG started = GetTickCount64();
  const MessageBoxText notice = CancelAndAnswerTheNotice(*run, kLongHoldMs - kShortSilenceLimitMs - 5000);
  EXPECT_THAT(notice.text, StartsWith(EncodedText(kHostStoppedResponding) + L"\n\n(0x80010002"));
  EXPECT_THAT(scenario_.HostLog().Events("exit"), IsEmpty()) << "the host did not hold its call that long";
  EXPECT_LT(GetTickCount64() - started, kLongHoldMs) << "the launcher waited for the host it had given up";

  // The host ends on the WM_QUIT it was sent once its call is over.
  EXPECT_TRUE(scenario_.WaitForHostsToExit(kLongHoldMs + kHostExitMs));
  EXPECT_TRUE(QuitReachedTheHost(scenario_.AddinLog()));
  ExpectTheNextStartSweepsItAway();
}

// While it handles a hand-over message, the host sends a message to every
// top-level window (DDE initiation does), with the launcher waiting for the
// message to be handled, or for the add-in's ready event under the splash:
// the launcher's windows answer at once.
struct BroadcastCase {
  const char* name;
  std::uint32_t message;
  friend void PrintTo(const BroadcastCase& c, std::ostream* out) { *out << c.name; }
};

class BroadcastTest : public HostBehaviourTest, public ::testing::WithParamInterface<BroadcastCase> {};

TEST_P(BroadcastTest, LauncherAnswersWithinASecond) {
  const BroadcastCase& c = GetParam();
  AddinSetup addin;
  addin.broadcastOnMessage = c.message;
  scenario_.SetAddin(addin);
  scenario_.SetHost({});
  // The licence dialog gives the launch's thread windows of its own first.
  BuildSetup build;
  build.licence = true;
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"");
  HWND licence = run->WaitForDialog();
  ASSERT_NE(licence, nullptr);
  PressButton(licence, IDOK);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  const addin::AddinLog log = scenario_.AddinLog();
  ASSERT_THAT(log.broadcasts, SizeIs(1));
  const addin::BroadcastRecord& broadcast = log.broadcasts.front();
  EXPECT_EQ(broadcast.number, c.message);
  EXPECT_GE(broadcast.launcherWindows, 1u) << "the launcher had no window to send to: the scenario shows nothing";
  EXPECT_LT(broadcast.longestLauncherMs, 1000u) << "the launcher's windows held up the host";
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

INSTANTIATE_TEST_SUITE_P(Waits, BroadcastTest,
                         ::testing::Values(BroadcastCase{"WhileAMessageIsHandled", kMsg1157},
                                           BroadcastCase{"WhileTheAddinIsAwaited", kMsgHandOverDone}),
                         [](const ::testing::TestParamInfo<BroadcastCase>& info) {
                           return std::string(info.param.name);
                         });

// A host of version 11 that the user runs (visible, the host's window class
// and caption, another process) before the launch: the launcher finds the
// hidden window of the host it started, and the user's host gets no
// hand-over message and no WM_QUIT, whether the launch completes or is
// aborted.
struct UsersHostCase {
  const char* name;
  std::vector<std::string> hostLines;
  std::vector<std::string> buildFlags;
  bool completes;
  friend void PrintTo(const UsersHostCase& c, std::ostream* out) { *out << c.name; }
};

class UsersHostTest : public HostBehaviourTest, public ::testing::WithParamInterface<UsersHostCase> {};

TEST_P(UsersHostTest, GetsNothing) {
  const UsersHostCase& c = GetParam();
  scenario_.SetAddin({});
  scenario_.SetHost({"11.0", {}, c.hostLines});
  BuildSetup build;
  build.flags = c.buildFlags;
  ASSERT_EQ(scenario_.Build(build), "");
  const std::wstring usersLog = scenario_.Path(L"users_host.jsonl");
  const std::wstring usersConfig = scenario_.Path(L"users_host.cfg");
  // In front of every window that comes later, as the window the user works
  // in: it comes first in the system's search by class and caption.
  WriteFileBytes(usersConfig, "log=" + Utf8(usersLog) + "\nversion=11.0\nvisible=1\ntopmost=1\nuser_instance=1\n");
  ChildProcess users(WinePath(BRISK_STANDIN_HOST_EXE), L"-config \"" + usersConfig + L"\"");
  ASSERT_TRUE(users.started());
  HWND usersWindow = nullptr;
  for (const ULONGLONG deadline = GetTickCount64() + kDialogMs; GetTickCount64() < deadline; Sleep(50)) {
    usersWindow = scenario_.HostMainWindow(users.id());
    if (usersWindow && IsWindowVisible(usersWindow)) break;
  }
  ASSERT_TRUE(usersWindow && IsWindowVisible(usersWindow)) << "the user's host shows no window";

  auto run = scenario_.Start(L"-xlstest");
  if (c.completes) {
    EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
    EXPECT_THAT(addin::CheckHandover(scenario_.AddinLog(), CompletedHandover(run->id())), IsEmpty());
  } else {
    EXPECT_EQ(AnswerMessageBox(*run).text, EncodedText(kNewFormatNeedsHost12));
    EXPECT_TRUE(QuitReachedTheHost(scenario_.AddinLog())) << "the launcher's own host was not sent WM_QUIT";
  }
  const HostCallLog usersHost = HostCallLog::Parse(ReadFileBytes(usersLog).value_or(""));
  EXPECT_THAT(usersHost.Events("window_message"), IsEmpty()) << "the user's host got hand-over messages";
  EXPECT_THAT(usersHost.Events("exit"), IsEmpty()) << "the user's host ended";
  EXPECT_TRUE(users.Running()) << "the user's host ended";
  if (c.completes) {
    EXPECT_TRUE(scenario_.CloseHostsAsUser());
  } else {
    ExpectNothingLeft();
  }
  PostMessageW(usersWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(users.WaitForExit(kHostExitMs), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(Launches, UsersHostTest,
                         ::testing::Values(UsersHostCase{"Completed", {}, {}, true},
                                           // A new-format workbook on a host below version 12 ends the
                                           // launch; the host outlives its Quit, so WM_QUIT ends it.
                                           UsersHostCase{"Aborted", {"quit_on_quit=0"}, {"version-checks"}, false}),
                         [](const ::testing::TestParamInfo<UsersHostCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace brisk::e2e

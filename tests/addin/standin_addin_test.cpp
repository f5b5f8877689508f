// The stand-in add-in loaded into this process, which plays both sides: it
// owns a host main window (class from encoded string 24) like the host, and
// a second thread hands over to it like the launcher, by SendMessageW and
// PostMessageW across threads and with the two named events.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "base/wide_text.h"
#include "payload/encoded_strings.h"
#include "standin_addin.h"
#include "tests/support/fake_dispatch.h"
#include "tests/support/files.h"
#include "tests/support/processes.h"
#include "tools/addin_protocol/addin_config.h"
#include "tools/addin_protocol/addin_log.h"
#include "tools/addin_protocol/conformance.h"
#include "tools/addin_protocol/embedded_config.h"
#include "tools/addin_protocol/handover_contract.h"
#include "tools/json/json_io.h"

namespace brisk::addin {
namespace {

using test::ReadFileBytes;
using test::TempFolder;
using test::WinePath;
using test::WriteFileBytes;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

// An export as the function type it has.
template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::wstring Wide(const std::u16string& text) { return ToWide(text); }

std::string Utf8(const std::wstring& text) { return Utf8FromWide(text); }

using UniqueWindow = UniqueAny<HWND, ::DestroyWindow>;

LRESULT CALLBACK PlainHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

UniqueWindow MakeHostWindow(const wchar_t* title = L"Host") {
  static const std::wstring className = Wide(GetEncodedStringW(kHostWindowClass));
  static const bool registered = [] {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = PlainHostProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className.c_str();
    return RegisterClassW(&windowClass) != 0;
  }();
  EXPECT_TRUE(registered);
  return UniqueWindow(CreateWindowExW(0, className.c_str(), title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr));
}

// Handles whatever arrives, sent or posted, until `handle` is signalled;
// then empties the queue once more, so that a message posted just before is
// handled too.
bool PumpUntil(HANDLE handle, DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  bool done = false;
  while (!done) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    done =
        MsgWaitForMultipleObjects(1, &handle, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT) == WAIT_OBJECT_0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

// A helper thread of a test; this thread serves its windows meanwhile.
class HelperThread {
 public:
  explicit HelperThread(std::function<void()> work)
      : work_(std::move(work)), handle_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;
  // One that has not ended in time is ended here, so that it outlives
  // nothing it uses.
  ~HelperThread() {
    if (handle_ && WaitForSingleObject(handle_.get(), 0) != WAIT_OBJECT_0) {
      TerminateThread(handle_.get(), 1);
      WaitForSingleObject(handle_.get(), 5000);
    }
  }

  // Handles this thread's messages until the helper has ended (bounded).
  bool PumpUntilEnded() { return handle_ && PumpUntil(handle_.get(), 30000); }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<HelperThread*>(self)->work_();
    return 0;
  }

  std::function<void()> work_;
  UniqueHandle handle_;
};

// One step of the launcher's side.
struct Step {
  enum Kind { Send, Post, Notify, Hide, Show } kind;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

struct Launch {
  std::uint32_t pid = 0;
  std::int32_t property1209 = 0x1234;
  std::uint8_t languageByte = 7;
  std::int32_t optionValue = 0;
  bool settingsRecord = true;
  bool external = false;
  bool visibleAtEnd = true;
};

// The steps of a launcher that keeps the protocol.
std::vector<Step> ConformingSteps(const Launch& launch) {
  std::vector<Step> steps;
  for (const HandoverMessage& rule : kHandoverMessages) {
    if (rule.presence == Presence::WhenOptionValue && launch.optionValue == 0) continue;
    if (rule.presence == Presence::WhenSettingsRecord && !launch.settingsRecord) continue;
    if (rule.number == kMsgHandOverDone && launch.visibleAtEnd) steps.push_back({Step::Show});
    Step step{rule.posted ? Step::Post : Step::Send, rule.number};
    if (rule.number == kMsgLauncherProcessId) step.wParam = launch.pid;
    if (rule.number == kMsgHostValues) {
      step.wParam = static_cast<std::uint32_t>(launch.property1209);
      step.lParam = launch.languageByte;
    }
    if (rule.number == kMsgOptionValue) step.wParam = static_cast<std::uint32_t>(launch.optionValue);
    steps.push_back(step);
    if (rule.number == kMsgLauncherProcessId) steps.push_back({Step::Hide});
  }
  return steps;
}

struct LauncherWork {
  HWND window;
  const std::vector<Step>* steps;
};

DWORD WINAPI RunLauncherSteps(void* param) {
  const auto* work = static_cast<LauncherWork*>(param);
  const HWND window = work->window;
  for (const Step& step : *work->steps) {
    switch (step.kind) {
      case Step::Send:
        SendMessageW(window, step.message, step.wParam, step.lParam);
        break;
      case Step::Post:
        PostMessageW(window, step.message, step.wParam, step.lParam);
        break;
      case Step::Notify:
        SendNotifyMessageW(window, step.message, step.wParam, step.lParam);
        break;
      case Step::Hide:
        ShowWindow(window, SW_HIDE);
        break;
      case Step::Show:
        ShowWindow(window, SW_SHOWNA);
        break;
    }
  }
  return 0;
}

HandoverExpectation ExpectationOf(const Launch& launch) {
  HandoverExpectation e;
  e.launcherProcessId = launch.pid;
  e.intProperty1209 = launch.property1209;
  e.languageByte = launch.languageByte;
  e.optionValue = launch.optionValue;
  e.exePathKnown = true;
  e.settingsRecord = launch.settingsRecord;
  e.completed = true;
  e.externalStorage = launch.external;
  e.visibleAtEnd = launch.visibleAtEnd;
  return e;
}

std::wstring EventName(int format, std::uint32_t pid) {
  wchar_t name[512] = {};
  std::swprintf(name, 512, Wide(GetEncodedStringW(format)).c_str(), pid);
  return name;
}

// The launcher's events, created before the first message as it does.
struct LauncherEvents {
  UniqueHandle close;
  UniqueHandle ready;
  LauncherEvents(std::uint32_t pid, bool external) {
    if (external) close.reset(CreateEventW(nullptr, TRUE, FALSE, EventName(kCloseEventFormat, pid).c_str()));
    ready.reset(CreateEventW(nullptr, TRUE, FALSE, EventName(kReadyEventFormat, pid).c_str()));
  }
};

bool Signalled(const UniqueHandle& event, DWORD milliseconds = 0) {
  return event && WaitForSingleObject(event.get(), milliseconds) == WAIT_OBJECT_0;
}

class StandinAddinTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    addinPath_ = *folder_ / Wide(GetEncodedStringW(kAddinFileName));
    ASSERT_TRUE(CopyFileW(WinePath(BRISK_STANDIN_ADDIN_DLL).c_str(), addinPath_.c_str(), FALSE));
    module_ = LoadLibraryW(addinPath_.c_str());
    ASSERT_NE(module_, nullptr);
    dummyFunc9_ = Export<DummyFunc9Proc>(module_, "DummyFunc9");
    ASSERT_NE(dummyFunc9_, nullptr);
  }
  static void TearDownTestSuite() {
    // The add-in pins itself; its folder goes with the process's temporary files.
    delete folder_;
    folder_ = nullptr;
  }

  void SetUp() override { NewCase(); }

  // Fresh launcher id, log and files, for each case of a table too.
  void NewCase() {
    static std::uint32_t serial = 0;
    pid_ = 0x40000000u + GetCurrentProcessId() * 256u + ++serial;
    logPath_ = *folder_ / (L"log-" + std::to_wstring(serial) + L".jsonl");
    WriteConfig({{"log", Utf8(logPath_)}});
    workbookPath_ = *folder_ / L"Tool.xlsx";
    ASSERT_TRUE(WriteFileBytes(workbookPath_, "workbook"));
    ASSERT_TRUE(WriteFileBytes(*folder_ / Wide(GetEncodedStringW(kCommandLineFileName)),
                               "\"C:\\apps\\Tool.exe\" -p s\xC3\xA9"
                               "cret\n" +
                                   Utf8(workbookPath_)));
  }

  static void WriteConfig(const json::Json& config) {
    ASSERT_TRUE(WriteFileBytes(*folder_ / L"briskstub.json", json::OneLine(config) + "\n"));
  }

  LONG Attach(LONG code = kFirstContactCode, LONG_PTR third = 0) { return dummyFunc9_(code, &application_, third); }

  // A host window and the launcher's events for `launch`, whose launcher id
  // becomes this case's, with the add-in attached as the start-up workbook's
  // handler leaves it.
  struct AttachedHost {
    UniqueWindow window;
    LauncherEvents events;
  };
  AttachedHost AttachToHostWindow(Launch& launch) {
    launch.pid = pid_;
    AttachedHost host{MakeHostWindow(), LauncherEvents(launch.pid, launch.external)};
    EXPECT_TRUE(host.window);
    EXPECT_EQ(Attach(), 1);
    return host;
  }

  // Runs the steps on a launcher thread while this thread serves the window.
  void HandOver(HWND window, const std::vector<Step>& steps) {
    LauncherWork work{window, &steps};
    UniqueHandle launcher(CreateThread(nullptr, 0, RunLauncherSteps, &work, 0, nullptr));
    ASSERT_TRUE(launcher);
    const bool finished = PumpUntil(launcher.get(), 20000);
    if (!finished) {
      TerminateThread(launcher.get(), 1);
      WaitForSingleObject(launcher.get(), 5000);
    }
    ASSERT_TRUE(finished) << "the hand-over did not finish";
  }

  // The same steps from a process of their own, as the launcher sends them.
  void HandOverFromAnotherProcess(HWND window, const std::vector<Step>& steps) {
    std::wstring arguments = std::to_wstring(reinterpret_cast<std::uintptr_t>(window));
    for (const Step& step : steps) {
      static const wchar_t* const kinds[] = {L"s", L"p", L"n"};
      if (step.kind == Step::Hide) {
        arguments += L" hide";
      } else if (step.kind == Step::Show) {
        arguments += L" show";
      } else {
        arguments += L" " + std::wstring(kinds[step.kind]) + L":" + std::to_wstring(step.message) + L":" +
                     std::to_wstring(step.wParam) + L":" + std::to_wstring(step.lParam);
      }
    }
    test::ChildProcess sender(WinePath(BRISK_HANDOVER_SENDER), arguments);
    ASSERT_TRUE(sender.started());
    ASSERT_TRUE(PumpUntil(sender.handle(), 20000)) << "the sender did not finish";
    EXPECT_EQ(sender.WaitForExit(0), std::optional<DWORD>(0));
  }

  AddinLog ReadLog() const {
    const AddinLog log = ParseAddinLog(ReadFileBytes(logPath_).value_or(""));
    EXPECT_THAT(log.faults, IsEmpty());
    return log;
  }

  // For records that a delayed signal writes from its own thread.
  AddinLog ReadLogWhen(const std::function<bool(const AddinLog&)>& complete) const {
    for (int attempt = 0; attempt < 100; ++attempt) {
      const AddinLog log = ParseAddinLog(ReadFileBytes(logPath_).value_or(""));
      if (complete(log)) return log;
      Sleep(50);
    }
    return ReadLog();
  }

  static const SignalRecord* FindSignal(const AddinLog& log, const std::string& event, const std::string& state) {
    for (const auto& s : log.signals) {
      if (s.event == event && s.state == state) return &s;
    }
    return nullptr;
  }

  static inline TempFolder* folder_ = nullptr;
  static inline std::wstring addinPath_;
  static inline HMODULE module_ = nullptr;
  static inline DummyFunc9Proc dummyFunc9_ = nullptr;
  test::FakeDispatch application_;
  std::uint32_t pid_ = 0;
  std::wstring logPath_;
  std::wstring workbookPath_;
};

TEST_F(StandinAddinTest, ExportsEveryFunctionByNameAndOrdinal) {
  std::vector<std::pair<std::string, int>> exports;
  for (int n = 0; n <= 20; ++n) exports.emplace_back("DummyFunc" + std::to_string(n), 10 + n);
  exports.emplace_back("xlAutoFree12", 31);
  exports.emplace_back("xlAutoFree", 32);
  exports.emplace_back("xlAutoClose", 33);
  for (const auto& [name, ordinal] : exports) {
    const FARPROC byName = GetProcAddress(module_, name.c_str());
    EXPECT_NE(byName, nullptr) << name;
    EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCEA(ordinal)), byName) << name << " @" << ordinal;
  }
  EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCEA(34)), nullptr);
}

TEST_F(StandinAddinTest, ConformingHandOversAreRecordedAndAnswered) {
  std::vector<Launch> launches(3);
  launches[1].optionValue = -2;
  launches[1].settingsRecord = false;
  launches[1].visibleAtEnd = false;
  launches[2].external = true;
  launches[2].property1209 = -1;
  for (std::size_t i = 0; i < launches.size(); ++i) {
    NewCase();
    Launch& launch = launches[i];
    SCOPED_TRACE("launch " + std::to_string(i));
    const AttachedHost host = AttachToHostWindow(launch);
    HandOver(host.window.get(), ConformingSteps(launch));

    EXPECT_TRUE(Signalled(host.events.ready));
    EXPECT_EQ(Signalled(host.events.close), launch.external);
    const AddinLog log = ReadLog();
    EXPECT_THAT(CheckHandover(log, ExpectationOf(launch)), IsEmpty());

    ASSERT_EQ(log.attaches.size(), 1u);
    EXPECT_EQ(log.attaches[0].bits, static_cast<int>(sizeof(void*) * 8));
    EXPECT_EQ(log.attaches[0].process, GetCurrentProcessId());
    EXPECT_EQ(log.attaches[0].module, Utf8(addinPath_));
    ASSERT_FALSE(log.messages.empty());
    EXPECT_EQ(log.messages[0].window, reinterpret_cast<std::uintptr_t>(host.window.get()));
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].readyName, Utf8(EventName(kReadyEventFormat, launch.pid)));
    EXPECT_EQ(log.events[0].closeName, Utf8(EventName(kCloseEventFormat, launch.pid)));
    EXPECT_NE(FindSignal(log, "ready", "signalled"), nullptr);
    EXPECT_NE(FindSignal(log, "close", launch.external ? "signalled" : "missing"), nullptr);
  }
}

TEST_F(StandinAddinTest, HandOverFromAnotherProcessIsRecordedAsTheLauncherSendsIt) {
  Launch launch;
  launch.optionValue = 0x7FFFFFFF;
  launch.property1209 = -5;
  launch.external = true;
  const AttachedHost host = AttachToHostWindow(launch);
  HandOverFromAnotherProcess(host.window.get(), ConformingSteps(launch));
  EXPECT_TRUE(Signalled(host.events.ready));
  EXPECT_TRUE(Signalled(host.events.close));
  EXPECT_THAT(CheckHandover(ReadLog(), ExpectationOf(launch)), IsEmpty());

  NewCase();
  Launch posting;
  posting.pid = pid_;
  posting.visibleAtEnd = false;
  LauncherEvents postingEvents(posting.pid, false);
  Attach();
  std::vector<Step> steps = ConformingSteps(posting);
  steps[steps.size() - 2].kind = Step::Post;
  HandOverFromAnotherProcess(host.window.get(), steps);
  EXPECT_THAT(CheckHandover(ReadLog(), ExpectationOf(posting)),
              ElementsAre("message 1179 (order 12) arrived by post instead of send: the launcher must wait until the "
                          "add-in has handled it"));
}

TEST_F(StandinAddinTest, RecordsTheIconAndTheQuitThatReachTheHostWindow) {
  // An aborted launch as the launcher runs it: the icon before the hand-over,
  // WM_QUIT posted to the window at the end. From a thread of this process:
  // Wine carries no WM_SETICON to another process.
  Launch launch;
  const AttachedHost host = AttachToHostWindow(launch);
  const HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
  ASSERT_NE(icon, nullptr);
  std::vector<Step> steps = {{Step::Send, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon)}};
  for (const Step& step : ConformingSteps(launch)) steps.push_back(step);
  steps.push_back({Step::Post, WM_QUIT, 0, 0});
  HandOver(host.window.get(), steps);
  // The host's own end of its loop has no window and is not recorded.
  PostQuitMessage(0);
  MSG drained;
  while (PeekMessageW(&drained, nullptr, 0, 0, PM_REMOVE)) {
  }

  const AddinLog log = ReadLog();
  ASSERT_EQ(log.systemMessages.size(), 2u);
  const SystemMessageRecord& iconRecord = log.systemMessages[0];
  EXPECT_EQ(iconRecord.number, static_cast<std::uint32_t>(WM_SETICON));
  EXPECT_EQ(iconRecord.wParam, static_cast<std::uint64_t>(ICON_BIG));
  EXPECT_EQ(iconRecord.lParam, reinterpret_cast<std::intptr_t>(icon));
  EXPECT_EQ(iconRecord.delivery, Delivery::Send);
  EXPECT_EQ(iconRecord.window, reinterpret_cast<std::uintptr_t>(host.window.get()));
  const SystemMessageRecord& quitRecord = log.systemMessages[1];
  EXPECT_EQ(quitRecord.number, static_cast<std::uint32_t>(WM_QUIT));
  EXPECT_EQ(quitRecord.delivery, Delivery::Post);
  EXPECT_EQ(quitRecord.window, reinterpret_cast<std::uintptr_t>(host.window.get()));
  HandoverExpectation expect = ExpectationOf(launch);
  expect.iconBeforeHandover = true;
  expect.quitPosted = true;
  EXPECT_THAT(CheckHandover(log, expect), IsEmpty());
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(host.window.get(), WM_GETICON, ICON_BIG, 0)), icon)
      << "the icon did not go on to the host's window procedure";
}

// The seq of the record that the add-in wrote for `message` on arrival.
std::uint64_t ArrivalSeq(const AddinLog& log, std::uint32_t message) {
  for (const auto& m : log.systemMessages) {
    if (m.number == message) return m.seq;
  }
  for (const auto& m : log.messages) {
    if (m.number == message) return m.seq;
  }
  return 0;
}

// A dialog or a hang holds the message up, after its record, and the
// hand-over then goes on as usual; the icon still reaches the host.
TEST_F(StandinAddinTest, DialogAndHangHoldTheMessageUpThenItIsHandled) {
  struct Case {
    const char* plan;
    const char* ms;
    std::uint32_t message;
  };
  const Case cases[] = {
      {"dialogOnMessage", "dialogMs", WM_SETICON},
      {"dialogOnMessage", "dialogMs", kMsgLauncherProcessId},
      {"hangOnMessage", "hangMs", WM_SETICON},
      {"hangOnMessage", "hangMs", kMsgHandOverDone},
  };
  for (const Case& c : cases) {
    NewCase();
    SCOPED_TRACE(std::string(c.plan) + " " + std::to_string(c.message));
    WriteConfig({{"log", Utf8(logPath_)}, {c.plan, c.message}, {c.ms, 200}});
    Launch launch;
    const AttachedHost host = AttachToHostWindow(launch);
    const HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
    std::vector<Step> steps = {{Step::Send, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon)}};
    for (const Step& step : ConformingSteps(launch)) steps.push_back(step);
    HandOver(host.window.get(), steps);

    EXPECT_TRUE(Signalled(host.events.ready));
    const AddinLog log = ReadLog();
    const bool dialog = std::string(c.plan) == "dialogOnMessage";
    std::uint64_t heldSeq = 0;
    if (dialog) {
      ASSERT_EQ(log.dialogs.size(), 1u);
      EXPECT_EQ(log.dialogs[0].number, c.message);
      EXPECT_EQ(log.dialogs[0].window, reinterpret_cast<std::uintptr_t>(host.window.get()));
      EXPECT_EQ(log.dialogs[0].dialogMs, 200u);
      EXPECT_TRUE(log.dialogs[0].closedByTimer);
      EXPECT_THAT(log.hangs, IsEmpty());
      heldSeq = log.dialogs[0].seq;
    } else {
      ASSERT_EQ(log.hangs.size(), 1u);
      EXPECT_EQ(log.hangs[0].number, c.message);
      EXPECT_EQ(log.hangs[0].window, reinterpret_cast<std::uintptr_t>(host.window.get()));
      EXPECT_EQ(log.hangs[0].hangMs, 200u);
      EXPECT_THAT(log.dialogs, IsEmpty());
      heldSeq = log.hangs[0].seq;
    }
    EXPECT_THAT(log.crashes, IsEmpty());
    const std::uint64_t arrival = ArrivalSeq(log, c.message);
    EXPECT_NE(arrival, 0u);
    EXPECT_LT(arrival, heldSeq);
    HandoverExpectation expect = ExpectationOf(launch);
    expect.iconBeforeHandover = true;
    EXPECT_THAT(CheckHandover(log, expect), IsEmpty());
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(host.window.get(), WM_GETICON, ICON_BIG, 0)), icon);
  }
}

// While it hangs, the window handles nothing: a message sent meanwhile is
// handled after the held one.
TEST_F(StandinAddinTest, HangHandlesNothingUntilItEnds) {
  WriteConfig({{"log", Utf8(logPath_)}, {"hangOnMessage", kMsgLauncherProcessId}, {"hangMs", 2000}});
  Launch launch;
  const AttachedHost host = AttachToHostWindow(launch);
  constexpr UINT kOther = 1200;
  bool sawHang = false;
  HelperThread other([&, target = host.window.get()] {
    for (int attempt = 0; attempt < 200 && !sawHang; ++attempt) {
      sawHang = !ParseAddinLog(ReadFileBytes(logPath_).value_or("")).hangs.empty();
      if (!sawHang) Sleep(50);
    }
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(target, kOther, 0, 0, SMTO_NORMAL, 20000, &answer);
  });
  HandOver(host.window.get(), ConformingSteps(launch));
  ASSERT_TRUE(other.PumpUntilEnded());

  EXPECT_TRUE(sawHang);
  const AddinLog log = ReadLog();
  ASSERT_EQ(log.hangs.size(), 1u);
  ASSERT_EQ(log.events.size(), 1u);
  const std::uint64_t otherSeq = ArrivalSeq(log, kOther);
  EXPECT_NE(otherSeq, 0u);
  EXPECT_LT(log.hangs[0].seq, log.events[0].seq);
  EXPECT_GT(otherSeq, log.events[0].seq) << "a message was handled during the hang";
}

// The dialog is a real message box, modal to the host window, whose loop
// handles what reaches the window meanwhile; another hand may close it.
TEST_F(StandinAddinTest, DialogIsAModalBoxThatHandlesMessagesMeanwhile) {
  WriteConfig({{"log", Utf8(logPath_)}, {"dialogOnMessage", kMsgLauncherProcessId}, {"dialogMs", 30000}});
  Launch launch;
  const AttachedHost host = AttachToHostWindow(launch);
  constexpr UINT kOther = 1200;
  struct Seen {
    bool box = false;
    bool ownedByHost = false;
    bool hostDisabled = false;
    bool otherHandled = false;
  } seen;
  HelperThread closer([&, host = host.window.get()] {
    HWND box = nullptr;
    for (int attempt = 0; attempt < 200 && box == nullptr; ++attempt) {
      box = FindWindowW(L"#32770", L"Stand-in add-in");
      if (box == nullptr) Sleep(50);
    }
    if (box == nullptr) return;
    seen.box = true;
    seen.ownedByHost = GetWindow(box, GW_OWNER) == host;
    seen.hostDisabled = !IsWindowEnabled(host);
    DWORD_PTR answer = 0;
    seen.otherHandled = SendMessageTimeoutW(host, kOther, 0, 0, SMTO_NORMAL, 10000, &answer) != 0;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  HandOver(host.window.get(), ConformingSteps(launch));
  ASSERT_TRUE(closer.PumpUntilEnded());

  EXPECT_TRUE(seen.box);
  EXPECT_TRUE(seen.ownedByHost);
  EXPECT_TRUE(seen.hostDisabled);
  EXPECT_TRUE(seen.otherHandled);
  EXPECT_TRUE(IsWindowEnabled(host.window.get()));
  EXPECT_TRUE(Signalled(host.events.ready));
  const AddinLog log = ReadLog();
  ASSERT_EQ(log.dialogs.size(), 1u);
  EXPECT_FALSE(log.dialogs[0].closedByTimer);
  ASSERT_EQ(log.events.size(), 1u);
  const std::uint64_t otherSeq = ArrivalSeq(log, kOther);
  EXPECT_GT(otherSeq, ArrivalSeq(log, kMsgLauncherProcessId));
  EXPECT_LT(otherSeq, log.dialogs[0].seq);
  EXPECT_LT(log.dialogs[0].seq, log.events[0].seq);
}

TEST_F(StandinAddinTest, ReadsTheCommandLineFileBesideItself) {
  UniqueWindow window = MakeHostWindow();
  Attach();
  const AddinLog log = ReadLog();
  ASSERT_EQ(log.commandFiles.size(), 1u);
  const CommandFileRecord& file = log.commandFiles[0];
  EXPECT_EQ(file.path, Utf8(*folder_ / L"briskcmd.txt"));
  EXPECT_TRUE(file.found);
  EXPECT_TRUE(file.lineFeed);
  EXPECT_EQ(file.commandLine,
            "\"C:\\apps\\Tool.exe\" -p s\xC3\xA9"
            "cret");
  EXPECT_EQ(file.workbookPath, Utf8(workbookPath_));
  EXPECT_TRUE(file.workbookExists);

  DeleteFileW((*folder_ / L"briskcmd.txt").c_str());
  Attach();
  const AddinLog again = ReadLog();
  ASSERT_EQ(again.commandFiles.size(), 2u);
  EXPECT_FALSE(again.commandFiles[1].found);
}

TEST_F(StandinAddinTest, SignalsFollowTheConfiguration) {
  struct Case {
    const char* ready;
    const char* close;
    std::vector<std::string> states;  // ready's, then close's
  };
  const std::vector<Case> cases = {
      {"never", "never", {"skipped", "skipped"}},
      {"signal", "never", {"signalled", "skipped"}},
      {"never", "delay", {"skipped", "scheduled", "signalled"}},
      {"delay", "signal", {"scheduled", "signalled", "signalled"}},
  };
  for (const Case& c : cases) {
    NewCase();
    SCOPED_TRACE(std::string(c.ready) + "/" + c.close);
    WriteConfig({{"log", Utf8(logPath_)},
                 {"ready", c.ready},
                 {"readyDelayMs", 3000},
                 {"close", c.close},
                 {"closeDelayMs", 3000}});
    Launch launch;
    launch.external = true;
    const AttachedHost host = AttachToHostWindow(launch);
    HandOver(host.window.get(), ConformingSteps(launch));

    const bool readyNow = std::string(c.ready) == "signal";
    const bool closeNow = std::string(c.close) == "signal";
    EXPECT_EQ(Signalled(host.events.ready), readyNow);
    EXPECT_EQ(Signalled(host.events.close), closeNow);
    // A delayed signal comes, bounded; "never" stays unsignalled until the
    // other, delayed one has come.
    const bool readyLater = std::string(c.ready) == "delay";
    const bool closeLater = std::string(c.close) == "delay";
    if (readyLater) {
      EXPECT_TRUE(Signalled(host.events.ready, 10000));
    }
    if (closeLater) {
      EXPECT_TRUE(Signalled(host.events.close, 10000));
    }
    EXPECT_EQ(Signalled(host.events.ready), readyNow || readyLater);
    EXPECT_EQ(Signalled(host.events.close), closeNow || closeLater);

    std::vector<std::string> expected = c.states;
    const AddinLog log = ReadLogWhen([&](const AddinLog& l) { return l.signals.size() >= expected.size(); });
    std::vector<std::string> states;
    for (const auto& s : log.signals) states.push_back(s.state);
    // A delayed signal's second record follows whenever its thread gets there.
    std::sort(states.begin(), states.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(states, expected);
  }
}

TEST_F(StandinAddinTest, RecordsHowEachMessageArrived) {
  struct Case {
    const char* name;
    std::function<void(Launch&, std::vector<Step>&)> change;
    std::vector<std::string> deviations;
  };
  const std::vector<Case> cases = {
      {"posted instead of sent",
       [](Launch&, std::vector<Step>& steps) { steps[steps.size() - 2].kind = Step::Post; },
       {"message 1179 (order 12) arrived by post instead of send: the launcher must wait until the add-in has "
        "handled it"}},
      {"sent without waiting",
       [](Launch&, std::vector<Step>& steps) { steps[6].kind = Step::Notify; },
       {"message 1166 (order 6) arrived by notify instead of send: the launcher must wait until the add-in has "
        "handled it"}},
      {"last one sent",
       [](Launch&, std::vector<Step>& steps) { steps.back().kind = Step::Send; },
       {"message 1171 (order 13) arrived by send instead of post"}},
      {"shown in the middle",
       [](Launch&, std::vector<Step>& steps) {
         steps.insert(steps.begin() + 9, Step{Step::Hide});
         steps.insert(steps.begin() + 8, Step{Step::Show});
       },
       {"message 1157 (order 8): the host window is visible; the launcher hides it after message 1159"}},
      {"shown at the end",
       [](Launch&, std::vector<Step>& steps) { steps.insert(steps.end() - 1, Step{Step::Show}); },
       {"message 1171 (order 13): the host window is visible instead of hidden"}},
  };
  for (const Case& c : cases) {
    NewCase();
    SCOPED_TRACE(c.name);
    // Hidden at the end: every step after the last send is then a post, and
    // posts keep their order against each other, not against sends.
    Launch launch;
    launch.visibleAtEnd = false;
    const AttachedHost host = AttachToHostWindow(launch);
    std::vector<Step> steps = ConformingSteps(launch);
    // 1159 Hide 1181 1160 1156 1158 1166 1155 1157 1164 1168 1163 1179 1171
    ASSERT_EQ(steps[6].message, 1166u);
    ASSERT_EQ(steps[8].message, 1157u);
    c.change(launch, steps);
    HandOver(host.window.get(), steps);
    EXPECT_EQ(CheckHandover(ReadLog(), ExpectationOf(launch)), c.deviations);
  }
}

TEST_F(StandinAddinTest, WatchesEveryHostWindowOfTheProcess) {
  UniqueWindow first = MakeHostWindow(L"Other");
  UniqueWindow second = MakeHostWindow(L"Host");
  Launch launch;
  launch.pid = pid_;
  LauncherEvents events(launch.pid, false);
  EXPECT_EQ(Attach(), 1);
  HandOver(second.get(), ConformingSteps(launch));
  SendMessageW(first.get(), 1164, 0, 0);

  const AddinLog log = ReadLog();
  ASSERT_EQ(log.attaches.size(), 1u);
  EXPECT_EQ(log.attaches[0].windows, 2);
  ASSERT_FALSE(log.messages.empty());
  EXPECT_EQ(log.messages.front().window, reinterpret_cast<std::uintptr_t>(second.get()));
  EXPECT_EQ(log.messages.back().window, reinterpret_cast<std::uintptr_t>(first.get()));
  const std::vector<std::string> deviations = CheckHandover(log, ExpectationOf(launch));
  ASSERT_FALSE(deviations.empty());
  EXPECT_THAT(deviations[0], HasSubstr("message 1164 (order 14) went to window"));
}

TEST_F(StandinAddinTest, OtherCodesWatchNothing) {
  UniqueWindow window = MakeHostWindow();
  EXPECT_EQ(Attach(5, 0), 0);
  const AddinLog log = ReadLog();
  ASSERT_EQ(log.attaches.size(), 1u);
  EXPECT_EQ(log.attaches[0].code, 5);
  EXPECT_EQ(log.attaches[0].windows, 0);
  EXPECT_THAT(log.commandFiles, IsEmpty());
  const std::vector<std::string> deviations = CheckHandover(log);
  ASSERT_GE(deviations.size(), 3u);
  EXPECT_THAT(std::vector<std::string>(deviations.begin(), deviations.begin() + 3),
              ElementsAre("DummyFunc9 got code 5 instead of 1170", "the add-in found no host main window to watch",
                          "message 1159 is missing"));
}

TEST_F(StandinAddinTest, RecordsCallsOfTheOtherExports) {
  UniqueWindow window = MakeHostWindow();
  Attach();
  using Unused = LONG(WINAPI*)(LONG, LONG_PTR, LONG_PTR);
  using AutoClose = int(WINAPI*)();
  using AutoFree = void(WINAPI*)(void*);
  EXPECT_EQ(Export<Unused>(module_, "DummyFunc3")(1, 2, 3), 0);
  EXPECT_EQ(Export<AutoClose>(module_, "xlAutoClose")(), 1);
  Export<AutoFree>(module_, "xlAutoFree12")(nullptr);
  std::vector<std::string> calls;
  for (const auto& call : ReadLog().calls) calls.push_back(call.function);
  EXPECT_THAT(calls, ElementsAre("DummyFunc3", "xlAutoClose", "xlAutoFree12"));
}

TEST_F(StandinAddinTest, ConfigurationFaultsAreNoted) {
  WriteConfig({{"log", Utf8(logPath_)}, {"ready", "later"}, {"colour", "red"}});
  UniqueWindow window = MakeHostWindow();
  Attach();
  std::vector<std::string> notes;
  for (const auto& note : ReadLog().notes) notes.push_back(note.text);
  EXPECT_THAT(notes, ElementsAre("configuration: unknown member \"colour\"",
                                 "configuration: \"ready\" must be \"signal\", \"delay\" or \"never\""));
}

// A copy of the add-in with the configuration path in its image, alone in a
// folder, as a launcher extracts it.
TEST_F(StandinAddinTest, ReadsTheConfigurationPathEmbeddedInItsImage) {
  TempFolder other;
  const std::wstring config = other / L"elsewhere.json";
  const std::wstring log = other / L"embedded.jsonl";
  ASSERT_TRUE(WriteFileBytes(config, json::OneLine({{"log", Utf8(log)}}) + "\n"));

  const std::string bytes = ReadFileBytes(addinPath_).value_or("");
  std::vector<std::uint8_t> image(bytes.begin(), bytes.end());
  const std::wstring configWide = config;
  ASSERT_EQ(EmbedConfigPath(image, std::u16string(configWide.begin(), configWide.end())), std::nullopt);
  TempFolder extracted;
  const std::wstring copy = extracted / L"briskstub.dll";
  ASSERT_TRUE(WriteFileBytes(copy, std::string(image.begin(), image.end())));

  HMODULE module = LoadLibraryW(copy.c_str());
  ASSERT_NE(module, nullptr);
  ASSERT_NE(module, module_) << "a copy at another path is a module of its own";
  auto dummyFunc9 = Export<DummyFunc9Proc>(module, "DummyFunc9");
  ASSERT_NE(dummyFunc9, nullptr);
  dummyFunc9(kFirstContactCode, &application_, 0);

  const AddinLog embedded = ParseAddinLog(ReadFileBytes(log).value_or(""));
  ASSERT_EQ(embedded.attaches.size(), 1u);
  EXPECT_EQ(embedded.attaches[0].module, Utf8(copy));
  ASSERT_EQ(embedded.commandFiles.size(), 1u);
  EXPECT_FALSE(embedded.commandFiles[0].found);
}

}  // namespace
}  // namespace brisk::addin

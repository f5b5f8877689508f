// The host wait's rule for window messages, against windows of this
// process's own threads: a window that holds a message is waited for, with
// the user asked after the silence limit, until it answers, the user gives
// it up or its thread ends; and the wait serves what is sent to the waiting
// thread's own windows. Threads of the system's own run their bodies without
// letting an exception end the process.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include <comdef.h>

#include "base/message_wait_win.h"
#include "base/thread_win.h"
#include "base/unique_handle.h"
#include "host/host_wait_win.h"
#include "tests/support/question_answerer.h"

namespace brisk {
namespace {

constexpr UINT kTestMessage = WM_USER + 77;
// A short silence limit, and how long each window holds the message: well
// beyond two limits.
constexpr DWORD kLimitMs = 1000;
constexpr DWORD kHoldMs = 4000;

enum class Holding { kHangs, kRunsALoop, kEndsItsThread };

// A window on a thread of its own that holds kTestMessage as told.
class WindowThread {
 public:
  explicit WindowThread(Holding holding) : holding_(holding) {
    ready_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    thread_ = StartThread([this] { Run(); });
    WaitForSingleObject(ready_.get(), 10000);
  }
  ~WindowThread() {
    if (window_ && IsWindow(window_)) PostMessageW(window_, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread_.get(), 20000);
  }
  WindowThread(const WindowThread&) = delete;
  WindowThread& operator=(const WindowThread&) = delete;

  HWND window() const { return window_; }
  // How many test messages reached the window.
  int held() const { return held_.load(); }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<WindowThread*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == kTestMessage && self) {
      ++self->held_;
      switch (self->holding_) {
        case Holding::kHangs:
          Sleep(kHoldMs);
          break;
        case Holding::kRunsALoop: {
          const ULONGLONG end = GetTickCount64() + kHoldMs;
          MSG pending{};
          while (GetTickCount64() < end) {
            while (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&pending);
            Sleep(10);
          }
          break;
        }
        case Holding::kEndsItsThread:
          DestroyWindow(window);
          ExitThread(0);
      }
      return 1;
    }
    if (message == WM_CLOSE) {
      DestroyWindow(window);
      return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
  }

  void Run() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"BriskHostWaitTest";
    RegisterClassW(&windowClass);
    window_ = CreateWindowW(L"BriskHostWaitTest", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                            windowClass.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetEvent(ready_.get());
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  }

  const Holding holding_;
  UniqueHandle ready_;
  UniqueHandle thread_;
  std::atomic<HWND> window_{nullptr};
  std::atomic<int> held_{0};
};

HostQuestion TestQuestion() { return {L"The host has not answered.", L"Host wait test"}; }

// A window that holds the message past the silence limit gets the user
// asked, whether it handles nothing meanwhile or runs a dialog's loop: Retry
// waits on and asks again after the next limit, and the answer that comes
// at last closes the question and is the reply. A window whose thread ends
// is a host that ended.
TEST(HostWindowMessageTest, HoldingWindowIsWaitedForAndTheUserAskedUntilItAnswers) {
  const struct {
    const char* name;
    Holding holding;
    HostWindowReply reply;
    bool asked;
  } cases[] = {
      {"hangs", Holding::kHangs, HostWindowReply::kHandled, true},
      {"runs a dialog's loop", Holding::kRunsALoop, HostWindowReply::kHandled, true},
      {"ends its thread", Holding::kEndsItsThread, HostWindowReply::kHostEnded, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WindowThread thread(c.holding);
    ASSERT_NE(thread.window(), nullptr);
    HostWait wait(TestQuestion(), kLimitMs);
    const test::QuestionAnswerer user(GetCurrentProcessId(), {IDRETRY, IDRETRY, IDRETRY});
    const ULONGLONG sent = GetTickCount64();
    EXPECT_EQ(wait.Send(thread.window(), kTestMessage, 0, 0, nullptr), c.reply);
    if (c.asked) {
      EXPECT_GE(GetTickCount64() - sent, kHoldMs) << "the wait ended before the window answered";
      EXPECT_GE(user.asked(), 2) << "Retry did not ask again after the next limit";
      EXPECT_EQ(wait.reach(), HostReach::kWithinReach);
    } else {
      EXPECT_EQ(wait.reach(), HostReach::kGone);
    }
    // The question closed with the answer.
    const ULONGLONG deadline = GetTickCount64() + 2000;
    while (test::FindQuestionBox(GetCurrentProcessId()) && GetTickCount64() < deadline) Sleep(20);
    EXPECT_EQ(test::FindQuestionBox(GetCurrentProcessId()), nullptr) << "the question stayed up after the answer";
  }
}

// Cancel gives the host up at once: the message is not waited for any
// longer, and nothing more is sent to the window.
TEST(HostWindowMessageTest, CancelGivesTheHostUpAndNothingMoreIsSent) {
  WindowThread thread(Holding::kHangs);
  HostWait wait(TestQuestion(), kLimitMs);
  const test::QuestionAnswerer user(GetCurrentProcessId(), {IDCANCEL});
  const ULONGLONG sent = GetTickCount64();
  EXPECT_EQ(wait.Send(thread.window(), kTestMessage, 0, 0, nullptr), HostWindowReply::kGivenUp);
  EXPECT_LT(GetTickCount64() - sent, kHoldMs) << "the wait went on after Cancel";
  EXPECT_EQ(wait.reach(), HostReach::kGivenUp);
  EXPECT_EQ(wait.Send(thread.window(), kTestMessage, 0, 0, nullptr), HostWindowReply::kGivenUp);
  // Nor is a call made.
  struct Noted final : HostJob {
    bool performed = false;
    void Perform(IDispatch*) override { performed = true; }
  };
  const auto call = std::make_shared<Noted>();
  EXPECT_THROW(wait.Run(call), _com_error);
  EXPECT_FALSE(call->performed) << "a call was let through to a host given up";
  EXPECT_EQ(thread.held(), 1) << "a message was sent after the host was given up";
  EXPECT_EQ(user.asked(), 1);
}

// A message answered within the limit asks nobody.
TEST(HostWindowMessageTest, AnsweredMessageIsHandledWithoutAQuestion) {
  WindowThread thread(Holding::kRunsALoop);
  HostWait wait(TestQuestion(), 20000);
  EXPECT_EQ(wait.Send(thread.window(), WM_NULL, 0, 0, nullptr), HostWindowReply::kHandled);
  EXPECT_EQ(wait.questionsAsked(), 0);
}

// While this thread waits for the host, a message that another thread sends
// to this thread's window is answered at once, not after the wait.
TEST(HostWindowMessageTest, WaitServesWhatIsSentToTheWaitingThreadsWindows) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"BriskWaitingThreadWindow";
  RegisterClassW(&windowClass);
  const HWND own = CreateWindowW(L"BriskWaitingThreadWindow", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
  ASSERT_NE(own, nullptr);
  WindowThread thread(Holding::kHangs);
  HostWait wait(TestQuestion(), 20000);
  std::atomic<ULONGLONG> answeredAfterMs{0};
  const UniqueHandle other = StartThread([own, &answeredAfterMs] {
    Sleep(500);
    const ULONGLONG sent = GetTickCount64();
    DWORD_PTR result = 0;
    SendMessageTimeoutW(own, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
    answeredAfterMs = GetTickCount64() - sent;
  });
  EXPECT_EQ(wait.Send(thread.window(), kTestMessage, 0, 0, nullptr), HostWindowReply::kHandled);
  ASSERT_EQ(WaitForSingleObject(other.get(), 10000), WAIT_OBJECT_0);
  EXPECT_LT(answeredAfterMs.load(), 1000u) << "the sent message waited for the host";
  DestroyWindow(own);

  // The same for a wait on handles alone.
  const UniqueHandle never(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HWND again = CreateWindowW(L"BriskWaitingThreadWindow", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                   windowClass.hInstance, nullptr);
  const UniqueHandle sender2 = StartThread([again, &answeredAfterMs] {
    const ULONGLONG sent = GetTickCount64();
    DWORD_PTR result = 0;
    SendMessageTimeoutW(again, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
    answeredAfterMs = GetTickCount64() - sent;
  });
  const HANDLE handles[] = {never.get(), sender2.get()};
  EXPECT_EQ(WaitServingSentMessages(2, handles, 10000), WAIT_OBJECT_0 + 1);
  EXPECT_LT(answeredAfterMs.load(), 1000u);
  EXPECT_EQ(WaitServingSentMessages(1, handles, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  DestroyWindow(again);
}

// An exception that leaves a thread's body ends only that body: the thread
// ends with its exit code, and the process goes on.
TEST(StartThreadTest, ExceptionEndsOnlyTheBody) {
  std::atomic<bool> ran{false};
  const UniqueHandle thread = StartThread(
      [&ran] {
        ran = true;
        throw std::runtime_error("thrown on purpose");
      },
      7);
  ASSERT_TRUE(thread);
  ASSERT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace brisk

// The launcher's bounds on a host that does not answer, against windows of
// this process's own threads: a window that handles nothing is hung, one
// that runs a dialog's loop while it holds the message is only busy, and one
// whose thread ends is gone. Threads of the system's own run their bodies
// without letting an exception end the process.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "base/thread_win.h"
#include "base/unique_handle.h"
#include "host/host_window_message_win.h"

namespace brisk {
namespace {

constexpr UINT kTestMessage = WM_USER + 77;
// A short silence limit, and how long each window holds the message: well
// beyond the limit.
constexpr DWORD kLimitMs = 1500;
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

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<WindowThread*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == kTestMessage && self) {
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
};

TEST(HostWindowMessageTest, TellsAHungWindowFromABusyOneAndAGoneOne) {
  const struct {
    const char* name;
    Holding holding;
    HostWindowReply reply;
  } cases[] = {
      {"hangs", Holding::kHangs, HostWindowReply::kHostHung},
      {"runs a dialog's loop", Holding::kRunsALoop, HostWindowReply::kHandled},
      {"ends its thread", Holding::kEndsItsThread, HostWindowReply::kHostEnded},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WindowThread thread(c.holding);
    ASSERT_NE(thread.window(), nullptr);
    EXPECT_EQ(SendToHostWindow(thread.window(), kTestMessage, 0, 0, nullptr, kLimitMs), c.reply);
  }
}

TEST(HostWindowMessageTest, AnsweredMessageIsHandled) {
  WindowThread thread(Holding::kRunsALoop);
  EXPECT_EQ(SendToHostWindow(thread.window(), WM_NULL, 0, 0, nullptr, kLimitMs), HostWindowReply::kHandled);
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

// Helpers for the user-interface tests under Wine: find the windows a test
// shows, read their controls, act on them as a user would from another
// thread, and save screenshots for a person to look at.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/unique_handle.h"
#include "payload/payload_buffer.h"
#include "tests/support/files.h"
#include "tests/support/process_windows.h"

namespace brisk::test {

constexpr DWORD kWindowWaitMs = 10000;

// A visible top-level window with this title, or null after the time-out.
HWND WaitForTitle(const std::wstring& title, DWORD timeoutMs = kWindowWaitMs);
// The first visible top-level window of a thread, or null after the time-out.
HWND WaitForThreadWindow(DWORD threadId, DWORD timeoutMs = kWindowWaitMs);
// Waits until the window is gone; false after the time-out.
bool WaitUntilGone(HWND window, DWORD timeoutMs = kWindowWaitMs);

// The child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);
RECT ClientRect(HWND window);
RECT WindowRect(HWND window);
// Children of `parent` of one class, in Z order.
std::vector<HWND> ChildrenOfClass(HWND parent, const std::wstring& className);

// Input as a user gives it, through the window's own message loop.
void TypeText(HWND target, std::wstring_view text);
void PressKey(HWND target, WORD virtualKey);
// A left click at a point of the window's client area, by the system's input.
void ClickAt(HWND window, POINT client);
void ClickCentre(HWND window);
// Clicks the close box of the window's caption; false when there is none.
bool PressCloseBox(HWND window);

// Lets the window's thread finish what it has queued, painting included.
void Settle(HWND window);

// A copy of the screen under a window, in 32-bit BGRA pixels.
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF; }
};
Capture CaptureWindow(HWND window);
// Saves the capture as screenshots/<name>.png in the build tree.
bool SaveScreenshot(const Capture& capture, const std::string& name);
bool SaveScreenshot(HWND window, const std::string& name);

// Runs a user's actions on another thread while the calling thread shows a
// modal dialog. Call ModalReturned() when the modal call is back. If it is
// not back 10 seconds after the actions ended, every window of the calling
// thread is asked to close, so a failing test never hangs.
class ModalDriver {
 public:
  explicit ModalDriver(std::function<void()> actions);
  ~ModalDriver();
  ModalDriver(const ModalDriver&) = delete;
  ModalDriver& operator=(const ModalDriver&) = delete;
  void ModalReturned();
  DWORD ownerThread() const { return ownerThread_; }

 private:
  DWORD ownerThread_;
  UniqueHandle returned_;
  std::thread thread_;
};

// While it lives, every dialog that opens meets the exception that `thrower`
// throws while it initialises (WM_INITDIALOG), as a dialog would that runs
// out of memory or meets a broken text there.
class FailingDialogInit {
 public:
  explicit FailingDialogInit(void (*thrower)());
  ~FailingDialogInit();
  FailingDialogInit(const FailingDialogInit&) = delete;
  FailingDialogInit& operator=(const FailingDialogInit&) = delete;
};

// A 24-bit bottom-up BMP file of the given size: a diagonal gradient with a
// dark frame, so that its edges and shape show on screen.
PayloadBuffer MakeBmp(int width, int height);

}  // namespace brisk::test

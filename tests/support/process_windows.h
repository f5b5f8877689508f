// The windows of another process as a test sees them: its top-level windows,
// their texts, and a dialog's controls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace brisk::test {

struct WindowInfo {
  HWND handle = nullptr;
  std::wstring className;
  std::wstring title;
  bool visible = false;
};

// The top-level windows of a process, in Z order.
std::vector<WindowInfo> TopLevelWindows(DWORD processId);
// A visible top-level window of the process, of the class when one is
// given; null when there is none.
HWND VisibleWindowOf(DWORD processId, const std::wstring& className = {});
// Waits (bounded) for a visible dialog (class "#32770") of the process;
// null after the time.
HWND WaitForDialog(DWORD processId, DWORD milliseconds);

// The window's text by WM_GETTEXT, bounded: a window of a hung process
// answers nothing rather than holding the test.
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
// The text of a dialog's control; empty when there is no such control.
std::wstring ItemText(HWND dialog, int id);
// Presses the dialog's button with that id as a user would.
void PressButton(HWND dialog, int id);

}  // namespace brisk::test

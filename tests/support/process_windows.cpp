#include "tests/support/process_windows.h"

#include <cwchar>

namespace brisk::test {

namespace {

constexpr DWORD kPollMs = 50;
constexpr UINT kTextWaitMs = 2000;
constexpr wchar_t kDialogClass[] = L"#32770";

struct WindowSearch {
  DWORD processId;
  std::vector<WindowInfo>* windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId) {
    search->windows->push_back({window, ClassName(window), WindowText(window), IsWindowVisible(window) != FALSE});
  }
  return TRUE;
}

}  // namespace

std::vector<WindowInfo> TopLevelWindows(DWORD processId) {
  std::vector<WindowInfo> windows;
  WindowSearch search{processId, &windows};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return windows;
}

HWND VisibleWindowOf(DWORD processId, const std::wstring& className) {
  for (const WindowInfo& window : TopLevelWindows(processId)) {
    if (window.visible && (className.empty() || window.className == className)) return window.handle;
  }
  return nullptr;
}

HWND WaitForDialog(DWORD processId, DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    if (HWND dialog = VisibleWindowOf(processId, kDialogClass)) return dialog;
    if (GetTickCount64() >= deadline) return nullptr;
    Sleep(kPollMs);
  }
}

std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextWaitMs, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           kTextWaitMs, &copied)) {
    return {};
  }
  text.resize(std::wcslen(text.c_str()));
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? WindowText(item) : std::wstring();
}

void PressButton(HWND dialog, int id) {
  if (HWND button = GetDlgItem(dialog, id)) PostMessageW(button, BM_CLICK, 0, 0);
}

}  // namespace brisk::test

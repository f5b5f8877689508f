#include "host_windows_win.h"

#include <mutex>
#include <set>
#include <string>

#include "host/handover_messages.h"
#include "payload/encoded_strings.h"
#include "session_win.h"

namespace brisk::addin {

namespace {

constexpr wchar_t kOriginalProcProperty[] = L"BriskStubOriginalProc";

// The window messages the add-in records besides WM_SETICON and WM_QUIT:
// WM_USER up to the end of the private range.
constexpr UINT kRecordedFirst = WM_USER;
constexpr UINT kRecordedLast = 0x7FFF;

// The last message each thread took from its queue, seen by a WH_GETMESSAGE
// hook: a message that reaches the window procedure without being sent from
// another thread is a posted one exactly when it is this message.
thread_local MSG tLastQueued = {};
thread_local bool tHaveQueued = false;

bool IsWatched(HWND window) { return window && GetPropW(window, kOriginalProcProperty); }

// WM_QUIT never reaches a window procedure: it ends the host's message loop
// as it leaves the queue, which is where it is recorded. Only one posted to a
// watched window counts; the host's own PostQuitMessage has no window.
LRESULT CALLBACK QueueHook(int code, WPARAM removal, LPARAM lParam) {
  if (code == HC_ACTION && removal == PM_REMOVE) {
    tLastQueued = *reinterpret_cast<const MSG*>(lParam);
    tHaveQueued = true;
    if (tLastQueued.message == WM_QUIT && IsWatched(tLastQueued.hwnd)) {
      if (const auto session = CurrentSession()) {
        session->OnSystemMessage(tLastQueued.hwnd, WM_QUIT, tLastQueued.wParam, tLastQueued.lParam, Delivery::Post);
      }
    }
  }
  return CallNextHookEx(nullptr, code, removal, lParam);
}

Delivery DeliveryOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const DWORD sent = InSendMessageEx(nullptr);
  if (sent & ISMEX_NOTIFY) return Delivery::Notify;
  if (sent & ISMEX_CALLBACK) return Delivery::Callback;
  if (sent & ISMEX_SEND) return Delivery::Send;
  if (tHaveQueued && tLastQueued.hwnd == window && tLastQueued.message == message && tLastQueued.wParam == wParam &&
      tLastQueued.lParam == lParam) {
    tHaveQueued = false;
    return Delivery::Post;
  }
  return Delivery::Direct;
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto original = reinterpret_cast<WNDPROC>(GetPropW(window, kOriginalProcProperty));
  if (message == WM_SETICON) {
    if (const auto session = CurrentSession()) {
      session->OnSystemMessage(window, message, wParam, lParam, DeliveryOf(window, message, wParam, lParam));
      session->Disturb(window, message);
    }
  } else if (message >= kRecordedFirst && message <= kRecordedLast) {
    const Delivery delivery = DeliveryOf(window, message, wParam, lParam);
    if (const auto session = CurrentSession()) {
      session->OnMessage(window, message, wParam, lParam, delivery);
      if (IsHandOverMessage(message)) return 0;
    }
  }
  if (message == WM_NCDESTROY && original) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropW(window, kOriginalProcProperty);
  }
  return original ? CallWindowProcW(original, window, message, wParam, lParam)
                  : DefWindowProcW(window, message, wParam, lParam);
}

struct Search {
  DWORD processId;
  std::wstring className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectHostWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != search->processId) return TRUE;
  wchar_t className[512] = {};
  GetClassNameW(window, className, 512);
  if (search->className == className) search->found.push_back(window);
  return TRUE;
}

// Hooks stay for the life of the process, as does the module (it is pinned).
void WatchQueueOf(DWORD threadId) {
  static std::mutex mutex;
  static std::set<DWORD> hooked;
  std::lock_guard<std::mutex> lock(mutex);
  if (hooked.count(threadId)) return;
  if (SetWindowsHookExW(WH_GETMESSAGE, QueueHook, nullptr, threadId)) hooked.insert(threadId);
}

}  // namespace

std::vector<HWND> FindHostWindows() {
  const std::u16string className = GetEncodedStringW(kHostWindowClass);
  Search search{GetCurrentProcessId(), std::wstring(className.begin(), className.end()), {}};
  EnumWindows(CollectHostWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void WatchHostWindows(const std::vector<HWND>& windows) {
  for (HWND window : windows) {
    WatchQueueOf(GetWindowThreadProcessId(window, nullptr));
    if (GetPropW(window, kOriginalProcProperty)) continue;
    // The property is in place before the procedure changes, so no message
    // finds the procedure without it.
    const LONG_PTR original = GetWindowLongPtrW(window, GWLP_WNDPROC);
    if (!SetPropW(window, kOriginalProcProperty, reinterpret_cast<HANDLE>(original))) continue;
    if (!SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HostWindowProc))) {
      RemovePropW(window, kOriginalProcProperty);
    }
  }
}

}  // namespace brisk::addin

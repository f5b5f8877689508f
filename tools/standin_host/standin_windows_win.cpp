#include "standin_windows_win.h"

#include <utility>

#include "payload/encoded_strings.h"
#include "standin_state_win.h"
#include "variant_log_win.h"

namespace brisk::standin {

namespace {

constexpr wchar_t kOtherWindowClass[] = L"BriskStandinOther";
// Posted to the main window: lParam is an object to disconnect. Above the
// WM_USER range, which the add-in records on that window.
constexpr UINT kMsgDisconnectObject = WM_APP + 1;

void DisconnectNow(IUnknown* object) {
  const HRESULT hr = CoDisconnectObject(object, 0);
  object->Release();
  json::Json record = NewRecord("event");
  record["event"] = "disconnected";
  record["hr"] = HexCode(static_cast<std::uint32_t>(hr));
  Log(record);
}

// Messages of the hand-over's range that reach the host's own procedure: the
// add-in, where it runs, takes its own before they get here; a host the user
// runs, which has no add-in, sees every one that is sent to it.
void LogWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  json::Json record = NewRecord("event");
  record["event"] = "window_message";
  record["msg"] = message;
  record["wparam"] = static_cast<std::uint64_t>(wParam);
  record["lparam"] = static_cast<std::int64_t>(lParam);
  Log(record);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER && message < WM_APP) LogWindowMessage(message, wParam, lParam);
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (window == gStandin.mainWindow) {
        gStandin.mainWindow = nullptr;
        PostQuitMessage(0);
      }
      return 0;
    case kMsgDisconnectObject:
      DisconnectNow(reinterpret_cast<IUnknown*>(lParam));
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool RegisterWindowClass(const std::wstring& name, WNDPROC procedure) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  windowClass.lpszClassName = name.c_str();
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateTopLevel(const std::wstring& className, const std::wstring& title, int offset) {
  return CreateWindowExW(0, className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, 40 + offset * 30, 40 + offset * 30,
                         480, 320, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

bool CreateStandinWindows() {
  const StandinConfig& config = gStandin.config;
  const std::u16string hostClassText = GetEncodedStringW(kHostWindowClass);
  const std::wstring hostClass(hostClassText.begin(), hostClassText.end());
  const std::wstring mainClass = ToWide(config.mainClass);
  if (!RegisterWindowClass(mainClass, MainWindowProc) || !RegisterWindowClass(hostClass, DefWindowProcW) ||
      !RegisterWindowClass(kOtherWindowClass, DefWindowProcW)) {
    return false;
  }

  gStandin.caption = ToWide(config.caption);
  const std::wstring mainTitle = config.hasMainTitle ? ToWide(config.mainTitle) : gStandin.caption;
  gStandin.mainWindow = CreateTopLevel(mainClass, mainTitle, 0);
  if (gStandin.mainWindow == nullptr) return false;
  if (config.visible) ShowWindow(gStandin.mainWindow, SW_SHOWNOACTIVATE);
  if (config.topmost) {
    SetWindowPos(gStandin.mainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  int offset = 1;
  for (const std::u16string& title : config.extraWindows) {
    HWND extra = CreateTopLevel(hostClass, ToWide(title), offset++);
    if (extra != nullptr) ShowWindow(extra, SW_SHOWNOACTIVATE);
    gStandin.extraWindows.push_back(extra);
  }
  if (config.reportedWindow == ReportedWindow::kOther) {
    gStandin.otherWindow = CreateTopLevel(kOtherWindowClass, L"Stand-in helper", offset);
  }
  return true;
}

void DestroyStandinWindows() {
  for (HWND& extra : gStandin.extraWindows) {
    if (extra != nullptr) DestroyWindow(extra);
    extra = nullptr;
  }
  if (gStandin.otherWindow != nullptr) DestroyWindow(std::exchange(gStandin.otherWindow, nullptr));
  if (gStandin.mainWindow != nullptr) DestroyWindow(gStandin.mainWindow);
}

void DisconnectAfterThisCall(IUnknown* object) {
  object->AddRef();
  if (gStandin.mainWindow != nullptr &&
      PostMessageW(gStandin.mainWindow, kMsgDisconnectObject, 0, reinterpret_cast<LPARAM>(object))) {
    return;
  }
  // The main window was closed and the host is ending: nothing to cut off.
  object->Release();
  json::Json record = NewRecord("event");
  record["event"] = "disconnect_skipped";
  Log(record);
}

}  // namespace brisk::standin

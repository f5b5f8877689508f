#include <vector>

#include "host/host_application.h"
#include "host/host_version.h"
#include "host/window_choice.h"
#include "payload/encoded_strings.h"

namespace brisk {

namespace {

constexpr int kTextBufferLength = 512;

struct WindowSearch {
  DWORD processId;
  std::wstring className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectHostWindow(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<WindowSearch*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != search.processId) return TRUE;
  wchar_t className[kTextBufferLength] = {};
  GetClassNameW(window, className, kTextBufferLength);
  if (search.className == className) search.found.push_back(window);
  return TRUE;
}

std::u16string WindowTitle(HWND window) {
  wchar_t title[kTextBufferLength] = {};
  const int length = GetWindowTextW(window, title, kTextBufferLength);
  return std::u16string(title, title + (length > 0 ? length : 0));
}

}  // namespace

HWND HostApplication::FindHostWindow(int hostMajorVersion) const {
  const std::wstring className = GetEncodedStringWide(kHostWindowClass);
  if (!HostReportsMainWindow(hostMajorVersion)) {
    const std::wstring caption = GetCaption();
    std::vector<OldHostWindowCandidate> candidates;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, className.c_str(), caption.c_str())) != nullptr) {
      candidates.push_back({reinterpret_cast<std::uintptr_t>(window), IsWindowVisible(window) != FALSE});
    }
    return reinterpret_cast<HWND>(ChooseOldHostWindow(candidates));
  }
  const HWND reported = GetMainWindowHandle();
  WindowSearch search{0, className, {}};
  GetWindowThreadProcessId(reported, &search.processId);
  if (search.processId == 0) return reported;
  EnumWindows(CollectHostWindow, reinterpret_cast<LPARAM>(&search));

  std::vector<WindowCandidate> candidates;
  for (HWND window : search.found) {
    candidates.push_back({reinterpret_cast<std::uintptr_t>(window), {}});
  }
  // Titles and the caption matter only when several windows qualify.
  std::u16string caption;
  if (candidates.size() > 1) {
    for (WindowCandidate& candidate : candidates) {
      candidate.title = WindowTitle(reinterpret_cast<HWND>(candidate.handle));
    }
    const std::wstring text = GetCaption();
    caption.assign(text.begin(), text.end());
  }
  return reinterpret_cast<HWND>(ChooseHostWindow(reinterpret_cast<std::uintptr_t>(reported), candidates, caption));
}

}  // namespace brisk

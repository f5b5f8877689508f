#include "ui/centre_window.h"

#include "ui/dialog_layout.h"

namespace brisk {

namespace {

Rect ToRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

void CentreWindow(HWND window, HWND reference) {
  const DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  const bool isChild = (style & WS_CHILD) != 0;
  if (!reference) reference = isChild ? GetParent(window) : GetWindow(window, GW_OWNER);

  RECT windowRect{};
  GetWindowRect(window, &windowRect);
  const Size size{windowRect.right - windowRect.left, windowRect.bottom - windowRect.top};

  RECT area{};
  RECT centreOn{};
  if (isChild) {
    const HWND parent = GetParent(window);
    GetClientRect(parent, &area);
    GetClientRect(reference, &centreOn);
    MapWindowPoints(reference, parent, reinterpret_cast<POINT*>(&centreOn), 2);
  } else {
    if (reference) {
      const DWORD referenceStyle = static_cast<DWORD>(GetWindowLongW(reference, GWL_STYLE));
      if (!(referenceStyle & WS_VISIBLE) || (referenceStyle & WS_MINIMIZE)) reference = nullptr;
    }
    const HMONITOR monitor = MonitorFromWindow(reference ? reference : window, MONITOR_DEFAULTTONEAREST);
    if (!monitor) return;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info)) return;
    area = info.rcWork;
    if (reference) {
      GetWindowRect(reference, &centreOn);
    } else {
      centreOn = info.rcWork;
    }
  }
  const Point position = CentredPosition(size, ToRect(centreOn), ToRect(area));
  SetWindowPos(window, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace brisk

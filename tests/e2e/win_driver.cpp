#include "win_driver.h"

#include "base/unique_handle.h"
#include "base/wide_text.h"

namespace brisk::e2e {

std::wstring Wide(std::string_view utf8) { return WideFromUtf8(utf8); }

std::string Utf8(std::wstring_view wide) { return Utf8FromWide(wide); }

namespace {

struct ChildSearch {
  std::wstring_view className;
  HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<ChildSearch*>(param);
  if (_wcsicmp(ClassName(child).c_str(), std::wstring(search->className).c_str()) != 0) return TRUE;
  search->found = child;
  return FALSE;
}

}  // namespace

void TypeInto(HWND field, std::wstring_view text) {
  for (wchar_t unit : text) PostMessageW(field, WM_CHAR, unit, 1);
}

void ClickWindow(HWND window) {
  const LPARAM point = MAKELPARAM(10, 10);
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageW(window, WM_LBUTTONUP, 0, point);
}

void PressKey(HWND window, WORD virtualKey) {
  PostMessageW(window, WM_KEYDOWN, virtualKey, 1);
  PostMessageW(window, WM_KEYUP, virtualKey, 0xC0000001);
}

bool SignalNamedEvent(const std::wstring& name) {
  UniqueHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str()));
  return event && SetEvent(event.get());
}

HWND FindChild(HWND parent, std::wstring_view className) {
  ChildSearch search{className, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace brisk::e2e

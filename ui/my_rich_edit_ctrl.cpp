#include "ui/my_rich_edit_ctrl.h"

#include "ui/window_class.h"

namespace brisk {

namespace {

WindowClassRecord& RichEditClass() {
  static WindowClassRecord record = Superclass(L"RICHEDIT50W");
  return record;
}

}  // namespace

bool EnsureRichEditLibrary() {
  return GetModuleHandleW(L"MSFTEDIT.DLL") != nullptr || LoadLibraryW(L"MSFTEDIT.DLL") != nullptr;
}

MyRichEditCtrl::MyRichEditCtrl() : WindowImpl(RichEditClass()) {}

bool MyRichEditCtrl::ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message != WM_SETFOCUS) return false;
  result = 0;
  return true;
}

}  // namespace brisk

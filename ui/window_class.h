// Window classes of the launcher's own windows: registered on first use under
// one process-wide lock and removed when the process ends.
#pragma once

#include <windows.h>

namespace brisk {

// What the registration needs to know about one class; one static record per
// class. A class without a name is registered as "ATL:%p" of its record.
struct WindowClassRecord {
  WNDCLASSEXW description{};
  const wchar_t* baseClassName = nullptr;  // set for a superclass
  WNDPROC baseProc = nullptr;              // the underlying class's procedure
  const wchar_t* cursorId = nullptr;       // from the system's cursors
  ATOM atom = 0;
  wchar_t generatedName[37] = {};
};

// A class of the launcher's own with the given style and system cursor and no
// background brush.
WindowClassRecord OwnWindowClass(UINT style, const wchar_t* cursorId);

// A superclass of an existing class ("STATIC", "RICHEDIT50W"): the underlying
// class's description under a name and procedure of its own.
WindowClassRecord Superclass(const wchar_t* baseClassName);

// Registers the class once and returns its atom; 0 when the underlying class
// does not exist or registration fails.
ATOM RegisterWindowClass(WindowClassRecord& record, WNDPROC procedure);

// The process-wide lock of window classes and window-object binding.
class UiLock {
 public:
  UiLock();
  ~UiLock();
  UiLock(const UiLock&) = delete;
  UiLock& operator=(const UiLock&) = delete;
};

}  // namespace brisk

// The add-in's exports (see standin_addin.def for their ordinals). Only
// DummyFunc9 does anything; the others record that they were called.
#include <windows.h>
#include <oaidl.h>

#include "session_win.h"

#define BRISK_UNUSED_EXPORT(n)                         \
  LONG WINAPI DummyFunc##n(LONG, LONG_PTR, LONG_PTR) { \
    brisk::addin::RecordCall("DummyFunc" #n);          \
    return 0;                                          \
  }

extern "C" {

LONG WINAPI DummyFunc9(LONG code, IDispatch* application, LONG_PTR reserved) {
  try {
    return brisk::addin::Attach(code, application, reserved);
  } catch (...) {
    // Nothing may escape into the host's macro.
    return 0;
  }
}

BRISK_UNUSED_EXPORT(0)
BRISK_UNUSED_EXPORT(1)
BRISK_UNUSED_EXPORT(2)
BRISK_UNUSED_EXPORT(3)
BRISK_UNUSED_EXPORT(4)
BRISK_UNUSED_EXPORT(5)
BRISK_UNUSED_EXPORT(6)
BRISK_UNUSED_EXPORT(7)
BRISK_UNUSED_EXPORT(8)
BRISK_UNUSED_EXPORT(10)
BRISK_UNUSED_EXPORT(11)
BRISK_UNUSED_EXPORT(12)
BRISK_UNUSED_EXPORT(13)
BRISK_UNUSED_EXPORT(14)
BRISK_UNUSED_EXPORT(15)
BRISK_UNUSED_EXPORT(16)
BRISK_UNUSED_EXPORT(17)
BRISK_UNUSED_EXPORT(18)
BRISK_UNUSED_EXPORT(19)
BRISK_UNUSED_EXPORT(20)

void WINAPI xlAutoFree12(void*) { brisk::addin::RecordCall("xlAutoFree12"); }

void WINAPI xlAutoFree(void*) { brisk::addin::RecordCall("xlAutoFree"); }

int WINAPI xlAutoClose() {
  brisk::addin::RecordCall("xlAutoClose");
  return 1;
}

}  // extern "C"

#include "ui/window_class.h"

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "base/number_text.h"

namespace brisk {

namespace {

// Never deleted: a splash thread may still create its window while the
// process's static objects are being destroyed, and the lock must hold then.
struct ProcessLockHolder {
  ProcessLockHolder() { InitializeCriticalSection(&section); }
  CRITICAL_SECTION section;
};

CRITICAL_SECTION& ProcessLock() {
  static ProcessLockHolder holder;
  return holder.section;
}

// Every class registered by this process; the vector's storage doubles as
// it grows, starting at one entry. Guarded by the process lock and never
// destroyed, like the lock itself: the splash thread is never joined and may
// still register its classes while the static objects are being destroyed.
std::vector<ATOM>& RegisteredAtoms() {
  static auto* atoms = new std::vector<ATOM>;
  return *atoms;
}

// Removes the registered classes when the process's static objects are
// destroyed. A class whose window still exists (the splash window of a
// thread that runs on) stays registered: the system refuses to remove it.
class ClassesRemovedAtExit {
 public:
  ~ClassesRemovedAtExit() {
    UiLock lock;
    const HINSTANCE module = GetModuleHandleW(nullptr);
    for (ATOM atom : RegisteredAtoms()) UnregisterClassW(MAKEINTATOM(atom), module);
  }
};

}  // namespace

UiLock::UiLock() { EnterCriticalSection(&ProcessLock()); }
UiLock::~UiLock() { LeaveCriticalSection(&ProcessLock()); }

WindowClassRecord OwnWindowClass(UINT style, const wchar_t* cursorId) {
  WindowClassRecord record;
  record.description.cbSize = sizeof(WNDCLASSEXW);
  record.description.style = style;
  record.cursorId = cursorId;
  return record;
}

WindowClassRecord Superclass(const wchar_t* baseClassName) {
  WindowClassRecord record;
  record.description.cbSize = sizeof(WNDCLASSEXW);
  record.baseClassName = baseClassName;
  return record;
}

ATOM RegisterWindowClass(WindowClassRecord& record, WNDPROC procedure) {
  static ClassesRemovedAtExit removedAtExit;
  UiLock lock;
  if (record.atom != 0) return record.atom;
  const HINSTANCE module = GetModuleHandleW(nullptr);
  WNDCLASSEXW description = record.description;
  if (record.baseClassName) {
    WNDCLASSEXW base{};
    base.cbSize = sizeof(base);
    if (!GetClassInfoExW(nullptr, record.baseClassName, &base) &&
        !GetClassInfoExW(module, record.baseClassName, &base)) {
      return 0;
    }
    record.baseProc = base.lpfnWndProc;
    description = base;
    description.cbSize = sizeof(description);
    description.lpszClassName = record.description.lpszClassName;
  } else {
    description.hCursor = LoadCursorW(nullptr, record.cursorId);
  }
  description.lpfnWndProc = procedure;
  description.hInstance = module;
  description.style &= ~CS_GLOBALCLASS;
  if (!description.lpszClassName) {
    // As swprintf's "ATL:%p" would write it, without linking the printf family.
    const std::wstring name =
        L"ATL:" + HexText<wchar_t>(reinterpret_cast<std::uintptr_t>(&record), 2 * sizeof(void*), HexLetters::kLower);
    record.generatedName[name.copy(record.generatedName, std::size(record.generatedName) - 1)] = L'\0';
    description.lpszClassName = record.generatedName;
  }
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (const ATOM atom = static_cast<ATOM>(GetClassInfoExW(module, description.lpszClassName, &existing))) {
    record.atom = atom;
    return atom;
  }
  const ATOM atom = RegisterClassExW(&description);
  if (atom == 0) return 0;
  try {
    RegisteredAtoms().push_back(atom);
  } catch (...) {
    UnregisterClassW(MAKEINTATOM(atom), module);
    return 0;
  }
  record.atom = atom;
  return atom;
}

}  // namespace brisk

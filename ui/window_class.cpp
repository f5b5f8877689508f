#include "ui/window_class.h"

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "base/hex_text.h"

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

// Every class registered by this process, removed at exit. The vector's
// storage doubles as it grows, starting at one entry.
class RegisteredClasses {
 public:
  ~RegisteredClasses() {
    const HINSTANCE module = GetModuleHandleW(nullptr);
    for (ATOM atom : atoms_) UnregisterClassW(MAKEINTATOM(atom), module);
  }
  void Add(ATOM atom) { atoms_.push_back(atom); }

 private:
  std::vector<ATOM> atoms_;
};

RegisteredClasses& Registered() {
  static RegisteredClasses classes;
  return classes;
}

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
  // Constructed before the lock is taken, so that it outlives every use.
  RegisteredClasses& registered = Registered();
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
    registered.Add(atom);
  } catch (...) {
    UnregisterClassW(MAKEINTATOM(atom), module);
    return 0;
  }
  record.atom = atom;
  return atom;
}

}  // namespace brisk

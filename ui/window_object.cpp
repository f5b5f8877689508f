#include "ui/window_object.h"

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

namespace brisk {

namespace {

constexpr wchar_t kBindingProperty[] = L"BriskWindowObject";
constexpr UINT kReflectionBase = 0x2000;

// Objects waiting for their window, with the identifier of the creating
// thread; guarded by the process-wide UI lock. Never destroyed: the splash
// thread is never joined and may still create its window while the
// process's static objects are being destroyed.
std::vector<std::pair<DWORD, WindowObject*>>& PendingObjects() {
  static auto* pending = new std::vector<std::pair<DWORD, WindowObject*>>;
  return *pending;
}

std::atomic<DialogMessageProbe> dialogMessageProbe{nullptr};

bool IsReflectable(UINT message) {
  switch (message) {
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_PARENTNOTIFY:
      return true;
    default:
      return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
  }
}

// Messages whose dialog-procedure result is the value itself rather than
// TRUE with the value in DWLP_MSGRESULT.
bool ReturnsValueDirectly(UINT message) {
  switch (message) {
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
      return true;
    default:
      return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
  }
}

}  // namespace

bool DefaultReflectionHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message < kReflectionBase || !IsReflectable(message - kReflectionBase)) return false;
  result = DefWindowProcW(window, message - kReflectionBase, wParam, lParam);
  return true;
}

WindowObject::~WindowObject() {
  WithdrawFromQueue();
  if (hwnd_) Unbind(hwnd_);
}

bool WindowObject::QueueForCreation() {
  UiLock lock;
  try {
    PendingObjects().emplace_back(GetCurrentThreadId(), this);
  } catch (...) {
    return false;
  }
  return true;
}

void WindowObject::WithdrawFromQueue() {
  UiLock lock;
  auto& pending = PendingObjects();
  std::erase_if(pending, [this](const auto& entry) { return entry.second == this; });
}

WindowObject* WindowObject::BoundOrPending(HWND window) {
  if (auto* bound = static_cast<WindowObject*>(GetPropW(window, kBindingProperty))) return bound;
  WindowObject* object = nullptr;
  {
    UiLock lock;
    auto& pending = PendingObjects();
    const DWORD thread = GetCurrentThreadId();
    // The most recent object of this thread: windows are created one at a time.
    const auto found =
        std::find_if(pending.rbegin(), pending.rend(), [thread](const auto& entry) { return entry.first == thread; });
    if (found == pending.rend()) return nullptr;
    object = found->second;
    pending.erase(std::next(found).base());
  }
  if (!SetPropW(window, kBindingProperty, object)) return nullptr;
  object->hwnd_ = window;
  return object;
}

void WindowObject::Unbind(HWND window) {
  if (auto* object = static_cast<WindowObject*>(RemovePropW(window, kBindingProperty))) {
    object->hwnd_ = nullptr;
  }
}

HWND WindowImpl::Create(HWND parent, const RECT& rect, const wchar_t* text, DWORD style, DWORD exStyle, UINT id) {
  const ATOM atom = RegisterWindowClass(classRecord_, GetWindowProc());
  if (atom == 0) return nullptr;
  if (!QueueForCreation()) {
    SetLastError(ERROR_OUTOFMEMORY);
    return nullptr;
  }
  const HWND window = CreateWindowExW(
      exStyle, MAKEINTATOM(atom), text, style, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
      parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  WithdrawFromQueue();
  return window;
}

WNDPROC WindowImpl::GetWindowProc() { return StartWindowProc; }

void WindowImpl::OnFinalMessage(HWND) {}

LRESULT WindowImpl::DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) {
  if (classRecord_.baseProc) return CallWindowProcW(classRecord_.baseProc, hwnd_, message, wParam, lParam);
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK WindowImpl::StartWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<WindowImpl*>(BoundOrPending(window));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = 0;
  bool handled = false;
  try {
    handled = self->ProcessWindowMessage(window, message, wParam, lParam, result);
  } catch (...) {
    // A window that fails while it is being created is not created.
    handled = message == WM_NCCREATE || message == WM_CREATE;
    result = message == WM_CREATE ? -1 : FALSE;
  }
  if (!handled) result = self->DefaultProcessing(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    Unbind(window);
    try {
      self->OnFinalMessage(window);
    } catch (...) {
    }
  }
  return result;
}

INT_PTR DialogImpl::DoModal(HWND owner, WORD resourceId) {
  procedureFailed_ = false;
  if (!QueueForCreation()) {
    SetLastError(ERROR_OUTOFMEMORY);
    return -1;
  }
  return FinishModal(
      DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), owner, GetDialogProc(), 0));
}

INT_PTR DialogImpl::DoModalIndirect(HWND owner, const DLGTEMPLATE* dialogTemplate) {
  procedureFailed_ = false;
  if (!QueueForCreation()) {
    SetLastError(ERROR_OUTOFMEMORY);
    return -1;
  }
  return FinishModal(DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate, owner, GetDialogProc(), 0));
}

INT_PTR DialogImpl::FinishModal(INT_PTR result) {
  WithdrawFromQueue();
  return procedureFailed_ ? -1 : result;
}

BOOL DialogImpl::EndDialog(INT_PTR result) {
  if (procedureFailed_) return TRUE;
  return ::EndDialog(hwnd_, result);
}

DLGPROC DialogImpl::GetDialogProc() { return StartDialogProc; }

void DialogImpl::OnFinalMessage(HWND) {}

void SetDialogMessageProbeForTesting(DialogMessageProbe probe) { dialogMessageProbe = probe; }

INT_PTR CALLBACK DialogImpl::StartDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<DialogImpl*>(BoundOrPending(window));
  if (!self) return FALSE;
  LRESULT result = 0;
  bool handled = false;
  try {
    if (const DialogMessageProbe probe = dialogMessageProbe) probe(window, message);
    handled = self->ProcessWindowMessage(window, message, wParam, lParam, result);
  } catch (...) {
    // The dialog cannot be trusted to go on: it ends as failed, and this
    // message gets the default processing (WM_INITDIALOG sets no focus).
    if (!self->procedureFailed_) {
      self->procedureFailed_ = true;
      ::EndDialog(window, -1);
    }
    handled = message == WM_INITDIALOG;
    result = FALSE;
  }
  if (message == WM_NCDESTROY) {
    Unbind(window);
    try {
      self->OnFinalMessage(window);
    } catch (...) {
    }
  }
  if (!handled) return FALSE;
  if (ReturnsValueDirectly(message)) return static_cast<INT_PTR>(result);
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace brisk

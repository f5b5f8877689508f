// Window objects: a C++ object bound to its window before the window's first
// message, so that WM_CREATE and WM_INITDIALOG already reach its message map.
//
// Binding: the creating call puts the object into a process-wide list of
// pending objects keyed by the thread; the first message of a window of ours
// on that thread takes it out and binds it to the window through a window
// property. WM_NCDESTROY unbinds it and runs the final-message hook.
#pragma once

#include <windows.h>

#include "ui/window_class.h"

namespace brisk {

// Reflected notifications (0x2000 + m for the messages a parent would reflect
// to its controls) are answered by the default procedure for m.
bool DefaultReflectionHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

class WindowObject {
 public:
  WindowObject() = default;
  WindowObject(const WindowObject&) = delete;
  WindowObject& operator=(const WindowObject&) = delete;

  // The message map: sets `result` and returns true when it handled the
  // message; unhandled messages get the default processing of the kind of
  // window.
  virtual bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
  virtual ~WindowObject();

  HWND hwnd() const { return hwnd_; }

 protected:
  // Called by the procedures of the derived kinds.
  static WindowObject* BoundOrPending(HWND window);
  static void Unbind(HWND window);
  // Queues the object for the next window created on this thread; false when
  // that fails for lack of memory.
  bool QueueForCreation();
  void WithdrawFromQueue();

  HWND hwnd_ = nullptr;
};

// A plain window or a superclassed control.
class WindowImpl : public WindowObject {
 public:
  explicit WindowImpl(WindowClassRecord& classRecord) : classRecord_(classRecord) {}

  // Creates the window as a child of `parent` (or a top-level window when it
  // is null); null on failure.
  HWND Create(HWND parent, const RECT& rect, const wchar_t* text, DWORD style, DWORD exStyle, UINT id);

  virtual WNDPROC GetWindowProc();
  virtual void OnFinalMessage(HWND window);

 protected:
  // The underlying class's procedure for a superclass, else DefWindowProcW.
  LRESULT DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK StartWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  WindowClassRecord& classRecord_;
};

// A modal dialog from a dialog resource or from an in-memory template.
//
// No exception leaves a procedure of ours: it would unwind through the
// system's code. An exception from a plain window's map gives the message
// the default processing (and fails the window's creation when it came from
// WM_NCCREATE or WM_CREATE); one from a dialog's map ends the dialog as
// failed.
class DialogImpl : public WindowObject {
 public:
  // The value passed to EndDialog, or -1 when the dialog cannot be created
  // (ERROR_OUTOFMEMORY is then the last error if the binding failed) or when
  // its map threw (ProcedureFailed() then tells so).
  INT_PTR DoModal(HWND owner, WORD resourceId);
  INT_PTR DoModalIndirect(HWND owner, const DLGTEMPLATE* dialogTemplate);

  // Whether the last modal run ended because the dialog's map threw.
  bool ProcedureFailed() const { return procedureFailed_; }

  virtual DLGPROC GetDialogProc();
  virtual void OnFinalMessage(HWND window);

  // Ends the dialog with `result`; a dialog that failed keeps its failure.
  BOOL EndDialog(INT_PTR result);

 private:
  static INT_PTR CALLBACK StartDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR FinishModal(INT_PTR result);

  bool procedureFailed_ = false;
};

// For tests only: a function that every dialog message meets before the
// dialog's map, so that a test can make a dialog fail where no real input
// can; what it throws is handled as if the map had thrown it. None by default.
using DialogMessageProbe = void (*)(HWND dialog, UINT message);
void SetDialogMessageProbeForTesting(DialogMessageProbe probe);

}  // namespace brisk

// The host application's automation object: creation, the members the
// launcher uses (each by its fixed dispatch id), its version, bitness,
// installation and main window.
//
// Glossary of the protocol's numbered names, which say no more than their
// number because the launcher knows no more of them than what it does with
// them:
//  - GetIntProperty1209: an integer property of the host, read once and sent
//    to the add-in as the wParam of the hand-over message 1181.
//  - PutIntProperty2788: an integer property set to 1 after the hand-over, on
//    hosts that have it (major version 14 and later); a failure is dropped.
//  - kMsg1156 ... kMsg1179 (host/handover_messages.h): hand-over messages
//    without parameters, whose meaning is the add-in's own.
//  - DummyFunc9 and code 1170 (host/aux_workbook.h): the add-in's entry that
//    the start-up workbook calls, and its first argument.
//  - The payload resources by number: payload/payload_ids.h.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <comdef.h>

#include <cstdint>
#include <memory>
#include <string>

#include "base/com_ref.h"
#include "host/host_file_version.h"
#include "host/host_wait_win.h"

namespace brisk {

// Dispatch ids of the application object.
enum HostDispatchId : DISPID {
  kDispVisible = 558,
  kDispCaption = 139,
  kDispInstallPath = 291,
  kDispVersion = 392,
  kDispWorkbooks = 572,
  kDispProductCode = 1798,
  kDispLanguageSettings = 1801,
  kDispIntProperty1209 = 1209,
  kDispMainWindowHandle = 1950,
  kDispDisplayAlerts = 343,
  kDispUserControl = 1210,
  kDispIntProperty2788 = 2788,
  kDispQuit = 302,
};

// Dispatch ids of the workbooks collection and the language-settings object.
enum HostCollectionDispatchId : DISPID {
  kDispWorkbooksOpen = 682,
  kDispWorkbooksClose = 277,
  kDispLanguageId = 1,
};

// The argument of the language-settings member that asks for the user
// interface language.
constexpr LONG kLanguageIdUserInterface = 2;

// Starts the host by the ProgID of encoded string 44 as a local server.
// Returns the first failing HRESULT; on success `*application` holds a new
// reference that the caller owns. An exception inside leaves `*application`
// null and is reported as a failure (E_OUTOFMEMORY or E_UNEXPECTED).
HRESULT CreateHostApplication(IDispatch** application);

// What an open of a workbook answered: its HRESULT and whether it returned
// a workbook (which is let go at once: the launcher keeps no reference to
// any workbook). A host whose workbook closes itself in its open handler
// (the auxiliary workbook does) may answer with an error, with no object, or
// with an object it has already disconnected: none of it means that the
// open failed.
struct WorkbookOpen {
  HRESULT hr = E_POINTER;
  bool workbookReturned = false;
};

// A view of the application object that does not own the reference (its
// owner releases it: field cleared first, then Release). Every member call
// that fails raises _com_error; a null object fails with E_POINTER. With a
// HostWait, which owns the object, every member's calls are made on the
// host's thread and waited for by its rule: a member that the user gave up,
// or one asked of a host out of reach, raises RPC_E_CALL_CANCELED.
class HostApplication {
 public:
  explicit HostApplication(IDispatch* application, HostWait* wait = nullptr) : application_(application), wait_(wait) {}

  IDispatch* get() const { return application_; }

  void SetVisible(bool visible) const;
  // Empty when the host returns no text.
  std::wstring GetCaption() const;
  void SetCaption(const std::wstring& caption) const;
  std::wstring GetInstallPath() const;
  std::wstring GetVersionText() const;
  std::wstring GetProductCode() const;
  // Member 1 of the language-settings object read with the argument 2; 0
  // when the answer is not a VT_I4.
  std::int32_t GetUiLanguageId() const;
  std::int32_t GetIntProperty1209() const;
  HWND GetMainWindowHandle() const;
  void SetDisplayAlerts(bool alerts) const;
  void SetUserControl(bool userControl) const;
  // A _com_error from this member is caught and dropped, unless the call
  // was never answered (HostCallNotAnswered) or the host is out of reach.
  void PutIntProperty2788(std::int32_t value) const;
  void Quit() const;

  // The workbooks collection (572), then opens `path` with 13 arguments (the other twelve
  // missing). An open the host refuses, or answers with no object, is not
  // raised; one that fails because the host's process went away, or that
  // got no answer (HostCallNotAnswered), raises _com_error.
  WorkbookOpen OpenWorkbook(const std::wstring& path) const;
  // Closes every workbook through the workbooks collection (572, 277).
  void CloseAll() const;

  // hostMajorVersion: the leading number of GetVersionText(), 0 for none.
  int GetMajorVersion() const;
  // The product-code test; false below major version 14 without asking.
  bool IsHost64Bit(int hostMajorVersion) const;
  // The installation check: the file version of the host executable (encoded
  // string 56) in GetInstallPath(); all zero when the folder or the file is
  // missing or the file has no version information.
  HostFileVersion GetInstalledHostFileVersion() const;
  // The host's main window: by class and caption below major version 14
  // (the hidden one among several, ChooseOldHostWindow), else by the
  // reported handle's process and the class (and caption when several
  // windows qualify).
  HWND FindHostWindow(int hostMajorVersion) const;

 private:
  // One member's calls, what they take and what they answer: made on the
  // host's thread when there is a HostWait, else on the calling thread.
  enum class Kind : int;
  struct Call;
  std::shared_ptr<Call> Run(Kind kind, DISPID dispid = 0, LONG value = 0, std::wstring text = {}) const;

  IDispatch* application_;
  HostWait* wait_;
};

// Members of the workbooks collection.
// Opens `path` (locale LOCALE_SYSTEM_DEFAULT, 13 arguments). Raises
// _com_error only when the host's process went away during the call or the
// call got no answer.
WorkbookOpen OpenWorkbook(IDispatch* workbooks, const std::wstring& path);
void CloseWorkbooks(IDispatch* workbooks);

// The fixed version block of `path`; all zero when it has none.
HostFileVersion GetHostFileVersion(const std::wstring& path);

}  // namespace brisk

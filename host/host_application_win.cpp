#include "host/host_application.h"

#include <new>

#include "base/com_text.h"
#include "host/dispatch.h"
#include "host/host_call_result.h"
#include "host/host_version.h"
#include "host/product_code.h"
#include "payload/encoded_strings.h"

namespace brisk {

// The portable table's codes are the system's.
static_assert(host_result::kCallRejected == static_cast<std::uint32_t>(RPC_E_CALL_REJECTED));
static_assert(host_result::kCallCanceled == static_cast<std::uint32_t>(RPC_E_CALL_CANCELED));
static_assert(host_result::kServerDied == static_cast<std::uint32_t>(RPC_E_SERVER_DIED));
static_assert(host_result::kServerDiedDne == static_cast<std::uint32_t>(RPC_E_SERVER_DIED_DNE));
static_assert(host_result::kDisconnected == static_cast<std::uint32_t>(RPC_E_DISCONNECTED));
static_assert(host_result::kServerCallRetryLater == static_cast<std::uint32_t>(RPC_E_SERVERCALL_RETRYLATER));
static_assert(host_result::kServerUnavailable ==
              static_cast<std::uint32_t>(HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)));
static_assert(host_result::kCallFailed == static_cast<std::uint32_t>(HRESULT_FROM_WIN32(RPC_S_CALL_FAILED)));
static_assert(host_result::kCallFailedDne == static_cast<std::uint32_t>(HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE)));
static_assert(host_result::kObjectNotConnected == static_cast<std::uint32_t>(CO_E_OBJNOTCONNECTED));
static_assert(host_result::kServerStopping == static_cast<std::uint32_t>(CO_E_SERVER_STOPPING));
static_assert(host_result::kClassNotRegistered == static_cast<std::uint32_t>(REGDB_E_CLASSNOTREG));
static_assert(host_result::kClassString == static_cast<std::uint32_t>(CO_E_CLASSSTRING));
static_assert(host_result::kReadRegistry == static_cast<std::uint32_t>(REGDB_E_READREGDB));
static_assert(host_result::kAppNotFound == static_cast<std::uint32_t>(CO_E_APPNOTFOUND));
static_assert(host_result::kAccessDenied == static_cast<std::uint32_t>(E_ACCESSDENIED));
static_assert(host_result::kOutOfMemory == static_cast<std::uint32_t>(E_OUTOFMEMORY));

namespace {

constexpr int kOpenArgumentCount = 13;
// A failed start that came back within this time did not wait for the
// system's activation time-out, and is tried once more.
constexpr ULONGLONG kQuickStartFailureMs = 5000;

std::wstring GetText(IDispatch* object, DISPID dispid) {
  UniqueBstr text;
  DispatchGet(object, dispid, VT_BSTR, text.put());
  return text.str();
}

void PutBool(IDispatch* object, DISPID dispid, bool value) { DispatchPut(object, dispid, VT_BOOL, value ? 1 : 0); }

ComRef<IDispatch> Workbooks(IDispatch* application) {
  ComRef<IDispatch> workbooks;
  DispatchGet(application, kDispWorkbooks, VT_DISPATCH, workbooks.put());
  return workbooks;
}

std::int32_t GetInt(IDispatch* object, DISPID dispid) {
  LONG value = 0;
  DispatchGet(object, dispid, VT_I4, &value);
  return value;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// An exception inside (no memory, a damaged text table) is reported as a
// failure, so that the launch stops with its notice instead of going on with
// no host. A start that fails although the host is installed is tried once
// more when its answer says so (host/host_call_result.h): a single-use host
// serves one client only, and a second launch started at the same moment may
// have reached the host of the first.
HRESULT CreateHostApplication(IDispatch** application) {
  if (application == nullptr) return E_POINTER;
  *application = nullptr;
  try {
    const std::wstring progId = GetEncodedStringWide(kHostProgId);
    CLSID classId{};
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &classId);
    if (FAILED(hr)) return hr;
    const ULONGLONG started = GetTickCount64();
    hr = CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(application));
    const bool cameBackQuickly = GetTickCount64() - started < kQuickStartFailureMs;
    if (FAILED(hr) && HostStartMayBeRetried(static_cast<std::uint32_t>(hr), cameBackQuickly)) {
      *application = nullptr;
      hr =
          CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(application));
    }
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// Each member's work captures the object's pointer and its arguments by
// value: a work the user gave up may still run on the host's thread.

void HostApplication::SetVisible(bool visible) const {
  Waited([application = application_, visible] { PutBool(application, kDispVisible, visible); });
}

std::wstring HostApplication::GetCaption() const {
  return Waited([application = application_] { return GetText(application, kDispCaption); });
}

void HostApplication::SetCaption(const std::wstring& caption) const {
  Waited([application = application_, caption] {
    const UniqueBstr text = MakeBstr(caption);
    DispatchPut(application, kDispCaption, VT_BSTR, text.get());
  });
}

std::wstring HostApplication::GetInstallPath() const {
  return Waited([application = application_] { return GetText(application, kDispInstallPath); });
}

std::wstring HostApplication::GetVersionText() const {
  return Waited([application = application_] { return GetText(application, kDispVersion); });
}

std::wstring HostApplication::GetProductCode() const {
  return Waited([application = application_] { return GetText(application, kDispProductCode); });
}

std::int32_t HostApplication::GetUiLanguageId() const {
  return Waited([application = application_] {
    ComRef<IDispatch> languageSettings;
    DispatchGet(application, kDispLanguageSettings, VT_DISPATCH, languageSettings.put());
    static const VARTYPE kParamTypes[] = {VT_I4, 0};
    UniqueVariant language;
    DispatchCall(languageSettings.get(), kDispLanguageId, DISPATCH_PROPERTYGET, VT_VARIANT, language.get(), kParamTypes,
                 kLanguageIdUserInterface);
    return language->vt == VT_I4 ? language->lVal : 0;
  });
}

std::int32_t HostApplication::GetIntProperty1209() const {
  return Waited([application = application_] { return GetInt(application, kDispIntProperty1209); });
}

HWND HostApplication::GetMainWindowHandle() const {
  // Window handles are 32-bit values, also in a 64-bit process.
  return Waited([application = application_] {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(GetInt(application, kDispMainWindowHandle)));
  });
}

void HostApplication::SetDisplayAlerts(bool alerts) const {
  Waited([application = application_, alerts] { PutBool(application, kDispDisplayAlerts, alerts); });
}

void HostApplication::SetUserControl(bool userControl) const {
  Waited([application = application_, userControl] { PutBool(application, kDispUserControl, userControl); });
}

// A host without the property answers with an error, which does not matter;
// a put that got no answer is a host that did not answer, like any other.
void HostApplication::PutIntProperty2788(std::int32_t value) const {
  try {
    Waited([application = application_, value] {
      DispatchPut(application, kDispIntProperty2788, VT_I4, static_cast<LONG>(value));
    });
  } catch (const _com_error& error) {
    if (HostCallNotAnswered(static_cast<std::uint32_t>(error.Error())) || (wait_ && !wait_->WithinReach())) throw;
  }
}

void HostApplication::Quit() const {
  Waited([application = application_] {
    DispatchCall(application, kDispQuit, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
  });
}

WorkbookOpen HostApplication::OpenWorkbook(const std::wstring& path) const {
  return Waited([application = application_, path] {
    const ComRef<IDispatch> workbooks = Workbooks(application);
    if (!workbooks) return WorkbookOpen{};
    return brisk::OpenWorkbook(workbooks.get(), path);
  });
}

void HostApplication::CloseAll() const {
  Waited([application = application_] {
    const ComRef<IDispatch> workbooks = Workbooks(application);
    if (workbooks) CloseWorkbooks(workbooks.get());
  });
}

int HostApplication::GetMajorVersion() const {
  const std::wstring version = GetVersionText();
  return MajorVersionFromText(std::u16string_view(reinterpret_cast<const char16_t*>(version.data()), version.size()));
}

bool HostApplication::IsHost64Bit(int hostMajorVersion) const {
  if (!HostHasBitness(hostMajorVersion)) return false;
  const std::wstring productCode = GetProductCode();
  if (productCode.empty()) return false;
  CLSID code{};
  if (FAILED(CLSIDFromString(productCode.c_str(), &code))) return false;
  return IsProductCode64Bit(code.Data4[0], code.Data4[1]);
}

HostFileVersion HostApplication::GetInstalledHostFileVersion() const {
  std::wstring folder = GetInstallPath();
  if (folder.empty()) return {};
  std::wstring folderTest = folder;
  if (folderTest.back() == L'\\') folderTest.pop_back();
  if (folderTest.empty() || !IsFolder(folderTest)) return {};
  if (folder.back() != L'\\') folder += L'\\';
  const std::wstring executable = folder + GetEncodedStringWide(kHostExeName);
  if (!IsFile(executable)) return {};
  return GetHostFileVersion(executable);
}

WorkbookOpen OpenWorkbook(IDispatch* workbooks, const std::wstring& path) {
  if (workbooks == nullptr) return {};
  VARIANT arguments[kOpenArgumentCount];
  for (VARIANT& argument : arguments) {
    VariantInit(&argument);
    argument.vt = VT_ERROR;
    argument.scode = DISP_E_PARAMNOTFOUND;
  }
  // The path is the first argument in call order, so the last one here.
  UniqueBstr pathText = MakeBstr(path);
  arguments[kOpenArgumentCount - 1].vt = VT_BSTR;
  arguments[kOpenArgumentCount - 1].bstrVal = pathText.get();
  DISPPARAMS params{arguments, nullptr, kOpenArgumentCount, 0};
  UniqueVariant result;
  UniqueExcepInfo exception;
  UINT argumentError = 0;
  const HRESULT hr = workbooks->Invoke(kDispWorkbooksOpen, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params,
                                       result.get(), exception.get(), &argumentError);
  // A call that got no answer tells nothing of the workbook: the open
  // handler may not even have run yet.
  if (FAILED(hr) &&
      (HostProcessIsGone(static_cast<std::uint32_t>(hr)) || HostCallNotAnswered(static_cast<std::uint32_t>(hr)))) {
    throw _com_error(hr);
  }
  // The result goes with its variant: a disconnected object fails its
  // release quietly.
  return WorkbookOpen{hr, SUCCEEDED(hr) && result->vt == VT_DISPATCH && result->pdispVal != nullptr};
}

void CloseWorkbooks(IDispatch* workbooks) {
  DispatchCall(workbooks, kDispWorkbooksClose, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
}

}  // namespace brisk

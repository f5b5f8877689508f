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

enum class HostApplication::Kind : int {
  kGetText,     // a text property: `dispid`
  kPutBool,     // a boolean property: `dispid`, `value` (non-zero for true)
  kGetInt,      // an integer property: `dispid`
  kSetCaption,  // `text`
  kGetUiLanguageId,
  kPutIntProperty2788,  // `value`
  kQuit,
  kOpenWorkbook,  // `text` the path
  kCloseAll,
};

// A job given up may still run on the host's thread after its member has
// returned: it owns what it takes and what it answers.
struct HostApplication::Call final : HostJob {
  Call(Kind callKind, DISPID callDispid, LONG callValue, std::wstring callText)
      : kind(callKind), dispid(callDispid), value(callValue), text(std::move(callText)) {}

  const Kind kind;
  const DISPID dispid;
  const LONG value;
  const std::wstring text;
  std::wstring answerText;
  LONG answerNumber = 0;
  WorkbookOpen opened;

 private:
  void Perform(IDispatch* application) override {
    switch (kind) {
      case Kind::kGetText:
        answerText = GetText(application, dispid);
        break;
      case Kind::kPutBool:
        PutBool(application, dispid, value != 0);
        break;
      case Kind::kGetInt:
        answerNumber = GetInt(application, dispid);
        break;
      case Kind::kSetCaption: {
        const UniqueBstr caption = MakeBstr(text);
        DispatchPut(application, kDispCaption, VT_BSTR, caption.get());
        break;
      }
      case Kind::kGetUiLanguageId: {
        ComRef<IDispatch> languageSettings;
        DispatchGet(application, kDispLanguageSettings, VT_DISPATCH, languageSettings.put());
        static const VARTYPE kParamTypes[] = {VT_I4, 0};
        UniqueVariant language;
        DispatchCall(languageSettings.get(), kDispLanguageId, DISPATCH_PROPERTYGET, VT_VARIANT, language.get(),
                     kParamTypes, kLanguageIdUserInterface);
        answerNumber = language->vt == VT_I4 ? language->lVal : 0;
        break;
      }
      case Kind::kPutIntProperty2788:
        DispatchPut(application, kDispIntProperty2788, VT_I4, value);
        break;
      case Kind::kQuit:
        DispatchCall(application, kDispQuit, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
        break;
      case Kind::kOpenWorkbook:
      case Kind::kCloseAll: {
        const ComRef<IDispatch> workbooks = Workbooks(application);
        if (!workbooks) break;
        if (kind == Kind::kOpenWorkbook) {
          opened = brisk::OpenWorkbook(workbooks.get(), text);
        } else {
          CloseWorkbooks(workbooks.get());
        }
        break;
      }
    }
  }
};

std::shared_ptr<HostApplication::Call> HostApplication::Run(Kind kind, DISPID dispid, LONG value,
                                                            std::wstring text) const {
  auto call = std::make_shared<Call>(kind, dispid, value, std::move(text));
  if (wait_) {
    wait_->Run(call);
  } else {
    call->Run(application_);
    call->RaiseFailure();
  }
  return call;
}

void HostApplication::SetVisible(bool visible) const { Run(Kind::kPutBool, kDispVisible, visible); }

std::wstring HostApplication::GetCaption() const { return Run(Kind::kGetText, kDispCaption)->answerText; }

void HostApplication::SetCaption(const std::wstring& caption) const { Run(Kind::kSetCaption, 0, 0, caption); }

std::wstring HostApplication::GetInstallPath() const { return Run(Kind::kGetText, kDispInstallPath)->answerText; }

std::wstring HostApplication::GetVersionText() const { return Run(Kind::kGetText, kDispVersion)->answerText; }

std::wstring HostApplication::GetProductCode() const { return Run(Kind::kGetText, kDispProductCode)->answerText; }

std::int32_t HostApplication::GetUiLanguageId() const { return Run(Kind::kGetUiLanguageId)->answerNumber; }

std::int32_t HostApplication::GetIntProperty1209() const {
  return Run(Kind::kGetInt, kDispIntProperty1209)->answerNumber;
}

HWND HostApplication::GetMainWindowHandle() const {
  // Window handles are 32-bit values, also in a 64-bit process.
  return reinterpret_cast<HWND>(static_cast<LONG_PTR>(Run(Kind::kGetInt, kDispMainWindowHandle)->answerNumber));
}

void HostApplication::SetDisplayAlerts(bool alerts) const { Run(Kind::kPutBool, kDispDisplayAlerts, alerts); }

void HostApplication::SetUserControl(bool userControl) const { Run(Kind::kPutBool, kDispUserControl, userControl); }

// A host without the property answers with an error, which does not matter;
// a put that got no answer is a host that did not answer, like any other.
void HostApplication::PutIntProperty2788(std::int32_t value) const {
  try {
    Run(Kind::kPutIntProperty2788, 0, value);
  } catch (const _com_error& error) {
    if (HostCallNotAnswered(static_cast<std::uint32_t>(error.Error())) || (wait_ && !wait_->WithinReach())) throw;
  }
}

void HostApplication::Quit() const { Run(Kind::kQuit); }

WorkbookOpen HostApplication::OpenWorkbook(const std::wstring& path) const {
  return Run(Kind::kOpenWorkbook, 0, 0, path)->opened;
}

void HostApplication::CloseAll() const { Run(Kind::kCloseAll); }

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

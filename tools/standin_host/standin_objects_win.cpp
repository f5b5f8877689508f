#include "standin_objects_win.h"

#include <string>

#include "first_contact_win.h"
#include "host/host_application.h"
#include "standin_state_win.h"
#include "standin_windows_win.h"
#include "variant_log_win.h"

namespace brisk::standin {

namespace {

constexpr wchar_t kExceptionSource[] = L"Brisk stand-in host";
// The scode of a server exception from Workbooks.Open: a file it cannot
// open, or the auxiliary workbook when configured so.
constexpr HRESULT kOpenFailedScode = static_cast<HRESULT>(0x800A03EC);
// Exit code of a configured crash: that of an access violation.
constexpr UINT kCrashExitCode = 0xC0000005;
// The title of a configured dialog of the host's own, by which tests and its
// timer find it.
constexpr wchar_t kDialogTitle[] = L"Stand-in host";

BOOL CALLBACK EndDialogOfThread(HWND window, LPARAM) {
  wchar_t className[8] = {};
  GetClassNameW(window, className, 8);
  if (std::wstring(className) == L"#32770") EndDialog(window, IDOK);
  return TRUE;
}

VOID CALLBACK EndDialogOnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  EnumThreadWindows(GetCurrentThreadId(), EndDialogOfThread, 0);
}

// A modal message box owned by the main window, as a host shows one of its
// own inside a call (a prompt, an error): its loop handles every message
// meanwhile. A timer closes it after `ms`. Returns how long it was up.
std::uint32_t ShowDialogInCall(DISPID dispid, std::uint32_t ms) {
  const UINT_PTR timer = SetTimer(nullptr, 0, ms > USER_TIMER_MINIMUM ? ms : USER_TIMER_MINIMUM, EndDialogOnTimer);
  const std::wstring text = L"Member " + std::to_wstring(dispid) + L" waits for this box.";
  const ULONGLONG shown = GetTickCount64();
  MessageBoxW(gStandin.mainWindow, text.c_str(), kDialogTitle, MB_OK | MB_ICONINFORMATION);
  if (timer != 0) KillTimer(nullptr, timer);
  return static_cast<std::uint32_t>(GetTickCount64() - shown);
}

VARTYPE ToVarType(ValueType type) {
  switch (type) {
    case ValueType::kEmpty:
      return VT_EMPTY;
    case ValueType::kI2:
      return VT_I2;
    case ValueType::kI4:
      return VT_I4;
    case ValueType::kBool:
      return VT_BOOL;
    case ValueType::kBstr:
      return VT_BSTR;
    case ValueType::kR8:
      return VT_R8;
  }
  return VT_EMPTY;
}

HRESULT FillException(EXCEPINFO* exception, WORD wCode, HRESULT scode, const std::wstring& description) {
  if (exception != nullptr) {
    *exception = EXCEPINFO{};
    exception->wCode = wCode;
    exception->scode = wCode != 0 ? 0 : scode;
    exception->bstrSource = SysAllocString(kExceptionSource);
    exception->bstrDescription = SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
  }
  return DISP_E_EXCEPTION;
}

HRESULT SetBstr(VARIANT* result, const std::wstring& text) {
  if (result == nullptr) return S_OK;
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return result->bstrVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetI4(VARIANT* result, LONG value) {
  if (result == nullptr) return S_OK;
  result->vt = VT_I4;
  result->lVal = value;
  return S_OK;
}

HRESULT SetBool(VARIANT* result, bool value) {
  if (result == nullptr) return S_OK;
  result->vt = VT_BOOL;
  result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

// Hands out a new reference.
HRESULT SetDispatch(VARIANT* result, IDispatch* object) {
  if (result == nullptr) {
    object->Release();
    return S_OK;
  }
  result->vt = VT_DISPATCH;
  result->pdispVal = object;
  return S_OK;
}

bool IsGet(WORD flags) { return (flags & DISPATCH_PROPERTYGET) || flags == DISPATCH_METHOD; }
bool IsPut(WORD flags) { return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }

UINT ArgumentCount(const DISPPARAMS* params) { return params ? params->cArgs : 0; }

// The value of a property put, converted to `type`: exactly one argument,
// named DISPID_PROPERTYPUT.
HRESULT TakePutValue(const DISPPARAMS* params, VARTYPE type, VARIANT& value) {
  if (params == nullptr || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
  if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
    return DISP_E_PARAMNOTFOUND;
  }
  VariantInit(&value);
  return FAILED(VariantChangeType(&value, &params->rgvarg[0], 0, type)) ? DISP_E_TYPEMISMATCH : S_OK;
}

// An IDispatch that logs every call and applies the configured failures.
class DispatchObject : public IDispatch {
 public:
  explicit DispatchObject(const char* logName) : logName_(logName) {}
  virtual ~DispatchObject() = default;
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      OnFinalRelease();
      delete this;
    }
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  // The launcher never asks for names.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
    json::Json record = NewRecord("call");
    record["object"] = logName_;
    record["dispid"] = dispid;
    record["kind"] = DescribeInvokeKind(flags);
    record["lcid"] = locale;
    record["args"] = DescribeArguments(params);
    record["named"] = DescribeNamedArguments(params);
    if (result != nullptr) VariantInit(result);
    HRESULT hr;
    if (riid != IID_NULL) {
      hr = DISP_E_UNKNOWNINTERFACE;
    } else if (const Failure* failure = FindFailure(dispid);
               failure && failure->kind != FailureKind::kHang && failure->kind != FailureKind::kDialog) {
      hr = Fail(*failure, record, exception);
    } else {
      if (failure && calls_[dispid]++ < failure->after) failure = nullptr;
      if (failure && failure->kind == FailureKind::kHang) {
        record["hang_ms"] = failure->code;
        Sleep(failure->code);
      } else if (failure) {
        record["dialog_ms"] = ShowDialogInCall(dispid, failure->code);
      }
      hr = Handle(dispid, flags, params, result, exception, argumentError, record);
    }
    record["result"] = SUCCEEDED(hr) && result != nullptr ? DescribeVariant(*result) : nullptr;
    record["hr"] = HexCode(static_cast<std::uint32_t>(hr));
    if (hr == DISP_E_EXCEPTION && exception != nullptr) {
      json::Json raised = {{"wcode", exception->wCode},
                           {"scode", HexCode(static_cast<std::uint32_t>(exception->scode))}};
      if (exception->bstrDescription != nullptr) raised["description"] = LogText(exception->bstrDescription);
      record["exception"] = raised;
    }
    Log(record);
    return hr;
  }

 protected:
  // `record` is the call's log line, for what the answer alone does not say.
  virtual HRESULT Handle(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                         UINT* argumentError, json::Json& record) = 0;
  virtual const std::map<std::int32_t, Failure>* Failures() const { return nullptr; }
  virtual void OnFinalRelease() {}

 private:
  const Failure* FindFailure(DISPID dispid) const {
    const auto* failures = Failures();
    if (failures == nullptr) return nullptr;
    const auto found = failures->find(dispid);
    return found == failures->end() ? nullptr : &found->second;
  }

  static HRESULT Fail(const Failure& failure, json::Json& record, EXCEPINFO* exception) {
    const std::wstring description = ToWide(failure.description);
    switch (failure.kind) {
      case FailureKind::kCrash:
        record["result"] = nullptr;
        record["crash"] = "configured";
        Log(record);
        TerminateProcess(GetCurrentProcess(), kCrashExitCode);
        return E_UNEXPECTED;
      case FailureKind::kException:
        return FillException(exception, failure.wCode, 0, description);
      case FailureKind::kScode:
        return FillException(exception, 0, static_cast<HRESULT>(failure.code), description);
      case FailureKind::kHresult:
        return static_cast<HRESULT>(failure.code);
      case FailureKind::kNone:
      case FailureKind::kHang:
      case FailureKind::kDialog:
        break;
    }
    return E_UNEXPECTED;
  }

  const char* logName_;
  ULONG references_ = 1;
  // How often each member with a hang or a dialog was called.
  std::map<DISPID, std::uint32_t> calls_;
};

class Workbook final : public DispatchObject {
 public:
  Workbook() : DispatchObject("workbook") {}

 protected:
  HRESULT Handle(DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*, json::Json&) override {
    return DISP_E_MEMBERNOTFOUND;
  }
};

class LanguageSettings final : public DispatchObject {
 public:
  LanguageSettings() : DispatchObject("language_settings") {}

 protected:
  HRESULT Handle(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT* argumentError,
                 json::Json&) override {
    if (dispid != kDispLanguageId || !IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (ArgumentCount(params) != 1 || params->cNamedArgs != 0) return DISP_E_BADPARAMCOUNT;
    VARIANT which;
    VariantInit(&which);
    if (FAILED(VariantChangeType(&which, &params->rgvarg[0], 0, VT_I4))) {
      if (argumentError != nullptr) *argumentError = 0;
      return DISP_E_TYPEMISMATCH;
    }
    // Only the user-interface language is known to the stand-in.
    if (which.lVal != kLanguageIdUserInterface) return DISP_E_BADINDEX;
    if (result == nullptr) return S_OK;
    SetI4(result, gStandin.config.uiLanguage);
    const VARTYPE type = ToVarType(gStandin.config.uiLanguageType);
    return type == VT_I4 ? S_OK : VariantChangeType(result, result, 0, type);
  }
};

class Workbooks final : public DispatchObject {
 public:
  Workbooks() : DispatchObject("workbooks") {}

 protected:
  const std::map<std::int32_t, Failure>* Failures() const override { return &gStandin.config.workbooksFailures; }

  HRESULT Handle(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                 UINT* argumentError, json::Json& record) override {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    switch (dispid) {
      case kDispWorkbooksOpen:
        return Open(params, result, exception, argumentError, record);
      case kDispWorkbooksClose:
        gStandin.workbooks.clear();
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  // The file name is the first argument in call order; the others may be
  // missing and are only logged.
  static HRESULT Open(DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argumentError,
                      json::Json& record) {
    const UINT count = ArgumentCount(params);
    if (count == 0 || params->cNamedArgs != 0) return DISP_E_BADPARAMCOUNT;
    VARIANT name;
    VariantInit(&name);
    if (FAILED(VariantChangeType(&name, &params->rgvarg[count - 1], 0, VT_BSTR))) {
      if (argumentError != nullptr) *argumentError = count - 1;
      return DISP_E_TYPEMISMATCH;
    }
    const std::wstring path(name.bstrVal, SysStringLen(name.bstrVal));
    VariantClear(&name);

    switch (ReadWorkbookKind(path)) {
      case WorkbookKind::kMissing:
        return FillException(exception, 0, kOpenFailedScode, L"'" + path + L"' could not be found.");
      case WorkbookKind::kAuxiliary:
        // Its open handler loads the add-in, then the workbook closes itself.
        RunAuxWorkbookOpenHandler(path, gStandin.application);
        return AnswerAuxiliaryOpen(result, exception, record);
      case WorkbookKind::kOrdinary:
        gStandin.workbooks.push_back({path});
        break;
    }
    return SetDispatch(result, new Workbook);
  }

  // The auxiliary workbook closed itself inside the call, so a host may
  // answer with a workbook, with nothing, with an error or with an object
  // that is gone by the time the client uses it; the configuration says which.
  static HRESULT AnswerAuxiliaryOpen(VARIANT* result, EXCEPINFO* exception, json::Json& record) {
    const OpenResult& answer = gStandin.config.auxOpenResult;
    record["open_result"] = OpenResultKindName(answer.kind);
    switch (answer.kind) {
      case OpenResultKind::kWorkbook:
        break;
      case OpenResultKind::kEmpty:
        return S_OK;
      case OpenResultKind::kException:
        return FillException(exception, 0, kOpenFailedScode, ToWide(answer.description));
      case OpenResultKind::kHresult:
        return static_cast<HRESULT>(answer.hresult);
      case OpenResultKind::kDisconnected: {
        auto* workbook = new Workbook;
        DisconnectAfterThisCall(workbook);
        return SetDispatch(result, workbook);
      }
    }
    return SetDispatch(result, new Workbook);
  }
};

class Application final : public DispatchObject {
 public:
  Application() : DispatchObject("application") {}

 protected:
  const std::map<std::int32_t, Failure>* Failures() const override { return &gStandin.config.applicationFailures; }

  // Without user control the host ends when its last client lets go of it.
  void OnFinalRelease() override {
    gStandin.application = nullptr;
    json::Json record = NewRecord("event");
    record["event"] = "released";
    record["user_control"] = gStandin.userControl;
    Log(record);
    if (!gStandin.userControl) PostQuitMessage(0);
  }

  HRESULT Handle(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*,
                 json::Json&) override {
    HRESULT hr = Dispatch(dispid, flags, params, result);
    if (SUCCEEDED(hr) && IsGet(flags) && result != nullptr) {
      const auto replyType = gStandin.config.replyTypes.find(dispid);
      if (replyType != gStandin.config.replyTypes.end()) {
        hr = VariantChangeType(result, result, 0, ToVarType(replyType->second));
      }
    }
    return hr;
  }

 private:
  static HRESULT Dispatch(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result) {
    switch (dispid) {
      case kDispVisible:
        return BoolProperty(flags, params, result, IsWindowVisible(gStandin.mainWindow) != FALSE,
                            [](bool visible) { ShowWindow(gStandin.mainWindow, visible ? SW_SHOW : SW_HIDE); });
      case kDispCaption:
        return CaptionProperty(flags, params, result);
      case kDispInstallPath:
        return TextGetter(flags, params, result, ToWide(gStandin.config.installPath));
      case kDispVersion:
        return TextGetter(flags, params, result, ToWide(gStandin.config.version));
      case kDispProductCode:
        return TextGetter(flags, params, result, ToWide(gStandin.config.productCode));
      case kDispWorkbooks:
        if (!IsGetter(flags, params)) return DISP_E_MEMBERNOTFOUND;
        gStandin.workbooksCollection->AddRef();
        return SetDispatch(result, gStandin.workbooksCollection);
      case kDispLanguageSettings:
        if (!IsGetter(flags, params)) return DISP_E_MEMBERNOTFOUND;
        return SetDispatch(result, new LanguageSettings);
      case kDispIntProperty1209:
        if (!IsGetter(flags, params)) return DISP_E_MEMBERNOTFOUND;
        return SetI4(result, gStandin.int1209);
      case kDispMainWindowHandle:
        if (!IsGetter(flags, params)) return DISP_E_MEMBERNOTFOUND;
        return SetI4(result, HandleToLong(ReportedWindowHandle()));
      case kDispDisplayAlerts:
        return BoolProperty(flags, params, result, gStandin.displayAlerts,
                            [](bool alerts) { gStandin.displayAlerts = alerts; });
      case kDispUserControl:
        return BoolProperty(flags, params, result, gStandin.userControl,
                            [](bool userControl) { gStandin.userControl = userControl; });
      case kDispIntProperty2788:
        return IntProperty(flags, params, result, gStandin.int2788);
      case kDispQuit:
        if (flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
        if (ArgumentCount(params) != 0) return DISP_E_BADPARAMCOUNT;
        if (gStandin.config.quitOnQuit) PostQuitMessage(0);
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  static bool IsGetter(WORD flags, const DISPPARAMS* params) {
    return IsGet(flags) && !IsPut(flags) && ArgumentCount(params) == 0;
  }

  static HRESULT TextGetter(WORD flags, const DISPPARAMS* params, VARIANT* result, const std::wstring& text) {
    if (!IsGetter(flags, params)) return DISP_E_MEMBERNOTFOUND;
    return SetBstr(result, text);
  }

  template <typename Store>
  static HRESULT BoolProperty(WORD flags, const DISPPARAMS* params, VARIANT* result, bool current, Store store) {
    if (IsPut(flags)) {
      VARIANT value;
      const HRESULT hr = TakePutValue(params, VT_BOOL, value);
      if (FAILED(hr)) return hr;
      store(value.boolVal != VARIANT_FALSE);
      return S_OK;
    }
    if (!IsGetter(flags, params)) return DISP_E_BADPARAMCOUNT;
    return SetBool(result, current);
  }

  static HRESULT IntProperty(WORD flags, const DISPPARAMS* params, VARIANT* result, std::int32_t& property) {
    if (IsPut(flags)) {
      VARIANT value;
      const HRESULT hr = TakePutValue(params, VT_I4, value);
      if (FAILED(hr)) return hr;
      property = value.lVal;
      return S_OK;
    }
    if (!IsGetter(flags, params)) return DISP_E_BADPARAMCOUNT;
    return SetI4(result, property);
  }

  static HRESULT CaptionProperty(WORD flags, const DISPPARAMS* params, VARIANT* result) {
    if (IsPut(flags)) {
      VARIANT value;
      HRESULT hr = TakePutValue(params, VT_BSTR, value);
      if (FAILED(hr)) return hr;
      gStandin.caption.assign(value.bstrVal, SysStringLen(value.bstrVal));
      VariantClear(&value);
      SetWindowTextW(gStandin.mainWindow, gStandin.caption.c_str());
      return S_OK;
    }
    if (!IsGetter(flags, params)) return DISP_E_BADPARAMCOUNT;
    return SetBstr(result, gStandin.caption);
  }

  static HWND ReportedWindowHandle() {
    const StandinConfig& config = gStandin.config;
    switch (config.reportedWindow) {
      case ReportedWindow::kMain:
        return gStandin.mainWindow;
      case ReportedWindow::kExtra:
        return config.reportedExtra <= gStandin.extraWindows.size() ? gStandin.extraWindows[config.reportedExtra - 1]
                                                                    : nullptr;
      case ReportedWindow::kOther:
        return gStandin.otherWindow;
      case ReportedWindow::kNone:
        break;
    }
    return nullptr;
  }
};

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Lives as long as the process.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    json::Json record = NewRecord("event");
    record["event"] = "create_instance";
    Log(record);
    if (gStandin.application == nullptr) {
      if (gStandin.workbooksCollection == nullptr) gStandin.workbooksCollection = new Workbooks;
      gStandin.application = new Application;
    } else {
      gStandin.application->AddRef();
    }
    gStandin.served = true;
    const HRESULT hr = gStandin.application->QueryInterface(riid, object);
    gStandin.application->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

ClassFactory gClassFactory;

}  // namespace

IClassFactory* GetClassFactory() { return &gClassFactory; }

}  // namespace brisk::standin

#include "host/dispatch.h"

#include <vector>

#include "base/com_ref.h"
#include "base/com_text.h"

namespace brisk {

namespace {

constexpr HRESULT kExceptionCodeBase = static_cast<HRESULT>(0x80040200);
constexpr HRESULT kExceptionCodeOverflow = static_cast<HRESULT>(0x8004FFFF);
constexpr WORD kLastMappedExceptionCode = 0xFE00;

bool IsSupportedResultType(VARTYPE type) {
  switch (type) {
    case VT_EMPTY:
    case VT_UI1:
    case VT_I2:
    case VT_BOOL:
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
    case VT_R4:
    case VT_R8:
    case VT_DATE:
    case VT_CY:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_VARIANT:
      return true;
    default:
      return false;
  }
}

// Fills `out` with the next argument of `type`. Nothing is copied deeply:
// the variant only borrows what the caller gave.
HRESULT PackArgument(VARTYPE type, va_list& args, VARIANT& out) {
  out.vt = type;
  if (type & VT_BYREF) {
    out.byref = va_arg(args, void*);
    return S_OK;
  }
  if (type & VT_ARRAY) {
    out.parray = va_arg(args, SAFEARRAY*);
    return S_OK;
  }
  switch (type) {
    case VT_UI1:
      out.bVal = static_cast<BYTE>(va_arg(args, int));
      return S_OK;
    case VT_I2:
      out.iVal = static_cast<SHORT>(va_arg(args, int));
      return S_OK;
    case VT_UI2:
      out.uiVal = static_cast<USHORT>(va_arg(args, int));
      return S_OK;
    case VT_BOOL:
      out.boolVal = va_arg(args, int) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case VT_I4:
    case VT_INT:
      out.lVal = va_arg(args, LONG);
      return S_OK;
    case VT_UI4:
    case VT_UINT:
      out.ulVal = va_arg(args, ULONG);
      return S_OK;
    case VT_ERROR:
      out.scode = va_arg(args, SCODE);
      return S_OK;
    case VT_R4:
      out.fltVal = static_cast<float>(va_arg(args, double));
      return S_OK;
    case VT_R8:
      out.dblVal = va_arg(args, double);
      return S_OK;
    case VT_DATE:
      out.date = va_arg(args, double);
      return S_OK;
    case VT_CY:
      out.cyVal = va_arg(args, CY);
      return S_OK;
    case VT_BSTR:
      out.bstrVal = va_arg(args, BSTR);
      return S_OK;
    case VT_DISPATCH:
      out.pdispVal = va_arg(args, IDispatch*);
      return S_OK;
    case VT_UNKNOWN:
      out.punkVal = va_arg(args, IUnknown*);
      return S_OK;
    case VT_VARIANT: {
      const VARIANT* given = va_arg(args, const VARIANT*);
      if (given == nullptr) return E_INVALIDARG;
      out = *given;
      return S_OK;
    }
    default:
      out.vt = VT_EMPTY;
      return E_INVALIDARG;
  }
}

bool IsMissing(const VARIANT& value) { return value.vt == VT_ERROR && value.scode == DISP_E_PARAMNOTFOUND; }

ComRef<IErrorInfo> MakeErrorInfo(const EXCEPINFO& exception) {
  ComRef<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return {};
  wchar_t empty[] = L"";
  create->SetGUID(IID_IDispatch);
  create->SetSource(exception.bstrSource ? exception.bstrSource : empty);
  create->SetDescription(exception.bstrDescription ? exception.bstrDescription : empty);
  create->SetHelpFile(exception.bstrHelpFile ? exception.bstrHelpFile : empty);
  create->SetHelpContext(exception.dwHelpContext);
  ComRef<IErrorInfo> info;
  create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.put()));
  return info;
}

// A server exception's HRESULT. An exception without a failure code of its
// own stays DISP_E_EXCEPTION, so that it can never read as success.
HRESULT ExceptionResult(const EXCEPINFO& exception) {
  HRESULT code;
  if (exception.wCode == 0) {
    code = exception.scode;
  } else if (exception.wCode < kLastMappedExceptionCode) {
    code = kExceptionCodeBase + exception.wCode;
  } else {
    code = kExceptionCodeOverflow;
  }
  return FAILED(code) ? code : DISP_E_EXCEPTION;
}

void StoreResult(VARTYPE type, VARIANT& value, void* result) {
  switch (type) {
    case VT_UI1:
      *static_cast<BYTE*>(result) = value.bVal;
      break;
    case VT_I2:
      *static_cast<SHORT*>(result) = value.iVal;
      break;
    case VT_BOOL:
      *static_cast<VARIANT_BOOL*>(result) = value.boolVal;
      break;
    case VT_I4:
    case VT_INT:
      *static_cast<LONG*>(result) = value.lVal;
      break;
    case VT_ERROR:
      *static_cast<SCODE*>(result) = value.scode;
      break;
    case VT_R4:
      *static_cast<float*>(result) = value.fltVal;
      break;
    case VT_R8:
      *static_cast<double*>(result) = value.dblVal;
      break;
    case VT_DATE:
      *static_cast<DATE*>(result) = value.date;
      break;
    case VT_CY:
      *static_cast<CY*>(result) = value.cyVal;
      break;
    case VT_BSTR:
      *static_cast<BSTR*>(result) = value.bstrVal;
      break;
    case VT_DISPATCH:
      *static_cast<IDispatch**>(result) = value.pdispVal;
      break;
    case VT_UNKNOWN:
      *static_cast<IUnknown**>(result) = value.punkVal;
      break;
    case VT_VARIANT:
      *static_cast<VARIANT*>(result) = value;
      break;
    default:
      return;
  }
  // Ownership of strings, references and whole variants went to the caller.
  value.vt = VT_EMPTY;
}

std::wstring ErrorInfoText(const _com_error& error, HRESULT (STDMETHODCALLTYPE IErrorInfo::*read)(BSTR*)) {
  ComRef<IErrorInfo> info(error.ErrorInfo());
  if (!info) return {};
  UniqueBstr text;
  if (FAILED((info.get()->*read)(text.put()))) return {};
  return text.str();
}

}  // namespace

void DispatchCallV(IDispatch* object, DISPID dispid, WORD flags, VARTYPE resultType, void* result,
                   const VARTYPE* paramTypes, va_list args) {
  if (object == nullptr) throw _com_error(E_POINTER);
  if (!IsSupportedResultType(resultType) || (resultType != VT_EMPTY && result == nullptr)) {
    throw _com_error(E_INVALIDARG);
  }
  std::size_t count = 0;
  if (paramTypes != nullptr) {
    while (paramTypes[count] != 0) ++count;
  }
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (put && count == 0) throw _com_error(E_INVALIDARG);

  // Invoke takes the arguments last to first.
  std::vector<VARIANT> packed(count);
  for (std::size_t i = 0; i < count; ++i) {
    VARIANT& slot = packed[count - 1 - i];
    VariantInit(&slot);
    const HRESULT hr = PackArgument(paramTypes[i] & ~kVtOptional, args, slot);
    if (FAILED(hr)) throw _com_error(hr);
  }

  // Trailing optional arguments that are missing are not passed at all; the
  // value of a put stays the last argument.
  std::size_t dropped = 0;
  for (std::size_t i = count - (put ? 1 : 0); i-- > 0;) {
    const VARIANT& argument = packed[count - 1 - i];
    if (paramTypes[i] != (VT_VARIANT | kVtOptional) || !IsMissing(argument)) break;
    ++dropped;
  }
  VARIANT* first = packed.data() + dropped;
  if (put && dropped > 0) *first = packed[0];

  DISPID namedPut = DISPID_PROPERTYPUT;
  DISPPARAMS params{count > 0 ? first : nullptr, put ? &namedPut : nullptr, static_cast<UINT>(count - dropped),
                    put ? 1u : 0u};
  UniqueVariant returned;
  UniqueExcepInfo exception;
  UINT argumentError = 0;
  HRESULT hr = object->Invoke(dispid, IID_NULL, 0, flags, &params, resultType != VT_EMPTY ? returned.get() : nullptr,
                              exception.get(), &argumentError);
  if (FAILED(hr)) {
    VariantClear(returned.get());
    ComRef<IErrorInfo> info;
    if (hr == DISP_E_EXCEPTION) {
      if (exception->pfnDeferredFillIn != nullptr) exception->pfnDeferredFillIn(exception.get());
      info = MakeErrorInfo(*exception);
      hr = ExceptionResult(*exception);
    }
    throw _com_error(hr, info.release());
  }
  if (resultType == VT_EMPTY) return;
  if (resultType != VT_VARIANT && returned->vt != resultType) {
    hr = VariantChangeType(returned.get(), returned.get(), 0, resultType);
    if (FAILED(hr)) {
      VariantClear(returned.get());
      throw _com_error(hr);
    }
  }
  StoreResult(resultType, *returned.get(), result);
}

void DispatchCall(IDispatch* object, DISPID dispid, WORD flags, VARTYPE resultType, void* result,
                  const VARTYPE* paramTypes, ...) {
  va_list args;
  va_start(args, paramTypes);
  try {
    DispatchCallV(object, dispid, flags, resultType, result, paramTypes, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

void DispatchGet(IDispatch* object, DISPID dispid, VARTYPE resultType, void* result) {
  DispatchCall(object, dispid, DISPATCH_PROPERTYGET, resultType, result, nullptr);
}

void DispatchPut(IDispatch* object, DISPID dispid, VARTYPE valueType, ...) {
  const VARTYPE paramTypes[] = {valueType, 0};
  const WORD flags =
      (valueType == VT_DISPATCH || valueType == VT_UNKNOWN) ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
  va_list args;
  va_start(args, valueType);
  try {
    DispatchCallV(object, dispid, flags, VT_EMPTY, nullptr, paramTypes, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

std::wstring ComErrorDescription(const _com_error& error) { return ErrorInfoText(error, &IErrorInfo::GetDescription); }

std::wstring ComErrorSource(const _com_error& error) { return ErrorInfoText(error, &IErrorInfo::GetSource); }

}  // namespace brisk

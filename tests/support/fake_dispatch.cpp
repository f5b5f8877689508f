#include "tests/support/fake_dispatch.h"

#include <utility>

namespace brisk::test {

namespace {

// The exception that the deferred fill-in routine completes: the routine
// takes no context, and the caller runs it before the next call.
Reply& DeferredReply() {
  static Reply reply;
  return reply;
}

void FillException(const Reply& reply, EXCEPINFO* exception) {
  exception->wCode = reply.wCode;
  exception->scode = reply.scode;
  exception->bstrSource = SysAllocString(reply.source.c_str());
  exception->bstrDescription = SysAllocString(reply.description.c_str());
}

HRESULT STDAPICALLTYPE FillDeferred(EXCEPINFO* exception) {
  FillException(DeferredReply(), exception);
  exception->pfnDeferredFillIn = nullptr;
  return S_OK;
}

}  // namespace

VariantCopies::~VariantCopies() {
  for (VARIANT& value : values_) VariantClear(&value);
}

// VariantCopy only reads its source, though mingw-w64 declares it writable.
void VariantCopies::Add(const VARIANT& value) {
  VARIANT copy;
  VariantInit(&copy);
  VariantCopy(&copy, const_cast<VARIANT*>(&value));
  values_.push_back(copy);
}

HRESULT AnswerWith(const Reply& reply, EXCEPINFO* exception, VARIANT* result) {
  if (reply.hr == DISP_E_EXCEPTION && exception != nullptr) {
    *exception = EXCEPINFO{};
    if (reply.deferred) {
      DeferredReply() = reply;
      exception->pfnDeferredFillIn = FillDeferred;
    } else {
      FillException(reply, exception);
    }
  }
  if (result != nullptr) {
    result->vt = VT_I4;
    result->lVal = 99;
  }
  return reply.hr;
}

void FakeDispatch::Forget(DISPID dispid) {
  results_.erase(dispid);
  failures_.erase(dispid);
  handlers_.erase(dispid);
}

void FakeDispatch::SetResult(DISPID dispid, const VARIANT& value) {
  Forget(dispid);
  VariantCopy(results_[dispid].get(), const_cast<VARIANT*>(&value));
}

void FakeDispatch::SetText(DISPID dispid, const wchar_t* text) {
  const UniqueBstr copy(SysAllocString(text));
  VARIANT value;
  value.vt = VT_BSTR;
  value.bstrVal = copy.get();
  SetResult(dispid, value);
}

void FakeDispatch::SetI4(DISPID dispid, LONG number) {
  VARIANT value;
  value.vt = VT_I4;
  value.lVal = number;
  SetResult(dispid, value);
}

void FakeDispatch::SetObject(DISPID dispid, IDispatch* object) {
  VARIANT value;
  value.vt = VT_DISPATCH;
  value.pdispVal = object;
  SetResult(dispid, value);
}

void FakeDispatch::SetFailure(DISPID dispid, const Reply& reply) {
  Forget(dispid);
  failures_[dispid] = reply;
}

void FakeDispatch::SetHandler(DISPID dispid, Handler handler) {
  Forget(dispid);
  handlers_[dispid] = std::move(handler);
}

std::vector<DISPID> FakeDispatch::CalledIds() const {
  std::vector<DISPID> ids;
  for (const RecordedCall& call : calls_) ids.push_back(call.dispid);
  return ids;
}

HRESULT FakeDispatch::QueryInterface(REFIID riid, void** object) {
  if (riid == IID_IUnknown || riid == IID_IDispatch) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG FakeDispatch::AddRef() { return ++references_; }

ULONG FakeDispatch::Release() { return --references_; }

HRESULT FakeDispatch::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT FakeDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  *info = nullptr;
  return E_NOTIMPL;
}

HRESULT FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT FakeDispatch::Invoke(DISPID dispid, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* exception, UINT* argumentError) {
  RecordedCall call;
  call.dispid = dispid;
  call.flags = flags;
  call.locale = locale;
  call.iidNull = riid == IID_NULL;
  call.resultAsked = result != nullptr;
  for (UINT i = 0; params != nullptr && i < params->cArgs; ++i) call.arguments.Add(params->rgvarg[i]);
  for (UINT i = 0; params != nullptr && i < params->cNamedArgs; ++i) {
    call.named.push_back(params->rgdispidNamedArgs[i]);
  }
  calls_.push_back(std::move(call));

  if (const auto handler = handlers_.find(dispid); handler != handlers_.end()) {
    return handler->second({dispid, &riid, locale, flags, params, result, exception, argumentError});
  }
  if (const auto failure = failures_.find(dispid); failure != failures_.end()) {
    return AnswerWith(failure->second, exception, result);
  }
  const auto found = results_.find(dispid);
  if (found == results_.end()) return DISP_E_MEMBERNOTFOUND;
  if (result != nullptr) VariantCopy(result, found->second.get());
  return S_OK;
}

}  // namespace brisk::test

#include "fake_dispatch.h"

namespace brisk::test {

namespace {

// The exception that a deferred fill-in routine completes.
const Reply* gDeferredReply = nullptr;

HRESULT STDAPICALLTYPE FillDeferred(EXCEPINFO* exception) {
  if (gDeferredReply == nullptr) return E_FAIL;
  exception->wCode = gDeferredReply->wCode;
  exception->scode = gDeferredReply->scode;
  exception->bstrSource = SysAllocString(gDeferredReply->source.c_str());
  exception->bstrDescription = SysAllocString(gDeferredReply->description.c_str());
  exception->pfnDeferredFillIn = nullptr;
  return S_OK;
}

}  // namespace

FakeDispatch::FakeDispatch() = default;

FakeDispatch::~FakeDispatch() {
  for (auto& [id, value] : results_) VariantClear(&value);
  for (RecordedCall& call : calls_) {
    for (VARIANT& argument : call.arguments) VariantClear(&argument);
  }
}

void FakeDispatch::SetResult(DISPID dispid, const VARIANT& value) {
  VARIANT& slot = results_[dispid];
  VariantClear(&slot);
  VariantCopy(&slot, const_cast<VARIANT*>(&value));
}

void FakeDispatch::SetText(DISPID dispid, const wchar_t* text) {
  VARIANT value;
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(text);
  SetResult(dispid, value);
  VariantClear(&value);
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

void FakeDispatch::SetFailure(DISPID dispid, const Reply& reply) { failures_[dispid] = reply; }

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

// Owned by the test: the count is only watched, never frees the object.
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

HRESULT FakeDispatch::Invoke(DISPID dispid, REFIID riid, LCID locale, WORD flags,
                             DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT*) {
  RecordedCall call;
  call.dispid = dispid;
  call.flags = flags;
  call.locale = locale;
  call.iidNull = riid == IID_NULL;
  call.resultAsked = result != nullptr;
  for (UINT i = 0; params != nullptr && i < params->cArgs; ++i) {
    VARIANT copy;
    VariantInit(&copy);
    VariantCopy(&copy, &params->rgvarg[i]);
    call.arguments.push_back(copy);
  }
  for (UINT i = 0; params != nullptr && i < params->cNamedArgs; ++i) {
    call.named.push_back(params->rgdispidNamedArgs[i]);
  }
  calls_.push_back(std::move(call));

  if (const auto failure = failures_.find(dispid); failure != failures_.end()) {
    const Reply& reply = failure->second;
    if (reply.hr == DISP_E_EXCEPTION && exception != nullptr) {
      *exception = EXCEPINFO{};
      if (reply.deferred) {
        gDeferredReply = &reply;
        exception->pfnDeferredFillIn = FillDeferred;
      } else {
        exception->wCode = reply.wCode;
        exception->scode = reply.scode;
        exception->bstrSource = SysAllocString(reply.source.c_str());
        exception->bstrDescription = SysAllocString(reply.description.c_str());
      }
    }
    if (result != nullptr) {
      // A failing server may leave garbage behind; the caller must clear it.
      result->vt = VT_I4;
      result->lVal = 99;
    }
    return reply.hr;
  }
  const auto found = results_.find(dispid);
  if (found == results_.end()) return DISP_E_MEMBERNOTFOUND;
  if (result != nullptr) VariantCopy(result, &found->second);
  return S_OK;
}

}  // namespace brisk::test

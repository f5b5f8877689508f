// An in-process IDispatch for the tests: answers each dispatch id as told
// and records every call it receives, with copies of the arguments.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>
#include <vector>

namespace brisk::test {

struct RecordedCall {
  DISPID dispid = 0;
  WORD flags = 0;
  LCID locale = 0;
  bool iidNull = false;
  bool resultAsked = false;
  // As Invoke received them: last argument first.
  std::vector<VARIANT> arguments;
  std::vector<DISPID> named;
};

struct Reply {
  HRESULT hr = S_OK;
  // Server exception (used when hr is DISP_E_EXCEPTION).
  WORD wCode = 0;
  SCODE scode = 0;
  std::wstring source;
  std::wstring description;
  // The exception is filled in only by its deferred fill-in routine.
  bool deferred = false;
};

class FakeDispatch final : public IDispatch {
 public:
  FakeDispatch();
  ~FakeDispatch();
  FakeDispatch(const FakeDispatch&) = delete;
  FakeDispatch& operator=(const FakeDispatch&) = delete;

  // The value returned for `dispid` (copied); ids without one answer
  // DISP_E_MEMBERNOTFOUND.
  void SetResult(DISPID dispid, const VARIANT& value);
  void SetText(DISPID dispid, const wchar_t* text);
  void SetI4(DISPID dispid, LONG value);
  void SetObject(DISPID dispid, IDispatch* object);
  void SetFailure(DISPID dispid, const Reply& reply);

  const std::vector<RecordedCall>& calls() const { return calls_; }
  std::vector<DISPID> CalledIds() const;
  ULONG references() const { return references_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID riid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

 private:
  ULONG references_ = 1;  // the test's own, released by the destructor's owner
  std::map<DISPID, VARIANT> results_;
  std::map<DISPID, Reply> failures_;
  std::vector<RecordedCall> calls_;
};

}  // namespace brisk::test

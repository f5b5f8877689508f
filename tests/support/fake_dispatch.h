// An in-process IDispatch for the tests: answers each dispatch id as told
// (a value, a failure or a handler of the test's own) and records every call
// it receives, with copies of the arguments.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/com_text.h"

namespace brisk::test {

// Copies of variants, each cleared once when the owner goes.
class VariantCopies {
 public:
  VariantCopies() = default;
  VariantCopies(VariantCopies&& other) noexcept : values_(std::move(other.values_)) {}
  VariantCopies& operator=(VariantCopies&&) = delete;
  ~VariantCopies();

  void Add(const VARIANT& value);
  std::size_t size() const { return values_.size(); }
  bool empty() const { return values_.empty(); }
  const VARIANT& operator[](std::size_t index) const { return values_[index]; }
  const VARIANT& back() const { return values_.back(); }

 private:
  std::vector<VARIANT> values_;
};

struct RecordedCall {
  DISPID dispid = 0;
  WORD flags = 0;
  LCID locale = 0;
  bool iidNull = false;
  bool resultAsked = false;
  // As Invoke received them: last argument first.
  VariantCopies arguments;
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

// Answers a call as the reply says: fills the exception record when the reply
// is DISP_E_EXCEPTION (or leaves that to the deferred fill-in routine), and
// leaves a value behind in `result` as a failing server may, which the caller
// must clear. Returns the reply's HRESULT.
HRESULT AnswerWith(const Reply& reply, EXCEPINFO* exception, VARIANT* result);

// Everything Invoke received, for a handler that answers the call itself.
struct Invocation {
  DISPID dispid = 0;
  const IID* iid = nullptr;
  LCID locale = 0;
  WORD flags = 0;
  DISPPARAMS* params = nullptr;
  VARIANT* result = nullptr;
  EXCEPINFO* exception = nullptr;
  UINT* argumentError = nullptr;
};

class FakeDispatch final : public IDispatch {
 public:
  using Handler = std::function<HRESULT(const Invocation&)>;

  FakeDispatch() = default;
  FakeDispatch(const FakeDispatch&) = delete;
  FakeDispatch& operator=(const FakeDispatch&) = delete;

  // How `dispid` is answered: the last setting for an id counts, and an id
  // without one answers DISP_E_MEMBERNOTFOUND.
  // A copy of `value`.
  void SetResult(DISPID dispid, const VARIANT& value);
  void SetText(DISPID dispid, const wchar_t* text);
  void SetI4(DISPID dispid, LONG value);
  void SetObject(DISPID dispid, IDispatch* object);
  // The reply's HRESULT, with its exception; see AnswerWith.
  void SetFailure(DISPID dispid, const Reply& reply);
  // The handler answers, with everything Invoke received.
  void SetHandler(DISPID dispid, Handler handler);

  const std::vector<RecordedCall>& calls() const { return calls_; }
  std::vector<DISPID> CalledIds() const;
  // The count starts at 1 for the test's own reference; reaching 0 frees
  // nothing, since the test owns the object.
  ULONG references() const { return references_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

 private:
  void Forget(DISPID dispid);

  ULONG references_ = 1;
  std::map<DISPID, UniqueVariant> results_;
  std::map<DISPID, Reply> failures_;
  std::map<DISPID, Handler> handlers_;
  std::vector<RecordedCall> calls_;
};

}  // namespace brisk::test

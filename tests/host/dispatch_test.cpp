// The dispatch helpers against an in-process object: what Invoke receives and
// how its answers and failures come back.
#include "host/dispatch.h"

#include <gtest/gtest.h>

#include "base/com_text.h"
#include "tests/support/com_errors.h"
#include "tests/support/fake_dispatch.h"

namespace brisk {
namespace {

using test::CaughtHresult;
using test::FakeDispatch;
using test::RecordedCall;
using test::Reply;

constexpr DISPID kId = 77;

VARIANT Missing() {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_ERROR;
  value.scode = DISP_E_PARAMNOTFOUND;
  return value;
}

TEST(DispatchPut, BoolIsSentAsVariantTrueOrFalse) {
  const struct {
    int given;
    VARIANT_BOOL sent;
  } cases[] = {{1, VARIANT_TRUE}, {0, VARIANT_FALSE}, {7, VARIANT_TRUE}, {-5, VARIANT_TRUE}};
  for (const auto& c : cases) {
    FakeDispatch object;
    object.SetFailure(kId, {});
    DispatchPut(&object, kId, VT_BOOL, c.given);
    ASSERT_EQ(object.calls().size(), 1u);
    const RecordedCall& call = object.calls()[0];
    EXPECT_EQ(call.flags, DISPATCH_PROPERTYPUT);
    ASSERT_EQ(call.arguments.size(), 1u);
    EXPECT_EQ(call.arguments[0].vt, VT_BOOL);
    EXPECT_EQ(call.arguments[0].boolVal, c.sent) << "given " << c.given;
    EXPECT_EQ(call.named, std::vector<DISPID>{DISPID_PROPERTYPUT});
    EXPECT_FALSE(call.resultAsked);
  }
}

TEST(DispatchPut, ObjectsArePutByReference) {
  FakeDispatch value;
  for (VARTYPE type : {VT_DISPATCH, VT_UNKNOWN}) {
    FakeDispatch object;
    object.SetFailure(kId, {});
    DispatchPut(&object, kId, type, static_cast<IDispatch*>(&value));
    ASSERT_EQ(object.calls().size(), 1u);
    EXPECT_EQ(object.calls()[0].flags, DISPATCH_PROPERTYPUTREF);
    EXPECT_EQ(object.calls()[0].arguments[0].vt, type);
  }
  FakeDispatch object;
  object.SetFailure(kId, {});
  DispatchPut(&object, kId, VT_I4, 5L);
  EXPECT_EQ(object.calls()[0].flags, DISPATCH_PROPERTYPUT);
}

TEST(DispatchCall, ArgumentsArePassedLastFirstWithTheirTypes) {
  FakeDispatch object;
  object.SetFailure(kId, {});
  const UniqueBstr text = MakeBstr(L"path");
  const VARTYPE types[] = {VT_I4, VT_BSTR, VT_BOOL, VT_R8, VT_I2, 0};
  DispatchCall(&object, kId, DISPATCH_METHOD, VT_EMPTY, nullptr, types, 42L, text.get(), 1, 2.5, 3);
  ASSERT_EQ(object.calls().size(), 1u);
  const RecordedCall& call = object.calls()[0];
  EXPECT_EQ(call.locale, 0u);
  EXPECT_TRUE(call.iidNull);
  EXPECT_TRUE(call.named.empty());
  ASSERT_EQ(call.arguments.size(), 5u);
  EXPECT_EQ(call.arguments[4].vt, VT_I4);
  EXPECT_EQ(call.arguments[4].lVal, 42);
  EXPECT_EQ(call.arguments[3].vt, VT_BSTR);
  EXPECT_STREQ(call.arguments[3].bstrVal, L"path");
  EXPECT_EQ(call.arguments[2].boolVal, VARIANT_TRUE);
  EXPECT_EQ(call.arguments[1].vt, VT_R8);
  EXPECT_EQ(call.arguments[1].dblVal, 2.5);
  EXPECT_EQ(call.arguments[0].vt, VT_I2);
  EXPECT_EQ(call.arguments[0].iVal, 3);
}

TEST(DispatchCall, VariantArgumentIsPassedWhole) {
  FakeDispatch object;
  object.SetFailure(kId, {});
  VARIANT given;
  given.vt = VT_BSTR;
  given.bstrVal = SysAllocString(L"whole");
  const VARTYPE types[] = {VT_VARIANT, 0};
  DispatchCall(&object, kId, DISPATCH_METHOD, VT_EMPTY, nullptr, types, &given);
  // The caller's variant is borrowed, not taken.
  EXPECT_EQ(given.vt, VT_BSTR);
  ASSERT_EQ(object.calls()[0].arguments.size(), 1u);
  EXPECT_EQ(object.calls()[0].arguments[0].vt, VT_BSTR);
  EXPECT_STREQ(object.calls()[0].arguments[0].bstrVal, L"whole");
  VariantClear(&given);
}

TEST(DispatchCall, TrailingMissingOptionalArgumentsAreNotPassed) {
  const VARTYPE optional = VT_VARIANT | kVtOptional;
  VARIANT missing = Missing();
  VARIANT present;
  present.vt = VT_I4;
  present.lVal = 8;
  const struct {
    const char* name;
    VARTYPE types[4];
    const VARIANT* second;
    const VARIANT* third;
    std::size_t passed;
  } cases[] = {
      {"both missing", {VT_I4, optional, optional, 0}, &missing, &missing, 1},
      {"last present", {VT_I4, optional, optional, 0}, &missing, &present, 3},
      {"only last missing", {VT_I4, optional, optional, 0}, &present, &missing, 2},
      {"missing but required", {VT_I4, optional, VT_VARIANT, 0}, &missing, &missing, 3},
  };
  for (const auto& c : cases) {
    FakeDispatch object;
    object.SetFailure(kId, {});
    DispatchCall(&object, kId, DISPATCH_METHOD, VT_EMPTY, nullptr, c.types, 5L, c.second, c.third);
    ASSERT_EQ(object.calls()[0].arguments.size(), c.passed) << c.name;
    // The first declared argument is always the last in the block.
    EXPECT_EQ(object.calls()[0].arguments.back().lVal, 5) << c.name;
  }
}

TEST(DispatchCall, PutValueStaysWhenOptionalArgumentsBeforeItAreMissing) {
  FakeDispatch object;
  object.SetFailure(kId, {});
  VARIANT missing = Missing();
  const VARTYPE types[] = {VT_I4, VT_VARIANT | kVtOptional, VT_I4, 0};
  DispatchCall(&object, kId, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, types, 1L, &missing, 9L);
  const RecordedCall& call = object.calls()[0];
  EXPECT_EQ(call.named, std::vector<DISPID>{DISPID_PROPERTYPUT});
  ASSERT_EQ(call.arguments.size(), 2u);
  EXPECT_EQ(call.arguments[0].lVal, 9);
  EXPECT_EQ(call.arguments[1].lVal, 1);
}

TEST(DispatchCall, RejectsWhatCannotBeCalledWithoutCallingTheObject) {
  FakeDispatch object;
  const VARTYPE unsupported[] = {VT_RECORD, 0};
  EXPECT_EQ(CaughtHresult([] { DispatchGet(nullptr, kId, VT_I4, nullptr); }), E_POINTER);
  EXPECT_EQ(CaughtHresult([&] { DispatchCall(&object, kId, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, nullptr); }),
            E_INVALIDARG);
  EXPECT_EQ(
      CaughtHresult([&] { DispatchCall(&object, kId, DISPATCH_METHOD, VT_EMPTY, nullptr, unsupported, nullptr); }),
      E_INVALIDARG);
  EXPECT_TRUE(object.calls().empty());
}

TEST(DispatchCall, ArrayAndByReferenceArgumentsArePassedAsPointers) {
  FakeDispatch object;
  object.SetFailure(kId, {});
  LONG target = 3;
  SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
  const VARTYPE types[] = {VT_I4 | VT_BYREF, VT_I4 | VT_ARRAY, 0};
  DispatchCall(&object, kId, DISPATCH_METHOD, VT_EMPTY, nullptr, types, &target, array);
  const RecordedCall& call = object.calls()[0];
  ASSERT_EQ(call.arguments.size(), 2u);
  EXPECT_EQ(call.arguments[1].vt, VT_I4 | VT_BYREF);
  EXPECT_EQ(call.arguments[1].plVal, &target);
  EXPECT_EQ(call.arguments[0].vt, VT_I4 | VT_ARRAY);
  SafeArrayDestroy(array);
}

TEST(DispatchGet, ConvertsTheAnswerToTheAskedType) {
  FakeDispatch object;
  VARIANT shortValue;
  shortValue.vt = VT_I2;
  shortValue.iVal = -7;
  object.SetResult(1, shortValue);
  object.SetText(2, L"12");
  object.SetI4(3, 0);

  LONG number = 0;
  DispatchGet(&object, 1, VT_I4, &number);
  EXPECT_EQ(number, -7);
  DispatchGet(&object, 2, VT_I4, &number);
  EXPECT_EQ(number, 12);
  UniqueBstr text;
  DispatchGet(&object, 3, VT_BSTR, text.put());
  EXPECT_EQ(text.str(), L"0");
  VARIANT_BOOL flag = VARIANT_TRUE;
  DispatchGet(&object, 3, VT_BOOL, &flag);
  EXPECT_EQ(flag, VARIANT_FALSE);
  EXPECT_EQ(object.calls()[0].flags, DISPATCH_PROPERTYGET);
  EXPECT_TRUE(object.calls()[0].resultAsked);
}

TEST(DispatchGet, VariantResultIsKeptAsReturned) {
  FakeDispatch object;
  VARIANT shortValue;
  shortValue.vt = VT_I2;
  shortValue.iVal = 4;
  object.SetResult(1, shortValue);
  UniqueVariant result;
  DispatchGet(&object, 1, VT_VARIANT, result.get());
  EXPECT_EQ(result->vt, VT_I2);
  EXPECT_EQ(result->iVal, 4);
}

TEST(DispatchGet, FailedConversionRaisesItsHresultAndLeavesTheResult) {
  FakeDispatch object;
  object.SetText(1, L"not a number");
  LONG number = 1234;
  EXPECT_EQ(CaughtHresult([&] { DispatchGet(&object, 1, VT_I4, &number); }), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(number, 1234);
}

TEST(DispatchGet, ObjectResultIsAReferenceForTheCaller) {
  FakeDispatch child;
  FakeDispatch object;
  object.SetObject(1, &child);
  const ULONG before = child.references();
  IDispatch* got = nullptr;
  DispatchGet(&object, 1, VT_DISPATCH, &got);
  EXPECT_EQ(got, &child);
  EXPECT_EQ(child.references(), before + 1);
  got->Release();
}

TEST(DispatchCall, ServerExceptionBecomesHresultAndErrorInformation) {
  const struct {
    WORD wCode;
    SCODE scode;
    HRESULT expected;
  } cases[] = {
      {5, 0, static_cast<HRESULT>(0x80040205)},
      {0x1234, 0, static_cast<HRESULT>(0x80041434)},
      {0xFDFF, 0, static_cast<HRESULT>(0x8004FFFF)},
      {0xFE00, 0, static_cast<HRESULT>(0x8004FFFF)},
      {0xFFFF, 0, static_cast<HRESULT>(0x8004FFFF)},
      {0, static_cast<SCODE>(0x800A03EC), static_cast<HRESULT>(0x800A03EC)},
      // An exception that names no failure must not read as success.
      {0, 0, DISP_E_EXCEPTION},
      {0, 1, DISP_E_EXCEPTION},
  };
  for (const auto& c : cases) {
    FakeDispatch object;
    Reply reply;
    reply.hr = DISP_E_EXCEPTION;
    reply.wCode = c.wCode;
    reply.scode = c.scode;
    reply.source = L"Server";
    reply.description = L"It went wrong";
    object.SetFailure(kId, reply);
    LONG number = 55;
    try {
      DispatchGet(&object, kId, VT_I4, &number);
      ADD_FAILURE() << "no exception for wCode " << c.wCode;
    } catch (const _com_error& error) {
      EXPECT_EQ(error.Error(), c.expected) << "wCode " << c.wCode << " scode " << c.scode;
      EXPECT_EQ(ComErrorDescription(error), L"It went wrong");
      EXPECT_EQ(ComErrorSource(error), L"Server");
      IErrorInfo* info = error.ErrorInfo();
      ASSERT_NE(info, nullptr);
      GUID guid{};
      info->GetGUID(&guid);
      EXPECT_TRUE(IsEqualGUID(guid, IID_IDispatch));
      info->Release();
    }
    EXPECT_EQ(number, 55);
  }
}

TEST(DispatchCall, DeferredExceptionIsFilledInBeforeItIsRead) {
  FakeDispatch object;
  Reply reply;
  reply.hr = DISP_E_EXCEPTION;
  reply.wCode = 5;
  reply.description = L"Filled in later";
  reply.deferred = true;
  object.SetFailure(kId, reply);
  try {
    DispatchCall(&object, kId, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), static_cast<HRESULT>(0x80040205));
    EXPECT_EQ(ComErrorDescription(error), L"Filled in later");
  }
}

TEST(DispatchCall, OtherFailuresKeepTheirHresultWithoutErrorInformation) {
  FakeDispatch object;
  Reply reply;
  reply.hr = E_ACCESSDENIED;
  object.SetFailure(kId, reply);
  try {
    DispatchCall(&object, kId, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), E_ACCESSDENIED);
    EXPECT_EQ(error.ErrorInfo(), nullptr);
    EXPECT_EQ(ComErrorDescription(error), L"");
  }
  EXPECT_EQ(CaughtHresult([&] { DispatchGet(&object, 999, VT_I4, nullptr); }), E_INVALIDARG);
  LONG number = 0;
  EXPECT_EQ(CaughtHresult([&] { DispatchGet(&object, 999, VT_I4, &number); }), DISP_E_MEMBERNOTFOUND);
}

}  // namespace
}  // namespace brisk

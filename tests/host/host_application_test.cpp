// The host application object over an in-process object: the exact calls
// each member makes and what it makes of the answers.
#include "host/host_application.h"

#include <gtest/gtest.h>

#include "tests/support/fake_dispatch.h"

namespace brisk {
namespace {

using test::FakeDispatch;
using test::RecordedCall;
using test::Reply;

Reply Failing(HRESULT hr) {
  Reply reply;
  reply.hr = hr;
  return reply;
}

TEST(HostApplicationFake, OpenWorkbookPassesThePathFirstAndTwelveMissingArguments) {
  FakeDispatch workbook;
  FakeDispatch workbooks;
  FakeDispatch application;
  workbooks.SetObject(kDispWorkbooksOpen, &workbook);
  application.SetObject(kDispWorkbooks, &workbooks);
  const ULONG workbookReferences = workbook.references();
  const ULONG collectionReferences = workbooks.references();

  EXPECT_TRUE(HostApplication(&application).OpenWorkbook(L"C:\\temp\\abc.xls").workbookReturned);

  ASSERT_EQ(workbooks.calls().size(), 1u);
  const RecordedCall& open = workbooks.calls()[0];
  EXPECT_EQ(open.dispid, kDispWorkbooksOpen);
  EXPECT_EQ(open.flags, DISPATCH_METHOD);
  EXPECT_EQ(open.locale, static_cast<LCID>(LOCALE_SYSTEM_DEFAULT));
  EXPECT_TRUE(open.named.empty());
  ASSERT_EQ(open.arguments.size(), 13u);
  EXPECT_EQ(open.arguments[12].vt, VT_BSTR);
  EXPECT_STREQ(open.arguments[12].bstrVal, L"C:\\temp\\abc.xls");
  for (std::size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(open.arguments[i].vt, VT_ERROR) << i;
    EXPECT_EQ(open.arguments[i].scode, DISP_E_PARAMNOTFOUND) << i;
  }
  // Neither the workbook nor the collection is kept.
  EXPECT_EQ(workbook.references(), workbookReferences);
  EXPECT_EQ(workbooks.references(), collectionReferences);
}

// An open that a living host answers with an error (it refused, or the
// workbook closed itself and took its object along) is no failure of the
// call; a host whose process went away is raised, and so is a call that got
// no answer at all (cancelled, or rejected after the busy retries): the open
// handler may not have run yet.
TEST(HostApplicationFake, FailingOpenIsRaisedOnlyForAHostThatWentAwayOrNeverAnswered) {
  const struct {
    HRESULT hr;
    bool raised;
  } cases[] = {{DISP_E_EXCEPTION, false},
               {RPC_E_DISCONNECTED, false},
               {RPC_E_SERVERCALL_RETRYLATER, false},
               {RPC_E_CALL_CANCELED, true},
               {RPC_E_CALL_REJECTED, true},
               {HRESULT_FROM_WIN32(RPC_S_CALL_FAILED), true},
               {HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.hr);
    FakeDispatch workbooks;
    FakeDispatch application;
    Reply refused;
    refused.hr = c.hr;
    refused.scode = static_cast<SCODE>(0x800A03EC);
    workbooks.SetFailure(kDispWorkbooksOpen, refused);
    application.SetObject(kDispWorkbooks, &workbooks);
    if (c.raised) {
      EXPECT_THROW(HostApplication(&application).OpenWorkbook(L"C:\\missing.xls"), _com_error);
    } else {
      const WorkbookOpen opened = HostApplication(&application).OpenWorkbook(L"C:\\missing.xls");
      EXPECT_FALSE(opened.workbookReturned);
      EXPECT_EQ(opened.hr, c.hr);
    }
    EXPECT_EQ(workbooks.calls().size(), 1u);
  }
}

TEST(HostApplicationFake, OpenWithoutWorkbooksOpensNothing) {
  FakeDispatch application;
  VARIANT none;
  none.vt = VT_DISPATCH;
  none.pdispVal = nullptr;
  application.SetResult(kDispWorkbooks, none);
  EXPECT_FALSE(HostApplication(&application).OpenWorkbook(L"C:\\a.xls").workbookReturned);
  EXPECT_NO_THROW(HostApplication(&application).CloseAll());
  EXPECT_EQ(application.CalledIds(), (std::vector<DISPID>{kDispWorkbooks, kDispWorkbooks}));
}

TEST(HostApplicationFake, CloseAllClosesThroughTheCollectionAndReleasesIt) {
  FakeDispatch workbooks;
  FakeDispatch application;
  workbooks.SetFailure(kDispWorkbooksClose, Failing(S_OK));
  application.SetObject(kDispWorkbooks, &workbooks);
  const ULONG references = workbooks.references();
  HostApplication(&application).CloseAll();
  ASSERT_EQ(workbooks.calls().size(), 1u);
  EXPECT_EQ(workbooks.calls()[0].dispid, kDispWorkbooksClose);
  EXPECT_EQ(workbooks.calls()[0].flags, DISPATCH_METHOD);
  EXPECT_TRUE(workbooks.calls()[0].arguments.empty());
  EXPECT_EQ(workbooks.references(), references);
}

TEST(HostApplicationFake, UiLanguageCountsOnlyAsFourByteInteger) {
  FakeDispatch language;
  FakeDispatch application;
  application.SetObject(kDispLanguageSettings, &language);
  language.SetI4(kDispLanguageId, 0x0407);
  EXPECT_EQ(HostApplication(&application).GetUiLanguageId(), 0x0407);
  ASSERT_EQ(language.calls().size(), 1u);
  const RecordedCall& call = language.calls()[0];
  EXPECT_EQ(call.flags, DISPATCH_PROPERTYGET);
  ASSERT_EQ(call.arguments.size(), 1u);
  EXPECT_EQ(call.arguments[0].vt, VT_I4);
  EXPECT_EQ(call.arguments[0].lVal, 2);

  VARIANT shortValue;
  shortValue.vt = VT_I2;
  shortValue.iVal = 0x0407;
  language.SetResult(kDispLanguageId, shortValue);
  EXPECT_EQ(HostApplication(&application).GetUiLanguageId(), 0);
  language.SetText(kDispLanguageId, L"1031");
  EXPECT_EQ(HostApplication(&application).GetUiLanguageId(), 0);
}

TEST(HostApplicationFake, ProductCodeDecidesTheBitnessFromVersion14) {
  const struct {
    int major;
    const wchar_t* productCode;
    bool is64;
  } cases[] = {
      {14, L"{3F2A5C10-7B44-4D21-1000-5E6F7A8B9C0D}", true},
      {16, L"{3F2A5C10-7B44-4D21-1000-5E6F7A8B9C0D}", true},
      {16, L"{3F2A5C10-7B44-4D21-0000-5E6F7A8B9C0D}", false},
      {16, L"{3F2A5C10-7B44-4D21-1001-5E6F7A8B9C0D}", false},
      {16, L"{3F2A5C10-7B44-4D21-0010-5E6F7A8B9C0D}", false},
      {16, L"{3F2A5C10-7B44-1000-0000-5E6F7A8B9C0D}", false},
      {16, L"3F2A5C10-7B44-4D21-1000-5E6F7A8B9C0D", false},
      {16, L"{3F2A5C10-7B44-4D21-1000}", false},
      {16, L"", false},
  };
  for (const auto& c : cases) {
    FakeDispatch application;
    application.SetText(kDispProductCode, c.productCode);
    EXPECT_EQ(HostApplication(&application).IsHost64Bit(c.major), c.is64)
        << c.major << " " << static_cast<const void*>(c.productCode);
  }
}

TEST(HostApplicationFake, HostsBelow14AreNeverAskedForTheProductCode) {
  FakeDispatch application;
  application.SetText(kDispProductCode, L"{3F2A5C10-7B44-4D21-1000-5E6F7A8B9C0D}");
  EXPECT_FALSE(HostApplication(&application).IsHost64Bit(13));
  EXPECT_TRUE(application.calls().empty());
}

TEST(HostApplicationFake, MajorVersionIsTheLeadingNumber) {
  const struct {
    const wchar_t* text;
    int major;
  } cases[] = {{L"15.0", 15}, {L"", 0}, {L"16", 16}, {L"9.0", 9}, {L"x15", 0}};
  for (const auto& c : cases) {
    FakeDispatch application;
    application.SetText(kDispVersion, c.text);
    EXPECT_EQ(HostApplication(&application).GetMajorVersion(), c.major);
  }
}

TEST(HostApplicationFake, CaptionOfNoTextIsEmpty) {
  FakeDispatch application;
  VARIANT nothing;
  nothing.vt = VT_BSTR;
  nothing.bstrVal = nullptr;
  application.SetResult(kDispCaption, nothing);
  EXPECT_EQ(HostApplication(&application).GetCaption(), L"");
}

TEST(HostApplicationFake, PutsUseTheirIdsAndTypes) {
  FakeDispatch application;
  for (DISPID id : {kDispVisible, kDispCaption, kDispDisplayAlerts, kDispUserControl, kDispIntProperty2788}) {
    application.SetFailure(id, Failing(S_OK));
  }
  const HostApplication host(&application);
  host.SetVisible(true);
  host.SetCaption(L"New caption");
  host.SetDisplayAlerts(false);
  host.SetUserControl(true);
  host.PutIntProperty2788(1);
  const auto& calls = application.calls();
  ASSERT_EQ(calls.size(), 5u);
  const struct {
    DISPID id;
    VARTYPE type;
  } expected[] = {{kDispVisible, VT_BOOL},
                  {kDispCaption, VT_BSTR},
                  {kDispDisplayAlerts, VT_BOOL},
                  {kDispUserControl, VT_BOOL},
                  {kDispIntProperty2788, VT_I4}};
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].dispid, expected[i].id);
    EXPECT_EQ(calls[i].flags, DISPATCH_PROPERTYPUT);
    ASSERT_EQ(calls[i].arguments.size(), 1u);
    EXPECT_EQ(calls[i].arguments[0].vt, expected[i].type);
  }
  EXPECT_EQ(calls[0].arguments[0].boolVal, VARIANT_TRUE);
  EXPECT_STREQ(calls[1].arguments[0].bstrVal, L"New caption");
  EXPECT_EQ(SysStringLen(calls[1].arguments[0].bstrVal), 11u);
  EXPECT_EQ(calls[2].arguments[0].boolVal, VARIANT_FALSE);
  EXPECT_EQ(calls[4].arguments[0].lVal, 1);
}

TEST(HostApplicationFake, OnlyProperty2788SwallowsItsFailure) {
  FakeDispatch application;
  Reply refused;
  refused.hr = DISP_E_EXCEPTION;
  refused.wCode = 5;
  application.SetFailure(kDispIntProperty2788, refused);
  application.SetFailure(kDispQuit, refused);
  application.SetFailure(kDispUserControl, refused);
  const HostApplication host(&application);
  EXPECT_NO_THROW(host.PutIntProperty2788(1));
  EXPECT_THROW(host.Quit(), _com_error);
  EXPECT_THROW(host.SetUserControl(true), _com_error);
}

// A put of property 2788 that got no answer is a host that did not answer,
// like any other call: it is raised, not swallowed.
TEST(HostApplicationFake, Property2788ThatGotNoAnswerIsRaised) {
  for (const HRESULT hr : {RPC_E_CALL_CANCELED, RPC_E_CALL_REJECTED}) {
    SCOPED_TRACE(testing::Message() << std::hex << hr);
    FakeDispatch application;
    application.SetFailure(kDispIntProperty2788, Failing(hr));
    EXPECT_THROW(HostApplication(&application).PutIntProperty2788(1), _com_error);
  }
}

TEST(HostApplicationFake, NoObjectFailsEveryMemberWithEPointer) {
  const HostApplication host(nullptr);
  try {
    host.SetVisible(false);
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), E_POINTER);
  }
  EXPECT_THROW(host.GetVersionText(), _com_error);
  EXPECT_THROW(host.CloseAll(), _com_error);
  EXPECT_NO_THROW(host.PutIntProperty2788(1));
}

TEST(HostApplicationFake, MainWindowHandleIsTheReportedNumber) {
  FakeDispatch application;
  application.SetI4(kDispMainWindowHandle, 0x1234);
  EXPECT_EQ(HostApplication(&application).GetMainWindowHandle(), reinterpret_cast<HWND>(0x1234));
}

}  // namespace
}  // namespace brisk

// The dispatch helpers and the host application object against the real
// stand-in host: an out-of-process server started by COM, with its windows.
#include <gtest/gtest.h>

#include <functional>

#include "base/com_ref.h"
#include "base/com_text.h"
#include "base/wide_text.h"
#include "host/aux_workbook.h"
#include "host/dispatch.h"
#include "host/host_application.h"
#include "payload/encoded_strings.h"
#include "standin_registration.h"
#include "standin_session.h"
#include "tests/support/com_errors.h"
#include "tests/support/process_windows.h"
#include "tests/support/processes.h"
#include "tests/support/question_answerer.h"
#include "tools/json/json_io.h"

namespace brisk {
namespace {

using test::CaughtHresult;
using test::StandinSession;
using test::WindowInfo;

constexpr DWORD kExitWait = 10000;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A text as a JSON string, as the stand-in host writes it into its log.
std::string Quoted(const std::wstring& text) { return json::OneLine(json::Json(Utf8FromWide(text))); }

// The server's windows of one class, found by title.
HWND WindowTitled(const std::vector<WindowInfo>& windows, const std::wstring& title) {
  for (const WindowInfo& window : windows) {
    if (window.title == title) return window.handle;
  }
  return nullptr;
}

class StandinHostTest : public ::testing::Test {};

TEST_F(StandinHostTest, CreationFailsWhenNoHostIsRegistered) {
  standin::UnregisterStandinHost();
  IDispatch* application = reinterpret_cast<IDispatch*>(1);
  EXPECT_TRUE(FAILED(CreateHostApplication(&application)));
  EXPECT_EQ(application, nullptr);
}

TEST_F(StandinHostTest, CreatesTheHostAsLocalServerAndReadsItsMembers) {
  StandinSession session(
      "version=15.0\n"
      "caption=Host Caption\n"
      "product_code={3F2A5C10-7B44-4D21-1000-5E6F7A8B9C0D}\n"
      "int_1209=4242\n"
      "ui_language=1031\n");
  ASSERT_EQ(session.Create(), S_OK);
  ASSERT_NE(session.app(), nullptr);
  const HostApplication host = session.host();
  EXPECT_NE(session.ServerProcessId(), 0u);
  EXPECT_NE(session.ServerProcessId(), GetCurrentProcessId());
  EXPECT_EQ(host.GetVersionText(), L"15.0");
  EXPECT_EQ(host.GetMajorVersion(), 15);
  EXPECT_EQ(host.GetCaption(), L"Host Caption");
  EXPECT_EQ(host.GetIntProperty1209(), 4242);
  EXPECT_EQ(host.GetUiLanguageId(), 1031);
  EXPECT_TRUE(host.IsHost64Bit(15));

  const std::vector<std::string> language = session.Calls("language_settings", kDispLanguageId);
  ASSERT_EQ(language.size(), 1u);
  EXPECT_TRUE(Contains(language[0], "\"kind\":\"get\",\"lcid\":0,\"args\":[{\"vt\":\"i4\",\"value\":2}]"))
      << language[0];
}

TEST_F(StandinHostTest, BoolPutArrivesAsVariantTrue) {
  StandinSession session;
  ASSERT_EQ(session.Create(), S_OK);
  const HostApplication host = session.host();
  DispatchPut(session.app(), kDispUserControl, VT_BOOL, 1);
  host.SetVisible(false);
  host.SetDisplayAlerts(false);
  const std::vector<std::string> userControl = session.Calls("application", kDispUserControl);
  ASSERT_EQ(userControl.size(), 1u);
  EXPECT_TRUE(Contains(userControl[0],
                       "\"kind\":\"put\",\"lcid\":0,\"args\":[{\"vt\":\"bool\",\"value\":-1}],"
                       "\"named\":[-3]"))
      << userControl[0];
  const std::vector<std::string> visible = session.Calls("application", kDispVisible);
  ASSERT_EQ(visible.size(), 1u);
  EXPECT_TRUE(Contains(visible[0], "\"args\":[{\"vt\":\"bool\",\"value\":0}],\"named\":[-3]"));
  host.SetUserControl(false);
}

TEST_F(StandinHostTest, ServerExceptionsSurfaceWithTheirCodeAndDescription) {
  StandinSession session(
      "fail.558=exception 5 The host refuses to change its visibility.\n"
      "fail.392=scode 0x800A03EC No version today.\n"
      "fail.1209=hresult 0x80004005\n");
  ASSERT_EQ(session.Create(), S_OK);
  const HostApplication host = session.host();
  try {
    host.SetVisible(true);
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), static_cast<HRESULT>(0x80040205));
    EXPECT_EQ(ComErrorDescription(error), L"The host refuses to change its visibility.");
    EXPECT_EQ(ComErrorSource(error), L"Brisk stand-in host");
  }
  try {
    host.GetVersionText();
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), static_cast<HRESULT>(0x800A03EC));
    EXPECT_EQ(ComErrorDescription(error), L"No version today.");
  }
  EXPECT_EQ(CaughtHresult([&] { host.GetIntProperty1209(); }), E_FAIL);
  // The failure of 2788 never leaves the host object.
  EXPECT_NO_THROW(host.PutIntProperty2788(1));
}

TEST_F(StandinHostTest, ShortIntegerAnswerIsConvertedForAFourByteRead) {
  StandinSession session(
      "int_1209=-1234\n"
      "reply_type.1209=i2\n"
      "ui_language=1033\n"
      "ui_language_type=i2\n");
  ASSERT_EQ(session.Create(), S_OK);
  EXPECT_EQ(session.host().GetIntProperty1209(), -1234);
  const std::vector<std::string> calls = session.Calls("application", kDispIntProperty1209);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(Contains(calls[0], "\"result\":{\"vt\":\"i2\",\"value\":-1234}")) << calls[0];
  // The language counts only as a four-byte integer.
  EXPECT_EQ(session.host().GetUiLanguageId(), 0);
}

TEST_F(StandinHostTest, UnknownMembersAndWrongKindsAreNotFound) {
  StandinSession session;
  ASSERT_EQ(session.Create(), S_OK);
  LONG number = 0;
  EXPECT_EQ(CaughtHresult([&] { DispatchGet(session.app(), 4711, VT_I4, &number); }), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(CaughtHresult([&] { DispatchPut(session.app(), kDispVersion, VT_I4, 16L); }), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(CaughtHresult([&] { DispatchGet(session.app(), kDispQuit, VT_I4, &number); }), DISP_E_MEMBERNOTFOUND);
}

TEST_F(StandinHostTest, VersionTextGivesTheMajorVersion) {
  const struct {
    const char* config;
    int major;
  } cases[] = {{"version=15.0\n", 15}, {"version=\n", 0}};
  for (const auto& c : cases) {
    StandinSession session(c.config);
    ASSERT_EQ(session.Create(), S_OK);
    EXPECT_EQ(session.host().GetMajorVersion(), c.major) << c.config;
  }
}

TEST_F(StandinHostTest, ProductCodeChoosesTheAddinBitness) {
  const struct {
    int major;
    const char* productCode;
    bool is64;
    std::size_t productCodeCalls;
  } cases[] = {
      {16, "{3F2A5C10-7B44-4D21-1000-5E6F7A8B9C0D}", true, 1},
      {16, "{3F2A5C10-7B44-4D21-0000-5E6F7A8B9C0D}", false, 1},
      {13, "{3F2A5C10-7B44-4D21-1000-5E6F7A8B9C0D}", false, 0},
  };
  for (const auto& c : cases) {
    StandinSession session("version=" + std::to_string(c.major) + ".0\nproduct_code=" + c.productCode + "\n");
    ASSERT_EQ(session.Create(), S_OK);
    const HostApplication host = session.host();
    EXPECT_EQ(host.IsHost64Bit(host.GetMajorVersion()), c.is64) << c.productCode;
    EXPECT_EQ(session.Calls("application", kDispProductCode).size(), c.productCodeCalls);
  }
  // Without one, the stand-in reports a product code of its own bitness,
  // as a real host does.
  StandinSession session("version=16.0\n");
  ASSERT_EQ(session.Create(), S_OK);
  const HostApplication host = session.host();
  EXPECT_EQ(host.IsHost64Bit(host.GetMajorVersion()), sizeof(void*) == 8);
}

TEST_F(StandinHostTest, InstallationCheckReadsTheFixtureExecutable) {
  const std::wstring fixture = test::WinePath(BRISK_STANDIN_FIXTURES_DIR) + L"\\11.0.8172.0";
  std::string folder(fixture.begin(), fixture.end());
  StandinSession session("install_path=" + folder + "\n");
  ASSERT_EQ(session.Create(), S_OK);
  EXPECT_EQ(session.host().GetInstallPath(), fixture);
  const HostFileVersion expected{11, 0, 8172, 0};
  EXPECT_EQ(session.host().GetInstalledHostFileVersion(), expected);
}

TEST_F(StandinHostTest, MainWindowTitleAndVisibilityFollowTheProperties) {
  StandinSession session("caption=First\n");
  ASSERT_EQ(session.Create(), S_OK);
  const HostApplication host = session.host();
  const HWND main = host.GetMainWindowHandle();
  wchar_t className[64] = {};
  GetClassNameW(main, className, 64);
  EXPECT_STREQ(className, L"XLMAIN");
  EXPECT_FALSE(IsWindowVisible(main));
  host.SetCaption(L"Second caption");
  wchar_t title[64] = {};
  GetWindowTextW(main, title, 64);
  EXPECT_STREQ(title, L"Second caption");
  EXPECT_EQ(host.GetCaption(), L"Second caption");
  host.SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(main));
  host.SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(main));
}

TEST_F(StandinHostTest, LogWritesTextsAsUtf8WithUnpairedSurrogatesReplaced) {
  StandinSession session;
  ASSERT_EQ(session.Create(), S_OK);
  session.host().SetCaption(std::wstring(L"\u00E4 ") + wchar_t(0xD800) + L"x");
  const std::vector<std::string> calls = session.Calls("application", kDispCaption);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(Contains(calls[0],
                       "\"args\":[{\"vt\":\"bstr\",\"value\":\"\xC3\xA4 \xEF\xBF\xBD"
                       "x\"}]"))
      << calls[0];
}

// Which window FindHostWindow takes in the host process, by the titles of
// the windows involved (empty: the reported one).
TEST_F(StandinHostTest, FindsTheMainWindowFromVersion14) {
  const struct {
    const char* name;
    const char* config;
    const wchar_t* expectedTitle;
    bool captionRead;
  } cases[] = {
      {"reported window is the only candidate", "caption=Main\n", L"Main", false},
      {"one candidate besides the reported window", "caption=Main\nreported_window=other\n", L"Main", false},
      {"two candidates, one titled as the caption", "caption=Main\nreported_window=other\nextra_window=Side\n", L"Main",
       true},
      {"two candidates, the extra titled as the caption",
       "caption=Main\nmain_title=Untitled\nreported_window=other\nextra_window=Main\n", L"Main", true},
      {"two candidates, none titled as the caption",
       "caption=Main\nmain_title=Untitled\nreported_window=other\nextra_window=Side\n", L"Stand-in helper", true},
      {"two candidates, none titled as the caption, reported is one",
       "caption=Main\nmain_title=Untitled\nreported_window=extra1\nextra_window=Side\n", L"Side", true},
      {"class differs in case only", "caption=Main\nmain_class=xlmain\nreported_window=other\n", L"Stand-in helper",
       false},
  };
  for (const auto& c : cases) {
    StandinSession session(c.config);
    ASSERT_EQ(session.Create(), S_OK) << c.name;
    const std::vector<WindowInfo> windows = test::TopLevelWindows(session.ServerProcessId());
    const HWND found = session.host().FindHostWindow(16);
    EXPECT_EQ(found, WindowTitled(windows, c.expectedTitle)) << c.name;
    EXPECT_NE(found, nullptr) << c.name;
    EXPECT_EQ(session.Calls("application", kDispCaption).empty(), !c.captionRead) << c.name;
  }
}

TEST_F(StandinHostTest, FindsTheMainWindowByClassAndCaptionBelowVersion14) {
  {
    StandinSession session("caption=Old Host\nreported_window=none\n");
    ASSERT_EQ(session.Create(), S_OK);
    const std::vector<WindowInfo> windows = test::TopLevelWindows(session.ServerProcessId());
    EXPECT_EQ(session.host().FindHostWindow(12), WindowTitled(windows, L"Old Host"));
    EXPECT_NE(session.host().FindHostWindow(13), nullptr);
    EXPECT_TRUE(session.Calls("application", kDispMainWindowHandle).empty());
  }
  {
    StandinSession session("caption=Old Host\nmain_title=Untitled\nextra_window=Old Host\n");
    ASSERT_EQ(session.Create(), S_OK);
    const std::vector<WindowInfo> windows = test::TopLevelWindows(session.ServerProcessId());
    const HWND extra = WindowTitled(windows, L"Old Host");
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(session.host().FindHostWindow(12), extra);
    EXPECT_NE(session.host().GetMainWindowHandle(), extra);
  }
  {
    // A visible window of the same class and caption (as a host the user
    // runs shows) before the hidden one: the hidden one is the host's.
    StandinSession session("caption=Old Host\nextra_window=Old Host\n");
    ASSERT_EQ(session.Create(), S_OK);
    const HWND main = session.host().GetMainWindowHandle();
    ASSERT_FALSE(IsWindowVisible(main));
    EXPECT_EQ(session.host().FindHostWindow(11), main);
  }
}

HostQuestion TestQuestion() { return {L"The host has not answered.", L"Host wait test"}; }

bool QuestionClosesWithin(DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  while (test::FindQuestionBox(GetCurrentProcessId())) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(20);
  }
  return true;
}

// Every member waits for the host by the host wait's rule, whether the host
// handles nothing meanwhile or shows a dialog of its own: after the silence
// limit the user is asked, Retry waits on and asks again after the next
// limit, and the host's answer closes the question; the call's answer
// stands.
TEST_F(StandinHostTest, CallsAreWaitedForAndTheUserAskedUntilTheHostAnswers) {
  for (const char* holding : {"hang", "dialog"}) {
    SCOPED_TRACE(holding);
    StandinSession session(std::string("version=15.0\nfail.392=") + holding + " 3500\n");
    HostWait wait(TestQuestion(), 1000);
    ASSERT_EQ(wait.StartHost(), S_OK);
    const HostApplication host(wait.application(), &wait);
    const ULONGLONG called = GetTickCount64();
    {
      const test::QuestionAnswerer user(GetCurrentProcessId(), {IDRETRY, IDRETRY, IDRETRY, IDRETRY});
      EXPECT_EQ(host.GetVersionText(), L"15.0");
      EXPECT_GE(user.asked(), 2) << "Retry did not ask again after the next limit";
    }
    EXPECT_GE(GetTickCount64() - called, 3000u);
    EXPECT_TRUE(QuestionClosesWithin(2000)) << "the question stayed up after the answer";
    EXPECT_TRUE(wait.WithinReach());
  }
}

// Cancel gives the host up: the call under way is cancelled at once, and no
// later member reaches the host.
TEST_F(StandinHostTest, CancelGivesTheHostUpAndNoFurtherCallIsMade) {
  StandinSession session("fail.392=hang 8000\n");
  HostWait wait(TestQuestion(), 1000);
  ASSERT_EQ(wait.StartHost(), S_OK);
  const HostApplication host(wait.application(), &wait);
  const test::QuestionAnswerer user(GetCurrentProcessId(), {IDCANCEL});
  const ULONGLONG called = GetTickCount64();
  EXPECT_EQ(CaughtHresult([&] { host.GetVersionText(); }), RPC_E_CALL_CANCELED);
  EXPECT_LT(GetTickCount64() - called, 6000u) << "the launch's thread waited on after Cancel";
  EXPECT_EQ(wait.reach(), HostReach::kGivenUp);
  EXPECT_EQ(CaughtHresult([&] { host.GetCaption(); }), RPC_E_CALL_CANCELED);
  EXPECT_EQ(CaughtHresult([&] { host.PutIntProperty2788(1); }), RPC_E_CALL_CANCELED);
  EXPECT_TRUE(session.Calls("application", kDispCaption).empty()) << "a host given up was called";
  EXPECT_EQ(user.asked(), 1);
}

TEST_F(StandinHostTest, AuxiliaryWorkbookLoadsTheAddinFromItsFolder) {
  StandinSession session("version=14.0\n");
  ASSERT_EQ(session.Create(), S_OK);
  const std::wstring folder = session.folder().path();
  ASSERT_TRUE(CopyFileW(test::WinePath(BRISK_RECORDER_DLL).c_str(), (folder + L"\\briskstub.dll").c_str(), FALSE));
  const std::vector<std::uint8_t> aux = MakeAuxWorkbook();
  const std::wstring auxPath = folder + L"\\k3v9x2qa.xls";
  ASSERT_TRUE(test::WriteFileBytes(auxPath, std::string(aux.begin(), aux.end())));

  EXPECT_TRUE(session.host().OpenWorkbook(auxPath).workbookReturned);

  EXPECT_EQ(test::ReadFileBytes(folder + L"\\first_contact.txt"), "code=1170\nreserved=0\nversion=14.0\n");
  const std::string contact = session.Event("first_contact");
  EXPECT_TRUE(Contains(
      contact, "\"addin\":" + Quoted(folder + L"\\briskstub.dll") + ",\"loaded\":true,\"entry\":true,\"returned\":1"))
      << contact;
  const std::vector<std::string> opens = session.Calls("workbooks", kDispWorkbooksOpen);
  ASSERT_EQ(opens.size(), 1u);
  std::string arguments = "\"args\":[{\"vt\":\"bstr\",\"value\":" + Quoted(auxPath) + "}";
  for (int i = 0; i < 12; ++i) arguments += ",{\"vt\":\"error\",\"value\":\"0x80020004\"}";
  EXPECT_TRUE(Contains(opens[0], "\"kind\":\"method\",\"lcid\":2048," + arguments + "],\"named\":[]")) << opens[0];
  // The workbook closed itself: the file is free to be deleted at once.
  EXPECT_TRUE(DeleteFileW(auxPath.c_str()));
}

// The project's own add-in, loaded the same way, takes over the host's main
// window.
TEST_F(StandinHostTest, AuxiliaryWorkbookLoadsTheProjectsAddin) {
  StandinSession session;
  ASSERT_EQ(session.Create(), S_OK);
  const std::wstring folder = session.folder().path();
  ASSERT_TRUE(CopyFileW(test::WinePath(BRISK_STANDIN_ADDIN_DLL).c_str(), (folder + L"\\briskstub.dll").c_str(), FALSE));
  ASSERT_TRUE(
      test::WriteFileBytes(folder + L"\\briskstub.json", "{\"log\": " + Quoted(folder + L"\\addin.jsonl") + "}"));
  const std::vector<std::uint8_t> aux = MakeAuxWorkbook();
  const std::wstring auxPath = folder + L"\\w8c2n5rt.xls";
  ASSERT_TRUE(test::WriteFileBytes(auxPath, std::string(aux.begin(), aux.end())));

  EXPECT_TRUE(session.host().OpenWorkbook(auxPath).workbookReturned);

  EXPECT_TRUE(Contains(session.Event("first_contact"), "\"loaded\":true,\"entry\":true,\"returned\":1"))
      << session.Event("first_contact");
  const std::string addinLog = test::ReadFileBytes(folder + L"\\addin.jsonl").value_or("");
  EXPECT_TRUE(Contains(addinLog, "\"kind\":\"attach\"")) << addinLog;
  EXPECT_TRUE(Contains(addinLog, "1170")) << addinLog;
}

TEST_F(StandinHostTest, AuxiliaryWorkbookWithoutAddinIsIgnoredQuietly) {
  StandinSession session;
  ASSERT_EQ(session.Create(), S_OK);
  const std::vector<std::uint8_t> aux = MakeAuxWorkbook();
  const std::wstring auxPath = session.folder() / L"q7m2p4kd.xls";
  ASSERT_TRUE(test::WriteFileBytes(auxPath, std::string(aux.begin(), aux.end())));
  EXPECT_TRUE(session.host().OpenWorkbook(auxPath).workbookReturned);
  EXPECT_TRUE(Contains(session.Event("first_contact"), "\"loaded\":false,\"entry\":false"));
}

// Workbooks.Open with the path alone, as the client sees the answer.
HRESULT InvokeOpen(IDispatch* workbooks, const std::wstring& path, UniqueVariant& result, UniqueExcepInfo& exception) {
  UniqueBstr pathText = MakeBstr(path);
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_BSTR;
  argument.bstrVal = pathText.get();
  DISPPARAMS params{&argument, nullptr, 1, 0};
  UINT argumentError = 0;
  return workbooks->Invoke(kDispWorkbooksOpen, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, result.get(),
                           exception.get(), &argumentError);
}

// What the host answers for the auxiliary workbook after its open handler
// has run; an ordinary workbook is answered with a workbook whatever is
// configured.
TEST_F(StandinHostTest, AuxiliaryOpenAnswersAsConfigured) {
  const struct {
    const char* config;
    const char* logged;
    HRESULT hr;
    VARTYPE vt;
    const wchar_t* description;
  } cases[] = {
      {"", "workbook", S_OK, VT_DISPATCH, nullptr},
      {"open_result=empty\n", "empty", S_OK, VT_EMPTY, nullptr},
      {"open_result=exception\n", "exception", DISP_E_EXCEPTION, VT_EMPTY,
       L"The workbook was closed while it was being opened."},
      {"open_result=exception Closed by its own macro.\n", "exception", DISP_E_EXCEPTION, VT_EMPTY,
       L"Closed by its own macro."},
      {"open_result=hresult 80010108\n", "hresult", RPC_E_DISCONNECTED, VT_EMPTY, nullptr},
      {"open_result=disconnected\n", "disconnected", S_OK, VT_DISPATCH, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logged);
    StandinSession session(c.config);
    ASSERT_EQ(session.Create(), S_OK);
    const std::wstring folder = session.folder().path();
    ASSERT_TRUE(CopyFileW(test::WinePath(BRISK_RECORDER_DLL).c_str(), (folder + L"\\briskstub.dll").c_str(), FALSE));
    const std::vector<std::uint8_t> aux = MakeAuxWorkbook();
    const std::wstring auxPath = folder + L"\\p5t8w2ze.xls";
    ASSERT_TRUE(test::WriteFileBytes(auxPath, std::string(aux.begin(), aux.end())));
    const std::wstring bookPath = folder + L"\\book.xls";
    ASSERT_TRUE(test::WriteFileBytes(bookPath, "an ordinary workbook"));
    ComRef<IDispatch> workbooks;
    DispatchGet(session.app(), kDispWorkbooks, VT_DISPATCH, workbooks.put());
    ASSERT_TRUE(workbooks);

    UniqueVariant result;
    UniqueExcepInfo exception;
    EXPECT_EQ(InvokeOpen(workbooks.get(), auxPath, result, exception), c.hr);
    EXPECT_EQ(result->vt, c.vt);
    if (c.description != nullptr) {
      EXPECT_EQ(static_cast<std::uint32_t>(exception->scode), 0x800A03ECu);
      EXPECT_EQ(std::wstring(exception->bstrDescription, SysStringLen(exception->bstrDescription)), c.description);
    }
    // The open handler ran first, whatever the answer.
    EXPECT_TRUE(Contains(session.Event("first_contact"), "\"returned\":1")) << session.Event("first_contact");
    const std::vector<std::string> opens = session.Calls("workbooks", kDispWorkbooksOpen);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_TRUE(Contains(opens[0], std::string("\"open_result\":\"") + c.logged + "\"")) << opens[0];

    if (result->vt == VT_DISPATCH) {
      // Any call reaches a live workbook, which knows no member; a
      // disconnected one is gone before the client's next call arrives.
      IDispatch* workbook = result->pdispVal;
      const bool disconnected = std::string(c.logged) == "disconnected";
      DISPPARAMS none{};
      EXPECT_EQ(workbook->Invoke(4711, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
                disconnected ? RPC_E_DISCONNECTED : DISP_E_MEMBERNOTFOUND);
      EXPECT_EQ(Contains(session.WaitForEvent("disconnected", disconnected ? kExitWait : 0), "\"hr\":\"0x00000000\""),
                disconnected);
    }

    UniqueVariant book;
    UniqueExcepInfo bookException;
    EXPECT_EQ(InvokeOpen(workbooks.get(), bookPath, book, bookException), S_OK);
    EXPECT_EQ(book->vt, VT_DISPATCH);
    const std::vector<std::string> both = session.Calls("workbooks", kDispWorkbooksOpen);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_FALSE(Contains(both[1], "open_result")) << both[1];
  }
}

// The project's add-in told to crash at a hand-over message ends the host
// as it handles that message, after its log says so.
TEST_F(StandinHostTest, AddinCrashAtAMessageEndsTheHost) {
  StandinSession session;
  ASSERT_EQ(session.Create(), S_OK);
  const std::wstring folder = session.folder().path();
  ASSERT_TRUE(CopyFileW(test::WinePath(BRISK_STANDIN_ADDIN_DLL).c_str(), (folder + L"\\briskstub.dll").c_str(), FALSE));
  ASSERT_TRUE(test::WriteFileBytes(folder + L"\\briskstub.json",
                                   "{\"log\": " + Quoted(folder + L"\\addin.jsonl") + ", \"crashOnMessage\": 1159}"));
  const std::vector<std::uint8_t> aux = MakeAuxWorkbook();
  const std::wstring auxPath = folder + L"\\m4x7c2vb.xls";
  ASSERT_TRUE(test::WriteFileBytes(auxPath, std::string(aux.begin(), aux.end())));
  ComRef<IDispatch> workbooks;
  DispatchGet(session.app(), kDispWorkbooks, VT_DISPATCH, workbooks.put());
  ASSERT_TRUE(workbooks);
  UniqueVariant result;
  UniqueExcepInfo exception;
  ASSERT_EQ(InvokeOpen(workbooks.get(), auxPath, result, exception), S_OK);
  LONG mainWindow = 0;
  DispatchGet(session.app(), kDispMainWindowHandle, VT_I4, &mainWindow);
  ASSERT_NE(mainWindow, 0);

  DWORD_PTR answer = 0;
  EXPECT_EQ(SendMessageTimeoutW(static_cast<HWND>(LongToHandle(mainWindow)), 1159, GetCurrentProcessId(), 0,
                                SMTO_NORMAL, kExitWait, &answer),
            0);
  EXPECT_TRUE(session.WaitForServerExit(kExitWait));
  EXPECT_EQ(session.ServerExitCode(), std::optional<DWORD>(0xC0000005));
  const std::string addinLog = test::ReadFileBytes(folder + L"\\addin.jsonl").value_or("");
  EXPECT_TRUE(Contains(addinLog, "\"kind\":\"crash\",\"msg\":1159,\"window\":" + std::to_string(mainWindow)))
      << addinLog;
  EXPECT_FALSE(Contains(addinLog, "\"kind\":\"events\"")) << "message 1159 was handled after the crash";
}

TEST_F(StandinHostTest, OrdinaryAndMissingWorkbooks) {
  StandinSession session;
  ASSERT_EQ(session.Create(), S_OK);
  const std::wstring bookPath = session.folder() / L"book.xls";
  ASSERT_TRUE(test::WriteFileBytes(bookPath, "an ordinary workbook"));
  EXPECT_TRUE(session.host().OpenWorkbook(bookPath).workbookReturned);
  EXPECT_TRUE(session.Event("first_contact").empty());
  // A missing file fails inside the host, which the open does not raise.
  EXPECT_FALSE(session.host().OpenWorkbook(session.folder() / L"missing.xls").workbookReturned);
  const std::vector<std::string> opens = session.Calls("workbooks", kDispWorkbooksOpen);
  ASSERT_EQ(opens.size(), 2u);
  EXPECT_TRUE(Contains(opens[1], "\"hr\":\"0x80020009\"")) << opens[1];
}

TEST_F(StandinHostTest, CloseAllAndQuitEndTheHost) {
  StandinSession session;
  ASSERT_EQ(session.Create(), S_OK);
  const HostApplication host = session.host();
  host.SetUserControl(true);
  host.CloseAll();
  EXPECT_EQ(session.Calls("workbooks", kDispWorkbooksClose).size(), 1u);
  host.Quit();
  EXPECT_TRUE(session.WaitForServerExit(kExitWait));
  session.Release();
}

TEST_F(StandinHostTest, QuitCanBeRefused) {
  StandinSession session("quit_on_quit=0\n");
  ASSERT_EQ(session.Create(), S_OK);
  session.host().Quit();
  EXPECT_EQ(session.host().GetVersionText(), L"16.0");
}

TEST_F(StandinHostTest, ReleaseWithoutUserControlEndsTheHost) {
  StandinSession session;
  ASSERT_EQ(session.Create(), S_OK);
  session.Release();
  EXPECT_TRUE(session.WaitForServerExit(kExitWait));
  EXPECT_TRUE(Contains(session.Event("released"), "\"user_control\":false"));
}

TEST_F(StandinHostTest, CrashingHostFailsTheCall) {
  StandinSession session("fail.392=crash\n");
  ASSERT_EQ(session.Create(), S_OK);
  EXPECT_TRUE(FAILED(CaughtHresult([&] { session.host().GetVersionText(); })));
  EXPECT_TRUE(session.WaitForServerExit(kExitWait));
  EXPECT_TRUE(FAILED(CaughtHresult([&] { session.host().GetCaption(); })));
}

TEST_F(StandinHostTest, LateClassRegistrationStillCreatesTheHost) {
  StandinSession session("register_delay_ms=1500\n");
  ASSERT_EQ(session.Create(), S_OK);
  EXPECT_EQ(session.host().GetVersionText(), L"16.0");
}

TEST_F(StandinHostTest, EachCreationStartsItsOwnHost) {
  StandinSession session;
  ASSERT_EQ(session.Create(), S_OK);
  ComRef<IDispatch> second;
  ASSERT_EQ(CreateHostApplication(second.put()), S_OK);
  DWORD firstProcess = 0;
  DWORD secondProcess = 0;
  GetWindowThreadProcessId(session.host().GetMainWindowHandle(), &firstProcess);
  GetWindowThreadProcessId(HostApplication(second.get()).GetMainWindowHandle(), &secondProcess);
  EXPECT_NE(firstProcess, 0u);
  EXPECT_NE(secondProcess, 0u);
  EXPECT_NE(firstProcess, secondProcess);
}

TEST_F(StandinHostTest, ExecutableRegistersAndUnregistersItself) {
  test::TempFolder folder;
  const std::wstring exe = test::WinePath(BRISK_STANDIN_HOST_EXE);
  const std::wstring config = folder / L"by-hand.cfg";
  ASSERT_TRUE(test::WriteFileBytes(config, "version=12.0\n"));
  const auto run = [&](const std::wstring& arguments) {
    test::ChildProcess server(exe, arguments);
    if (!server.started()) return static_cast<DWORD>(-1);
    return server.WaitForExit(kExitWait).value_or(static_cast<DWORD>(-2));
  };
  ASSERT_EQ(run(L"/regserver -config \"" + config + L"\""), 0u);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{0510058B-0FB8-43EF-B72F-FDBA84552B06}\\LocalServer32", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  wchar_t command[1024] = {};
  DWORD size = sizeof command;
  RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(command), &size);
  RegCloseKey(key);
  EXPECT_EQ(std::wstring(command), standin::StandinServerCommand(exe, config));
  const std::wstring progId = GetEncodedStringWide(kHostProgId);
  CLSID classId{};
  EXPECT_EQ(CLSIDFromProgID(progId.c_str(), &classId), S_OK);
  EXPECT_TRUE(IsEqualCLSID(classId, standin::kStandinHostClassId));

  ASSERT_EQ(run(L"/unregserver"), 0u);
  EXPECT_TRUE(FAILED(CLSIDFromProgID(progId.c_str(), &classId)));
}

}  // namespace
}  // namespace brisk

// The splash closed by the user, an add-in that never reports ready, and a
// host that fails or dies in the middle of the hand-over, which the user is
// told of.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>

#include "e2e_fixture.h"
#include "payload/encoded_strings.h"

namespace brisk::e2e {
namespace {

using ::testing::ElementsAreArray;
using ::testing::EndsWith;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;

// A launcher that is to wait shows it by still running after this pause.
constexpr DWORD kStillWaitingMs = 1000;

std::vector<std::uint32_t> MessageNumbers(const addin::AddinLog& log) {
  std::vector<std::uint32_t> numbers;
  for (const addin::MessageRecord& m : log.messages) numbers.push_back(m.number);
  return numbers;
}

bool HandedOver(const addin::AddinLog& log) {
  const std::vector<std::uint32_t> numbers = MessageNumbers(log);
  return std::find(numbers.begin(), numbers.end(), 1171u) != numbers.end();
}

class SplashTest : public E2eTest {
 protected:
  void SetUpNeverReady() {
    AddinSetup addin;
    addin.ready = "never";
    scenario_.SetAddin(addin);
    scenario_.SetHost({});
    ASSERT_EQ(scenario_.Build({}), "");
  }

  // A completed hand-over whose add-in never reported ready; the host keeps
  // running, visible, until the user closes it.
  void ExpectHandedOverWithoutReady(const LauncherRun& run) {
    const addin::AddinLog log = scenario_.AddinLog();
    addin::HandoverExpectation expect = CompletedHandover(run.id());
    expect.visibleAtEnd = true;
    EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
    EXPECT_THAT(CheckHandoverFiles(scenario_, log, run, L"Sample.xlsx"), IsEmpty());
    ASSERT_THAT(log.signals, SizeIs(2));
    EXPECT_EQ(log.signals[0].state, "skipped");
    EXPECT_THAT(scenario_.HostLog().Events("released"), SizeIs(1)) << "the launcher did not let go of the host";
    EXPECT_TRUE(scenario_.CloseHostsAsUser());
  }
};

TEST_F(SplashTest, SplashClosedByTheUserAtOnceSparesTheWaitForTheAddin) {
  SetUpNeverReady();
  auto run = scenario_.Start(L"");
  HWND splash = run->WaitForSplash();
  ASSERT_NE(splash, nullptr);
  ClickWindow(splash);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->SeenDialogs(), IsEmpty());
  ExpectHandedOverWithoutReady(*run);
}

TEST_F(SplashTest, AddinNeverReadyHoldsTheLauncherUntilTheSplashIsClosed) {
  SetUpNeverReady();
  auto run = scenario_.Start(L"");
  HWND splash = run->WaitForSplash();
  ASSERT_NE(splash, nullptr);
  ASSERT_TRUE(run->WaitUntil([&] { return HandedOver(scenario_.AddinLog()); }, kLaunchMs));
  EXPECT_FALSE(run->WaitForExit(kStillWaitingMs).has_value()) << "the launcher did not wait for the add-in";
  EXPECT_TRUE(run->SplashShown());
  EXPECT_THAT(scenario_.HostLog().Events("released"), IsEmpty()) << "the host was let go before the add-in was ready";
  PressKey(splash, VK_ESCAPE);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  ExpectHandedOverWithoutReady(*run);
}

struct HostFailureCase {
  const char* name;
  std::string failure;                  // a line of the stand-in host's configuration
  std::vector<std::uint32_t> messages;  // what reaches the add-in
  bool crash;
  // The notice ends with "(CODE: description)": the error's code, and the
  // host's own description when it raised an exception.
  std::wstring code;
  std::wstring description;
  std::wstring arguments = L"-xlstest";
  // The failure came after the add-in's first contact.
  bool addinLoaded = true;
  // Failure messages name the case instead of dumping its bytes.
  friend void PrintTo(const HostFailureCase& c, std::ostream* out) { *out << c.name; }
};

const std::vector<std::uint32_t> kMessagesTo1179 = {1159, 1181, 1160, 1156, 1158, 1166,
                                                    1155, 1157, 1164, 1168, 1163, 1179};

class HostFailureTest : public E2eTest, public ::testing::WithParamInterface<HostFailureCase> {};

// The notice of a host that failed or died: the text of encoded string 66,
// then the error's code and, when given, its description.
void ExpectHostFailureNotice(const std::wstring& text, const std::wstring& code, const std::wstring& description) {
  const std::wstring notice = Wide(GetEncodedStringA(kHostStoppedResponding)) + L"\n\n(" + code;
  if (!description.empty()) {
    EXPECT_EQ(text, notice + L": " + description + L")");
  } else {
    EXPECT_THAT(text, StartsWith(notice));
    EXPECT_THAT(text, EndsWith(L")"));
  }
}

TEST_P(HostFailureTest, EndsTheLaunchWithANoticeAndLeavesNothing) {
  const HostFailureCase& c = GetParam();
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {c.failure}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(c.arguments);
  HWND box = run->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "the failing host was not told of";
  EXPECT_TRUE(run->WaitUntil([&] { return !run->SplashShown(); }, kDialogMs)) << "the splash stays over the notice";
  const MessageBoxText notice = ReadMessageBox(box);
  EXPECT_EQ(notice.caption, Wide(GetEncodedStringA(kWarningTitleDefault)));
  EXPECT_EQ(notice.owner, nullptr);
  ExpectHostFailureNotice(notice.text, c.code, c.description);
  // The user is told first; the host is closed after.
  EXPECT_THAT(scenario_.HostLog().Calls("application", 302), IsEmpty()) << "the host was closed before the notice";
  PressButton(box, IDOK);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_THAT(MessageNumbers(log), ElementsAreArray(c.messages));
  if (c.addinLoaded) {
    EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsx"), IsEmpty());
  } else {
    EXPECT_THAT(log.attaches, IsEmpty());
  }
  if (!c.crash) {
    EXPECT_THAT(scenario_.HostLog().Calls("application", 302), SizeIs(1)) << "the host was not asked to quit";
  }
  EXPECT_TRUE(scenario_.WaitForHostsToExit()) << "the host is still running";
  EXPECT_THAT(scenario_.TempTree(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, HostFailureTest,
    ::testing::Values(HostFailureCase{"ExceptionBetweenMessages",
                                      "fail.1209=exception 5 Broken property",
                                      {1159},
                                      false,
                                      L"0x80040205",
                                      L"Broken property"},
                      HostFailureCase{"ExceptionAfterMessages", "fail.1210=exception 5 No user control",
                                      kMessagesTo1179, false, L"0x80040205", L"No user control"},
                      HostFailureCase{"CrashBetweenMessages", "fail.1209=crash", {1159}, true, L"0x800706BE", L""},
                      HostFailureCase{"CrashWhileOpeningTheStartupWorkbook",
                                      "fail.workbooks.682=crash",
                                      {},
                                      true,
                                      L"0x800706BE",
                                      L"",
                                      L"-xlstest",
                                      false},
                      HostFailureCase{"CrashAfterMessages", "fail.1210=crash", kMessagesTo1179, true, L"0x800706BE",
                                      L""},
                      HostFailureCase{"ExceptionAfterMessagesUnderTheSplash", "fail.1210=exception 5 No user control",
                                      kMessagesTo1179, false, L"0x80040205", L"No user control", L""}),
    [](const ::testing::TestParamInfo<HostFailureCase>& info) { return std::string(info.param.name); });

TEST_F(E2eTest, FailingProperty2788IsIgnored) {
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {"fail.2788=exception 5 Not supported here"}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->seen(), IsEmpty());
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_THAT(addin::CheckHandover(log, CompletedHandover(run->id())), IsEmpty());
  EXPECT_THAT(scenario_.HostLog().Calls("application", 302), IsEmpty()) << "the host was asked to quit";
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

}  // namespace
}  // namespace brisk::e2e

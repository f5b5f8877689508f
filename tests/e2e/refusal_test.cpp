// Starts that stop before the hand-over: a damaged build, no host, an add-in
// that cannot be written, the password and the licence answered by the user.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include "e2e_fixture.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"

namespace brisk::e2e {
namespace {

using ::testing::IsEmpty;
using ::testing::SizeIs;

constexpr char kPassword[] = "s3cret-K";

std::wstring EncodedText(int number) { return Wide(GetEncodedStringA(number)); }
std::wstring WarningCaption() { return EncodedText(kWarningTitleDefault); }

class RefusalTest : public E2eTest {
 protected:
  // A launch that ended with nothing started: no host process, no add-in
  // contact, no file in the temporary folder.
  void ExpectNothingStarted() {
    EXPECT_THAT(scenario_.HostProcesses(), IsEmpty()) << "a host was started";
    EXPECT_THAT(scenario_.AddinLog().attaches, IsEmpty());
    EXPECT_THAT(scenario_.TempTree(), IsEmpty());
  }

  // A completed test-mode hand-over; the host is then closed as a user would.
  void ExpectCompletedAndCloseHost(const LauncherRun& run) {
    const addin::AddinLog log = scenario_.AddinLog();
    EXPECT_THAT(addin::CheckHandover(log, CompletedHandover(run.id())), IsEmpty());
    EXPECT_THAT(CheckHandoverFiles(scenario_, log, run, L"Sample.xlsx"), IsEmpty());
    EXPECT_THAT(scenario_.HostProcesses(), SizeIs(1));
    EXPECT_TRUE(scenario_.CloseHostsAsUser());
  }
};

TEST_F(RefusalTest, WrongMagicShowsTheDamagedWarningAndStartsNothing) {
  scenario_.SetAddin({});
  scenario_.SetHost({});
  BuildSetup build;
  build.magic = 0x12345678;
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"-xlstest");
  const MessageBoxText box = AnswerMessageBox(*run);
  EXPECT_EQ(box.text, EncodedText(kSettingsMagicWrong));
  EXPECT_EQ(box.caption, WarningCaption());
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));
  ExpectNothingStarted();
}

TEST_F(RefusalTest, HostNotRegisteredShowsTheHostWarning) {
  scenario_.SetAddin({});
  scenario_.UnregisterHost();
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  const MessageBoxText box = AnswerMessageBox(*run);
  EXPECT_EQ(box.text, EncodedText(kHostNotCreated));
  EXPECT_EQ(box.caption, WarningCaption());
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));
  ExpectNothingStarted();
}

// An add-in of 10 bytes or less is no add-in: the build has none for this
// host, which is what the user is told (not that the disk may be full). The
// builder never makes such a build: the payload is replaced in a good one.
TEST_F(RefusalTest, AddinTooShortQuitsTheHostAndSaysTheBuildHasNoAddinForIt) {
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {kHostProductCode32}});
  ASSERT_EQ(scenario_.Build({}), "");
  const std::string tenBytes = "ten bytes!";  // an add-in needs more than 10 bytes
  PayloadBuffer packed;
  ASSERT_TRUE(PackContainer(reinterpret_cast<const std::uint8_t*>(tenBytes.data()), tenBytes.size(), packed));
  ASSERT_EQ(scenario_.ReplacePayloads({{kAddin32Resource, std::vector<std::uint8_t>(packed.begin(), packed.end())}}),
            "");

  auto run = scenario_.Start(L"-xlstest");
  const MessageBoxText box = AnswerMessageBox(*run);
  EXPECT_EQ(box.text, EncodedText(kNoAddinFor32BitHost));
  EXPECT_EQ(box.caption, WarningCaption());
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));

  const HostCallLog host = scenario_.HostLog();
  EXPECT_THAT(host.Calls("application", 302), SizeIs(1)) << "the host was not asked to quit";
  EXPECT_THAT(host.Calls("workbooks", 682), IsEmpty()) << "nothing may be opened without the add-in";
  EXPECT_TRUE(scenario_.WaitForHostsToExit());
  EXPECT_THAT(scenario_.AddinLog().attaches, IsEmpty());
  EXPECT_THAT(scenario_.TempTree(), IsEmpty());
}

TEST_F(RefusalTest, HostOf64BitsWithoutThe64BitAddinQuitsTheHostAndSaysSo) {
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {kHostProductCode64}});
  BuildSetup build;
  build.addin64 = false;
  ASSERT_EQ(scenario_.Build(build), "");  // only the 32-bit add-in

  auto run = scenario_.Start(L"-xlstest");
  const MessageBoxText box = AnswerMessageBox(*run);
  EXPECT_EQ(box.text, EncodedText(kNoAddinFor64BitHost));
  EXPECT_THAT(scenario_.HostLog().Calls("application", 1798), SizeIs(1)) << "the bitness was not asked";
  EXPECT_THAT(scenario_.HostLog().Calls("application", 302), SizeIs(1)) << "the host was not asked to quit";
  EXPECT_TRUE(scenario_.WaitForHostsToExit());
  EXPECT_THAT(scenario_.TempTree(), IsEmpty());
}

// How the user meets the password prompt.
enum class Answer { kNoPrompt, kType, kCancel };
enum class Outcome { kLaunched, kRefused, kEnded };

struct PasswordCase {
  const char* name;
  std::wstring arguments;
  Answer answer;
  std::wstring typed;
  Outcome outcome;
  // Failure messages name the case instead of dumping its bytes.
  friend void PrintTo(const PasswordCase& c, std::ostream* out) { *out << c.name; }
};

class PasswordTest : public RefusalTest, public ::testing::WithParamInterface<PasswordCase> {};

TEST_P(PasswordTest, AnsweredAsTheUserDoes) {
  const PasswordCase& c = GetParam();
  scenario_.SetAddin({});
  scenario_.SetHost({});
  BuildSetup build;
  build.password = kPassword;
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(c.arguments);
  ASSERT_TRUE(run->started());
  if (c.answer != Answer::kNoPrompt) {
    HWND prompt = run->WaitForDialog();
    ASSERT_NE(prompt, nullptr) << "no password prompt";
    EXPECT_EQ(WindowText(prompt), EncodedText(kApplicationTitle) + L" " + Wide(kAppName));
    if (c.answer == Answer::kType) {
      HWND field = FindChild(prompt, L"Edit");
      ASSERT_NE(field, nullptr);
      TypeInto(field, c.typed);
      PressButton(prompt, IDOK);
    } else {
      PressButton(prompt, IDCANCEL);
    }
  }

  const std::size_t promptCount = c.answer == Answer::kNoPrompt ? 0 : 1;
  switch (c.outcome) {
    case Outcome::kLaunched:
      EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
      EXPECT_THAT(run->SeenDialogs(), SizeIs(promptCount));
      ExpectCompletedAndCloseHost(*run);
      break;
    case Outcome::kRefused: {
      const MessageBoxText box = AnswerMessageBox(*run);
      EXPECT_EQ(box.text, EncodedText(kPasswordIncorrectDefault));
      EXPECT_EQ(box.caption, WarningCaption());
      EXPECT_THAT(run->SeenDialogs(), SizeIs(promptCount + 1));
      ExpectNothingStarted();
      break;
    }
    case Outcome::kEnded:
      EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
      EXPECT_THAT(run->SeenDialogs(), SizeIs(promptCount)) << "cancelling shows nothing more";
      ExpectNothingStarted();
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Prompt, PasswordTest,
    ::testing::Values(
        PasswordCase{"FromCommandLineRight", L"-xlstest -p s3cret-K", Answer::kNoPrompt, L"", Outcome::kLaunched},
        PasswordCase{"FromCommandLineUpperCaseOption", L"-P s3cret-K -xlstest", Answer::kNoPrompt, L"",
                     Outcome::kLaunched},
        PasswordCase{"FromCommandLineWrong", L"-xlstest -p s3cret-k", Answer::kNoPrompt, L"", Outcome::kRefused},
        PasswordCase{"TypedRight", L"-xlstest", Answer::kType, L"s3cret-K", Outcome::kLaunched},
        PasswordCase{"TypedWrong", L"-xlstest", Answer::kType, L"s3cret", Outcome::kRefused},
        PasswordCase{"Cancelled", L"-xlstest", Answer::kCancel, L"", Outcome::kEnded}),
    [](const ::testing::TestParamInfo<PasswordCase>& info) { return std::string(info.param.name); });

TEST_F(RefusalTest, LicenceDeclinedEndsTheStartQuietly) {
  scenario_.SetAddin({});
  scenario_.SetHost({});
  BuildSetup build;
  build.licence = true;
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"");
  HWND licence = run->WaitForDialog();
  ASSERT_NE(licence, nullptr) << "no licence dialog";
  EXPECT_EQ(WindowText(licence), Wide(kAppName) + L" - " + EncodedText(kEulaTitleDefault));
  PressButton(licence, IDCANCEL);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->seen(), SizeIs(1)) << "no splash and no message after declining";
  ExpectNothingStarted();
}

TEST_F(RefusalTest, LicenceAcceptedStartsTheApplication) {
  scenario_.SetAddin({});
  scenario_.SetHost({});
  BuildSetup build;
  build.licence = true;
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"");
  HWND licence = run->WaitForDialog();
  ASSERT_NE(licence, nullptr) << "no licence dialog";
  EXPECT_THAT(scenario_.HostProcesses(), IsEmpty()) << "the host starts only after the licence";
  PressButton(licence, IDOK);
  EXPECT_NE(run->WaitForSplash(), nullptr);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));

  const addin::AddinLog log = scenario_.AddinLog();
  addin::HandoverExpectation expect = CompletedHandover(run->id());
  expect.visibleAtEnd = true;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsx"), IsEmpty());
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

TEST_F(RefusalTest, TranslatedTextsReachThePromptAndTheWarning) {
  scenario_.SetAddin({});
  scenario_.SetHost({});
  BuildSetup build;
  build.password = kPassword;
  build.language =
      "[content]\n"
      "WARNING_TITLE=Achtung \xE2\x80\x93 Pr\xC3\xBC"
      "fung\n"
      "PASSWORD_IS_INCORRECT=Das Kennwort f\xC3\xBCr <?APPNAME?> ist falsch.\n"
      "OK_BTN_TITLE=Weiter\n"
      "CANCEL_BTN_TITLE=Abbrechen\n";
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"-xlstest");
  HWND prompt = run->WaitForDialog();
  ASSERT_NE(prompt, nullptr) << "no password prompt";
  EXPECT_EQ(ItemText(prompt, IDOK), L"Weiter");
  EXPECT_EQ(ItemText(prompt, IDCANCEL), L"Abbrechen");
  HWND field = FindChild(prompt, L"Edit");
  ASSERT_NE(field, nullptr);
  TypeInto(field, L"wrong");
  PressButton(prompt, IDOK);
  const MessageBoxText box = AnswerMessageBox(*run);
  EXPECT_EQ(box.caption,
            L"Achtung \u2013 Pr\u00FC"
            L"fung");
  EXPECT_EQ(box.text, L"Das Kennwort f\u00FCr " + Wide(kAppName) + L" ist falsch.");
  ExpectNothingStarted();
}

}  // namespace
}  // namespace brisk::e2e

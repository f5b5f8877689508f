// Single-instance mode: a second start of the same build is refused while
// the first holds its mutex, and proceeds once the first has let it go.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e_fixture.h"
#include "payload/encoded_strings.h"

namespace brisk::e2e {
namespace {

using ::testing::IsEmpty;
using ::testing::SizeIs;

// The built-in text of APP_ALREADY_STARTED as the user reads it: the
// application's name in place of its macro, the line break expanded.
std::wstring AlreadyStartedText() {
  std::string text = GetEncodedStringA(kAppAlreadyStartedDefault);
  const std::string macro = "<?APPNAME?>";
  for (std::size_t at; (at = text.find(macro)) != std::string::npos;) text.replace(at, macro.size(), kAppName);
  for (std::size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
  return Wide(text);
}

bool HasMessage(const addin::AddinLog& log, std::uint32_t number) {
  return std::any_of(log.messages.begin(), log.messages.end(),
                     [&](const addin::MessageRecord& m) { return m.number == number; });
}

TEST_F(E2eTest, SingleInstanceRefusesASecondStartOnlyWhileTheFirstHoldsTheMutex) {
  // The first start waits at its licence (mutex held), later for an add-in
  // that never reports ready (mutex released), until its splash is closed.
  AddinSetup neverReady;
  neverReady.ready = "never";
  scenario_.SetAddin(neverReady);
  scenario_.SetHost({});
  BuildSetup build;
  build.flags = {"single-instance"};
  build.licence = true;
  ASSERT_EQ(scenario_.Build(build), "");

  auto first = scenario_.Start(L"");
  HWND licence = first->WaitForDialog();
  ASSERT_NE(licence, nullptr) << "no licence dialog";

  auto second = scenario_.Start(L"-xlstest");
  const MessageBoxText box = AnswerMessageBox(*second);
  EXPECT_EQ(box.text, AlreadyStartedText());
  EXPECT_EQ(box.caption, Wide(GetEncodedStringA(kWarningTitleDefault)));
  EXPECT_THAT(second->SeenDialogs(), SizeIs(1));
  EXPECT_THAT(scenario_.HostProcesses(), IsEmpty()) << "a refused second start must not start a host";
  EXPECT_TRUE(first->Running());

  PressButton(licence, IDOK);
  // Message 1160 follows the release of the mutex.
  ASSERT_TRUE(first->WaitUntil([&] { return HasMessage(scenario_.AddinLog(), 1160); }, kLaunchMs));

  scenario_.SetAddin({}, L"addin-third.jsonl");
  scenario_.SetHost({}, L"host-third.jsonl");
  auto third = scenario_.Start(L"-xlstest");
  EXPECT_EQ(third->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(third->seen(), IsEmpty()) << "the third start proceeds without a word";
  EXPECT_TRUE(first->Running()) << "the first start was to be still waiting";
  const addin::AddinLog thirdLog = scenario_.AddinLog(L"addin-third.jsonl");
  EXPECT_THAT(addin::CheckHandover(thirdLog, CompletedHandover(third->id())), IsEmpty());
  EXPECT_THAT(CheckHandoverFiles(scenario_, thirdLog, *third, L"Sample.xlsx"), IsEmpty());

  HWND splash = first->WaitForSplash();
  ASSERT_NE(splash, nullptr);
  ClickWindow(splash);
  EXPECT_EQ(first->WaitForExit(), std::optional<DWORD>(0));
  const addin::AddinLog firstLog = scenario_.AddinLog();
  EXPECT_THAT(addin::CheckHandover(firstLog, CompletedHandover(first->id())), IsEmpty());
  EXPECT_THAT(scenario_.HostProcesses(), SizeIs(2));
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

}  // namespace
}  // namespace brisk::e2e

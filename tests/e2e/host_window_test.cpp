// Which window of the host gets the hand-over: the main window among
// several, and none at all, which ends the launch with a notice.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "e2e_fixture.h"
#include "payload/encoded_strings.h"

namespace brisk::e2e {
namespace {

using ::testing::IsEmpty;
using ::testing::SizeIs;

TEST_F(E2eTest, HandOverGoesToTheWindowWithTheHostsCaption) {
  // Two windows of the host's class; the host reports the other one.
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {"extra_window=Book1", "reported_window=extra1"}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  const addin::AddinLog log = scenario_.AddinLog();
  EXPECT_THAT(addin::CheckHandover(log, CompletedHandover(run->id())), IsEmpty());
  ASSERT_THAT(log.attaches, SizeIs(1));
  EXPECT_EQ(log.attaches.front().windows, 2);
  ASSERT_FALSE(log.messages.empty());
  const HWND handedTo = reinterpret_cast<HWND>(log.messages.front().window);
  EXPECT_EQ(Utf8(WindowText(handedTo)), GetEncodedStringA(kApplicationTitle)) << "the caption went elsewhere";
  const std::vector<DWORD> hosts = scenario_.HostProcesses();
  ASSERT_THAT(hosts, SizeIs(1));
  int others = 0;
  for (const WindowInfo& window : TopLevelWindows(hosts.front())) {
    if (window.handle != handedTo && window.title == L"Book1") ++others;
  }
  EXPECT_EQ(others, 1) << "the other window was renamed or lost";
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

TEST_F(E2eTest, HostWithoutAMainWindowEndsWithANotice) {
  // No window of the host's class: the hand-over would reach nobody.
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {"main_class=OtherMain", "reported_window=none"}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  HWND box = run->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "the missing main window was not told of";
  const MessageBoxText notice = ReadMessageBox(box);
  EXPECT_EQ(notice.text, Wide(GetEncodedStringA(kHostWindowNotFound)));
  EXPECT_EQ(notice.caption, Wide(GetEncodedStringA(kWarningTitleDefault)));
  EXPECT_THAT(scenario_.HostLog().Calls("application", 302), IsEmpty()) << "the host was closed before the notice";
  PressButton(box, IDOK);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));

  const addin::AddinLog log = scenario_.AddinLog();
  ASSERT_THAT(log.attaches, SizeIs(1));
  EXPECT_EQ(log.attaches.front().windows, 0);
  EXPECT_THAT(log.messages, IsEmpty());
  const HostCallLog host = scenario_.HostLog();
  EXPECT_THAT(host.IntPuts(2788), IsEmpty()) << "the launch went on without a window";
  EXPECT_THAT(host.Calls("workbooks", 277), SizeIs(1)) << "the host's workbooks were not closed";
  EXPECT_THAT(host.Calls("application", 302), SizeIs(1)) << "the host was not asked to quit";
  EXPECT_TRUE(scenario_.WaitForHostsToExit()) << "the host is still running";
  EXPECT_THAT(scenario_.TempTree(), IsEmpty());
}

}  // namespace
}  // namespace brisk::e2e

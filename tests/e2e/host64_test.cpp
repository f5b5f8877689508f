// A 64-bit host in a 64-bit prefix: the 32-bit launcher gives it the 64-bit
// add-in, which hands over from inside it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "e2e_fixture.h"
#include "payload/encoded_strings.h"

namespace brisk::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

TEST_F(E2eTest, Host64BitGetsThe64BitAddin) {
  scenario_.SetAddin({});
  scenario_.SetHost({"16.0", {}, {kHostProductCode64}});
  ASSERT_EQ(scenario_.Build({}), "");

  auto run = scenario_.Start(L"-xlstest");
  ASSERT_TRUE(run->started());
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->seen(), IsEmpty());

  const HostCallLog host = scenario_.HostLog();
  const std::vector<const HostRecord*> starts = host.Events("start");
  ASSERT_THAT(starts, SizeIs(1));
  EXPECT_EQ(json::Member<std::int64_t>(starts.front()->line, "pointer_bits"), std::optional<std::int64_t>(64));
  EXPECT_THAT(host.Calls("application", 1798), SizeIs(1)) << "the bitness was not asked";

  const addin::AddinLog log = scenario_.AddinLog();
  ASSERT_THAT(log.attaches, SizeIs(1));
  EXPECT_EQ(log.attaches.front().bits, 64);
  addin::HandoverExpectation expect = CompletedHandover(run->id());
  expect.visibleAtEnd = false;
  EXPECT_THAT(addin::CheckHandover(log, expect), IsEmpty());
  EXPECT_THAT(CheckHandoverFiles(scenario_, log, *run, L"Sample.xlsx"), IsEmpty());

  const std::wstring folder = WorkingFolderName(scenario_, log);
  ASSERT_FALSE(folder.empty());
  const std::wstring marker = Wide(GetEncodedStringA(kWorkingFolderMarkerName));
  EXPECT_THAT(scenario_.TempTree(), ElementsAre(folder + L"\\", folder + L"\\Sample.xlsx", folder + L"\\" + marker,
                                                folder + L"\\briskstub.dll"));
  EXPECT_EQ(ReadFileBytes(scenario_.tempFolder() + L"\\" + folder + L"\\briskstub.dll"),
            ReadFileBytes(scenario_.Path(L"briskstub64.dll")))
      << "the extracted add-in is not the 64-bit one";
  EXPECT_TRUE(scenario_.CloseHostsAsUser());
}

}  // namespace
}  // namespace brisk::e2e

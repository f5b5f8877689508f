// Starts that cannot go on once the host runs, each ending with its notice:
// a damaged build, a host that shows no main window, a temporary folder that
// cannot be written. The host is closed and
// nothing is left.
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

std::wstring EncodedText(int number) { return Wide(GetEncodedStringA(number)); }

std::wstring StandinFixture(const char* version) {
  return WinePath(std::string(BRISK_STANDIN_FIXTURES_DIR) + "/" + version);
}

std::vector<std::uint8_t> PackedBytes() {
  std::string content;
  for (int i = 0; content.size() < 4096; ++i) content += "payload line " + std::to_string(i) + "\n";
  PayloadBuffer packed;
  EXPECT_TRUE(PackContainer(reinterpret_cast<const std::uint8_t*>(content.data()), content.size(), packed));
  return std::vector<std::uint8_t>(packed.begin(), packed.end());
}

// A valid container header whose stream is cut short.
std::vector<std::uint8_t> TruncatedContainer() {
  std::vector<std::uint8_t> bytes = PackedBytes();
  bytes.resize(bytes.size() / 2);
  return bytes;
}

// A valid container header followed by bytes that are no zlib stream.
std::vector<std::uint8_t> GarbledContainer() {
  std::vector<std::uint8_t> bytes = PackedBytes();
  for (std::size_t i = 24; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
  return bytes;
}

struct NoticeCase {
  const char* name;
  std::string version;
  std::wstring installPath;
  std::vector<std::string> hostLines;     // further lines of the stand-in host's configuration
  std::vector<PayloadResource> payloads;  // replaced in the build; an empty one is taken out
  bool tempFolderMissing;                 // TMP and TEMP name a folder that does not exist
  int notice;
  bool addinLoaded;  // the add-in made first contact before the launch ended
  // The step that failed quit the host itself, before the notice; otherwise
  // the host is closed only once the user has read it.
  bool quitBeforeNotice;
  // Failure messages name the case instead of dumping its bytes.
  friend void PrintTo(const NoticeCase& c, std::ostream* out) { *out << c.name; }
};

class NoticeTest : public E2eTest, public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(NoticeTest, TellsTheUserClosesTheHostAndLeavesNothing) {
  const NoticeCase& c = GetParam();
  scenario_.SetAddin({});
  scenario_.SetHost({c.version, c.installPath, c.hostLines});
  ASSERT_EQ(scenario_.Build({}), "");
  for (const PayloadResource& payload : c.payloads) {
    ASSERT_EQ(payload.bytes.empty() ? scenario_.RemovePayload(payload.id) : scenario_.ReplacePayloads({payload}), "");
  }
  if (c.tempFolderMissing) scenario_.UseTempFolder(L"missing", false);

  auto run = scenario_.Start(L"-xlstest");
  HWND box = run->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "the start failed without a word";
  const MessageBoxText notice = ReadMessageBox(box);
  EXPECT_EQ(notice.text, EncodedText(c.notice));
  EXPECT_EQ(notice.caption, EncodedText(kWarningTitleDefault));
  EXPECT_EQ(notice.owner, nullptr);
  const HostCallLog during = scenario_.HostLog();
  EXPECT_THAT(during.StartedProcesses(), SizeIs(1)) << "the host was to be running";
  if (!c.quitBeforeNotice) {
    EXPECT_THAT(during.Calls("application", 302), IsEmpty()) << "the host was closed before the notice";
    EXPECT_THAT(during.Calls("workbooks", 277), IsEmpty()) << "the host was closed before the notice";
  }
  PressButton(box, IDOK);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->SeenDialogs(), SizeIs(1));

  EXPECT_THAT(scenario_.HostLog().Calls("application", 302), Not(IsEmpty())) << "the host was not asked to quit";
  EXPECT_THAT(scenario_.AddinLog().attaches, SizeIs(c.addinLoaded ? 1 : 0));
  EXPECT_THAT(scenario_.AddinLog().messages, IsEmpty()) << "no hand-over after a failed start";
  EXPECT_TRUE(scenario_.WaitForHostsToExit()) << "the host is still running";
  EXPECT_THAT(scenario_.TempTree(), IsEmpty());
  if (c.tempFolderMissing) {
    EXPECT_FALSE(PathExists(scenario_.tempFolder()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Starts, NoticeTest,
    ::testing::Values(
        NoticeCase{"Addin32DoesNotUnpack",
                   "16.0",
                   {},
                   {kHostProductCode32},
                   {{kAddin32Resource, TruncatedContainer()}},
                   false,
                   kBuildDamaged,
                   false,
                   true},
        NoticeCase{"Addin64DoesNotUnpack",
                   "16.0",
                   {},
                   {kHostProductCode64},
                   {{kAddin64Resource, GarbledContainer()}},
                   false,
                   kBuildDamaged,
                   false,
                   true},
        NoticeCase{"MainWorkbookDoesNotUnpack",
                   "16.0",
                   {},
                   {},
                   {{kMainWorkbookResource, GarbledContainer()}},
                   false,
                   kBuildDamaged,
                   false,
                   false},
        NoticeCase{
            "AuxWorkbookMissing", "16.0", {}, {}, {{kAuxWorkbookResource, {}}}, false, kBuildDamaged, false, false},
        NoticeCase{"AuxWorkbookDoesNotUnpack",
                   "16.0",
                   {},
                   {},
                   {{kAuxWorkbookResource, TruncatedContainer()}},
                   false,
                   kBuildDamaged,
                   false,
                   false},
        NoticeCase{"NoMainWindowWithTheCaption",
                   "13.0",
                   StandinFixture("13.0.1.0"),
                   {"main_class=OtherMain"},
                   {},
                   false,
                   kHostWindowNotFound,
                   true,
                   false},
        NoticeCase{"TemporaryFolderMissing", "16.0", {}, {}, {}, true, kAddinNotWritten, false, true}),
    [](const ::testing::TestParamInfo<NoticeCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brisk::e2e

// The licence of a build under bad input: a text that reads as empty, Enter
// on the decline button, and texts beyond what the dialog shows safely, which
// the builder refuses and the launcher takes for a damaged build.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "payload/byte_order.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_ids.h"
#include "resource_writer_win.h"
#include "text/licence_limits.h"

namespace brisk::e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

std::wstring EncodedText(int number) { return Wide(GetEncodedStringA(number)); }
std::wstring LicenceTitle() { return Wide(kAppName) + L" - " + EncodedText(kEulaTitleDefault); }

// The text in big-endian UTF-16 without a byte order mark: to the launcher
// it starts with a zero byte.
std::string BigEndianUtf16(std::string_view ascii) {
  std::string bytes;
  for (char c : ascii) {
    bytes.push_back('\0');
    bytes.push_back(c);
  }
  return bytes;
}

// An RTF document whose groups nest `depth` deep, the outermost counted.
std::string NestedRtf(int depth) {
  return "{\\rtf1\\ansi " + std::string(depth - 1, '{') + "Terms" + std::string(depth - 1, '}') + "}";
}

// Lets the window's thread handle what it has queued.
void Settle(HWND window) {
  DWORD_PTR ignored = 0;
  for (int pass = 0; pass < 3; ++pass) {
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &ignored);
    Sleep(50);
  }
}

HWND FocusOf(HWND window) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof(gui);
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui);
  return gui.hwndFocus;
}

class LicenceTest : public E2eTest {
 protected:
  // A build with the scenario's own licence, which is then replaced by
  // `licence` through the builder: empty on success, else what went wrong.
  std::string BuildWithLicence(const std::string& licence) {
    BuildSetup build;
    build.licence = true;
    const std::string fault = scenario_.Build(build);
    if (!fault.empty()) return fault;
    return RunBuilder(licence, scenario_.exe());
  }

  // The builder run again on the scenario's manifest with `licence` as the
  // licence file, writing `output`: empty on success, else its output.
  std::string RunBuilder(const std::string& licence, const std::wstring& output) {
    WriteFileBytes(scenario_.Path(L"licence.txt"), licence);
    ChildOptions options;
    options.outputFile = scenario_.Path(L"licence-tool.log");
    ChildProcess tool(WinePath(BRISK_LAUNCHER_TOOL_EXE),
                      L"build \"" + scenario_.Path(L"manifest.txt") + L"\" \"" + output + L"\"", options);
    if (!tool.started()) return "launcher-tool.exe did not start";
    const std::optional<DWORD> code = tool.WaitForExit(kToolMs);
    if (!code) return "launcher-tool.exe did not finish";
    if (*code == 0) return {};
    return "exit " + std::to_string(*code) + ": " + ReadFileBytes(options.outputFile).value_or("");
  }

  // The start ended with nothing started: no host process, no add-in
  // contact, no file in the temporary folder.
  void ExpectNothingStarted() {
    EXPECT_THAT(scenario_.HostProcesses(), IsEmpty()) << "a host was started";
    EXPECT_THAT(scenario_.AddinLog().attaches, IsEmpty());
    EXPECT_THAT(scenario_.TempTree(), IsEmpty());
  }

  // A licence that the builder refuses: refused with the reason, no build
  // written; carried all the same (written into the build past the builder),
  // the launcher says the application is damaged and starts nothing.
  void ExpectRefusedByBuilderAndLauncher(const std::string& licence, const std::string& reason) {
    scenario_.SetAddin({});
    scenario_.SetHost({});
    BuildSetup build;
    build.licence = true;
    ASSERT_EQ(scenario_.Build(build), "");

    const std::wstring refusedExe = scenario_.Path(L"Refused.exe");
    const std::string refusal = RunBuilder(licence, refusedExe);
    EXPECT_THAT(refusal, HasSubstr("exit 1"));
    EXPECT_THAT(refusal, HasSubstr("licence.txt"));
    EXPECT_THAT(refusal, HasSubstr(reason));
    EXPECT_FALSE(PathExists(refusedExe)) << "a refused build leaves no output";

    PayloadBuffer packed;
    ASSERT_TRUE(PackContainer(reinterpret_cast<const std::uint8_t*>(licence.data()), licence.size(), packed));
    ASSERT_TRUE(WritePayloadResources(scenario_.exe(), {{kLicenceTextResource, packed}}));

    auto run = scenario_.Start(L"");
    const MessageBoxText box = AnswerMessageBox(*run);
    EXPECT_EQ(box.text, EncodedText(kBuildDamaged));
    EXPECT_THAT(run->SeenDialogs(), SizeIs(1)) << "the notice only: no licence dialog";
    ExpectNothingStarted();
  }
};

// A licence payload the builder never writes: a container whose stream does
// not unpack, and one whose header declares more than a licence may hold
// (unpacked, it would be a few bytes). Either is a damaged build, refused
// before anything is shown; neither is put to the user as its raw bytes.
TEST_F(LicenceTest, DamagedOrOverclaimingContainerIsADamagedBuild) {
  const std::string text = "Licence of the Sample Planner: use it as you like.";
  PayloadBuffer packed;
  ASSERT_TRUE(PackContainer(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), packed));
  PayloadBuffer truncated(packed.begin(), packed.begin() + 30);
  PayloadBuffer overclaiming = packed;
  le::WriteU32(overclaiming.data() + 16, static_cast<std::uint32_t>(kMaxLicenceBytes + 1));
  const struct {
    const char* name;
    PayloadBuffer payload;
  } cases[] = {{"truncated stream", truncated}, {"declares more than the limit", overclaiming}};
  scenario_.SetAddin({});
  scenario_.SetHost({});
  BuildSetup build;
  build.licence = true;
  ASSERT_EQ(scenario_.Build(build), "");
  for (const auto& licence : cases) {
    SCOPED_TRACE(licence.name);
    ASSERT_TRUE(WritePayloadResources(scenario_.exe(), {{kLicenceTextResource, licence.payload}}));
    auto run = scenario_.Start(L"");
    const MessageBoxText box = AnswerMessageBox(*run);
    EXPECT_EQ(box.text, EncodedText(kBuildDamaged));
    EXPECT_THAT(run->SeenDialogs(), SizeIs(1)) << "the notice only: no licence dialog";
    EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
    ExpectNothingStarted();
  }
}

TEST_F(LicenceTest, BigEndianTextAsksTheUser) {
  scenario_.SetAddin({});
  scenario_.SetHost({});
  ASSERT_EQ(BuildWithLicence(BigEndianUtf16("Licence of the Sample Planner: use it as you like.")), "");

  auto run = scenario_.Start(L"");
  const HWND licence = run->WaitForDialog();
  ASSERT_NE(licence, nullptr) << "the licence was taken as agreed without asking";
  EXPECT_EQ(WindowText(licence), LicenceTitle());
  EXPECT_THAT(scenario_.HostProcesses(), IsEmpty()) << "the host starts only after the licence";
  PressButton(licence, IDCANCEL);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->seen(), SizeIs(1)) << "no splash and no message after declining";
  ExpectNothingStarted();
}

TEST_F(LicenceTest, EnterOnTheFocusedDeclineButtonDeclines) {
  scenario_.SetAddin({});
  scenario_.SetHost({});
  BuildSetup build;
  build.licence = true;
  ASSERT_EQ(scenario_.Build(build), "");

  auto run = scenario_.Start(L"");
  const HWND licence = run->WaitForDialog();
  ASSERT_NE(licence, nullptr) << "no licence dialog";
  EXPECT_TRUE(run->WaitUntil([&] { return GetForegroundWindow() == licence; }, kDialogMs));
  Settle(licence);
  // The user presses the mouse on "Decline" and lets go beside it: the
  // button takes the focus without being clicked, and without becoming the
  // dialog's default button. Then Enter.
  const HWND decline = GetDlgItem(licence, IDCANCEL);
  ASSERT_NE(decline, nullptr);
  PostMessageW(decline, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(decline, WM_LBUTTONUP, 0, MAKELPARAM(-40, -40));
  Settle(licence);
  ASSERT_EQ(FocusOf(licence), decline);
  ASSERT_NE(GetWindowLongW(decline, GWL_STYLE) & BS_TYPEMASK, static_cast<LONG>(BS_DEFPUSHBUTTON));
  PressKey(decline, VK_RETURN);
  EXPECT_EQ(run->WaitForExit(), std::optional<DWORD>(0));
  EXPECT_THAT(run->seen(), SizeIs(1)) << "declined: no splash and no message";
  ExpectNothingStarted();
}

TEST_F(LicenceTest, OversizedTextIsRefusedByTheBuilderAndTheLauncher) {
  ExpectRefusedByBuilderAndLauncher(std::string(kMaxLicenceBytes + 1, 'a'),
                                    "has " + std::to_string(kMaxLicenceBytes + 1) + " bytes");
}

TEST_F(LicenceTest, TooDeeplyNestedRtfIsRefusedByTheBuilderAndTheLauncher) {
  // Nested as deep as crashes the rich edit control under Wine.
  ExpectRefusedByBuilderAndLauncher(NestedRtf(33), "nests RTF groups 33 deep");
}

}  // namespace
}  // namespace brisk::e2e

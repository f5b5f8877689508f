// The splash thread and its window, shown for real.
#include <gtest/gtest.h>

#include <memory>

#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "ui/splash_layout.h"
#include "ui/splash_thread.h"
#include "ui_test_support.h"

namespace brisk {
namespace {

constexpr DWORD kThreadEndMs = 20000;

// A splash thread that is told to close and waited for when the test ends.
class SplashRun {
 public:
  SplashRun(const SplashInputs* inputs, std::optional<PayloadBuffer> picture, SplashTiming timing = {}) {
    SplashOptions options;
    options.picture = std::move(picture);
    options.timing = timing;
    options.report = &report;
    started = StartSplashThread(inputs, std::move(options), thread, threadId);
  }
  ~SplashRun() {
    if (!thread) return;
    PostThreadMessageW(threadId, MSG_SPLASH_CLOSE, 0, 0);
    WaitForSingleObject(thread.get(), kThreadEndMs);
  }
  HWND WaitForWindow() {
    const ULONGLONG end = GetTickCount64() + test::kWindowWaitMs;
    while (!report.window && GetTickCount64() < end) Sleep(10);
    const HWND window = report.window;
    if (window) test::Settle(window);
    return window;
  }
  bool Ended(DWORD timeoutMs = kThreadEndMs) { return WaitForSingleObject(thread.get(), timeoutMs) == WAIT_OBJECT_0; }
  DWORD ExitCode() {
    DWORD code = 0;
    GetExitCodeThread(thread.get(), &code);
    return code;
  }

  SplashReport report;
  UniqueHandle thread;
  DWORD threadId = 0;
  bool started = false;
};

// Display time counted fast: each pass of the loop still counts 100 ms.
SplashTiming FastTiming() {
  SplashTiming timing;
  timing.pauseMs = 1;
  return timing;
}

PayloadBuffer SplashJpeg() {
  const std::string bytes = test::ReadFileBytes(test::WinePath(BRISK_TEST_DATA_DIR "/splash.jpg")).value_or("");
  return PayloadBuffer(bytes.begin(), bytes.end());
}

std::wstring BannerText(HWND splash) {
  for (HWND child = GetWindow(splash, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (test::ClassName(child) == L"Static") return test::WindowText(child);
  }
  return L"(none)";
}

std::wstring Widened(int number) {
  const std::string narrow = GetEncodedStringA(number);
  return std::wstring(narrow.begin(), narrow.end());
}

HWND PictureControl(HWND splash) {
  for (HWND child = GetWindow(splash, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (test::ClassName(child).starts_with(L"ATL:")) return child;
  }
  return nullptr;
}

TEST(Splash, NarrowPictureGetsA400PixelWindowWithWhiteSides) {
  SplashRun run(nullptr, test::MakeBmp(300, 200));
  ASSERT_TRUE(run.started);
  const HWND splash = run.WaitForWindow();
  ASSERT_NE(splash, nullptr);
  const RECT window = test::WindowRect(splash);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(window.right - window.left, 400);
  EXPECT_EQ(window.bottom - window.top, 202 + 13);
  EXPECT_EQ(window.left, screenWidth / 2 - 200);
  EXPECT_EQ(window.top, static_cast<int>(screenHeight / 2.0 - 107.5));
  EXPECT_TRUE(GetWindowLongW(splash, GWL_EXSTYLE) & WS_EX_TOPMOST);
  const RECT picture = test::ChildRect(PictureControl(splash));
  EXPECT_EQ(picture.left, 49);
  EXPECT_EQ(picture.right, 349);
  EXPECT_EQ(picture.bottom, 200);
  EXPECT_EQ(BannerText(splash), Widened(kSplashBanner));

  const test::Capture capture = test::CaptureWindow(splash);
  test::SaveScreenshot(capture, "splash_narrow_picture");
  // Inside the one-pixel border: white sides, the picture in the middle.
  EXPECT_EQ(capture.At(1 + 20, 1 + 100), 0xFFFFFFu);
  EXPECT_EQ(capture.At(1 + 380, 1 + 100), 0xFFFFFFu);
  EXPECT_NE(capture.At(1 + 200, 1 + 100), 0xFFFFFFu);
  EXPECT_NE(capture.At(1 + 52, 1 + 100), 0xFFFFFFu) << "the picture's dark frame at its left edge";

  PostThreadMessageW(run.threadId, MSG_SPLASH_CLOSE, 0, 0);
  ASSERT_TRUE(run.Ended());
  EXPECT_EQ(run.report.stop, SplashStop::kClose);
  EXPECT_EQ(run.ExitCode(), 1u);
  EXPECT_FALSE(IsWindow(splash));
}

TEST(Splash, TallPictureIsShrunkToTheScreen) {
  SplashRun run(nullptr, test::MakeBmp(600, 1000));
  const HWND splash = run.WaitForWindow();
  ASSERT_NE(splash, nullptr);
  SplashSizingInput input;
  input.window = {400, 247};
  input.client = {398, 245};
  input.hasPicture = true;
  input.picture = {600, 1000};
  input.screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const Rect expected = PlaceSplashWindow(input).window;
  ASSERT_GT(1002, 0.8 * input.screen.height) << "needs a screen lower than 1252 pixels";
  const RECT window = test::WindowRect(splash);
  EXPECT_EQ(window.left, expected.left);
  EXPECT_EQ(window.top, expected.top);
  EXPECT_EQ(window.right - window.left, expected.Width());
  EXPECT_EQ(window.bottom - window.top, expected.Height());
  EXPECT_EQ(window.bottom - window.top, input.screen.height - static_cast<int>(0.2 * input.screen.height) + 13);
  test::SaveScreenshot(splash, "splash_tall_picture");
}

TEST(Splash, PictureFromTheExecutablesResourceWithoutBanner) {
  const SplashInputs inputs{"1", 0};
  UniqueHandle thread;
  DWORD threadId = 0;
  ASSERT_TRUE(StartSplashThread(&inputs, thread, threadId));
  const HWND splash = test::WaitForThreadWindow(threadId);
  ASSERT_NE(splash, nullptr);
  test::Settle(splash);
  const RECT window = test::WindowRect(splash);
  EXPECT_EQ(window.right - window.left, 482);
  EXPECT_EQ(window.bottom - window.top, 272);
  EXPECT_EQ(BannerText(splash), L"(none)");
  test::SaveScreenshot(splash, "splash_no_banner");
  PostThreadMessageW(threadId, MSG_SPLASH_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(thread.get(), kThreadEndMs), WAIT_OBJECT_0);
}

TEST(Splash, BannerTextFollowsTheVariantAndPackedPicturesAreUnpacked) {
  const PayloadBuffer jpeg = SplashJpeg();
  ASSERT_FALSE(jpeg.empty());
  PayloadBuffer packed;
  ASSERT_TRUE(PackContainer(jpeg.data(), jpeg.size(), packed));
  struct Case {
    SplashInputs inputs;
    const PayloadBuffer* picture;
    int text;
    const char* screenshot;
  };
  const Case cases[] = {
      {{"", 1}, &jpeg, kSplashBannerState6, "splash_with_banner"},
      {{"2", 2}, &packed, kSplashBannerState7, "splash_packed_picture"},
      {{"0", 4}, &jpeg, kSplashBannerState7, nullptr},
      {{"", 9}, &jpeg, kSplashBanner, nullptr},
  };
  for (const Case& c : cases) {
    SplashRun run(&c.inputs, *c.picture, FastTiming());
    const HWND splash = run.WaitForWindow();
    ASSERT_NE(splash, nullptr);
    const RECT window = test::WindowRect(splash);
    EXPECT_EQ(window.right - window.left, 482) << c.inputs.bannerVariant;
    EXPECT_EQ(window.bottom - window.top, 272 + 13) << c.inputs.bannerVariant;
    EXPECT_EQ(BannerText(splash), Widened(c.text)) << c.inputs.bannerVariant;
    if (c.screenshot) test::SaveScreenshot(splash, c.screenshot);
  }
}

TEST(Splash, WithoutAUsablePictureTheDefaultSizeIsShown) {
  PayloadBuffer brokenContainer = {'Q', 'Z', 'H', 0};
  brokenContainer.resize(40, 0x5A);
  const PayloadBuffer cases[] = {
      PayloadBuffer{'s', 'h', 'o', 'r', 't'},
      PayloadBuffer(200, 0x42),
      brokenContainer,
  };
  bool first = true;
  for (const PayloadBuffer& bytes : cases) {
    SplashRun run(nullptr, bytes, FastTiming());
    const HWND splash = run.WaitForWindow();
    ASSERT_NE(splash, nullptr);
    const RECT window = test::WindowRect(splash);
    EXPECT_EQ(window.right - window.left, 400);
    EXPECT_EQ(window.bottom - window.top, 247 + 13);
    if (first) test::SaveScreenshot(splash, "splash_no_picture");
    first = false;
  }
}

TEST(Splash, DoneSoonAfterTheStartKeepsItUpForFiveSeconds) {
  SplashRun run(nullptr, test::MakeBmp(500, 300), FastTiming());
  ASSERT_TRUE(run.started);
  // Posted at once: the thread already has its queue.
  ASSERT_TRUE(PostThreadMessageW(run.threadId, MSG_SPLASH_DONE, 0, 0));
  ASSERT_TRUE(run.Ended());
  EXPECT_EQ(run.report.stop, SplashStop::kLimit);
  EXPECT_EQ(run.report.elapsedMs, 5000);
}

TEST(Splash, DoneAfterFiveSecondsClosesAtOnce) {
  SplashRun run(nullptr, test::MakeBmp(500, 300), FastTiming());
  ASSERT_TRUE(run.WaitForWindow());
  const ULONGLONG end = GetTickCount64() + kThreadEndMs;
  while (run.report.elapsedMs <= 5500 && GetTickCount64() < end) Sleep(5);
  const int postedAt = run.report.elapsedMs;
  ASSERT_GT(postedAt, 5500);
  PostThreadMessageW(run.threadId, MSG_SPLASH_DONE, 0, 0);
  ASSERT_TRUE(run.Ended());
  EXPECT_EQ(run.report.stop, SplashStop::kDone);
  EXPECT_GE(run.report.elapsedMs, postedAt);
  EXPECT_LT(run.report.elapsedMs, 60000);
}

TEST(Splash, SixtySecondsAtMost) {
  SplashRun run(nullptr, test::MakeBmp(100, 100), FastTiming());
  ASSERT_TRUE(run.WaitForWindow());
  ASSERT_TRUE(run.Ended(60000));
  EXPECT_EQ(run.report.stop, SplashStop::kLimit);
  EXPECT_EQ(run.report.elapsedMs, 60000);
}

TEST(Splash, ClickOrKeyClosesIt) {
  {
    SplashRun run(nullptr, test::MakeBmp(500, 300), FastTiming());
    const HWND splash = run.WaitForWindow();
    ASSERT_NE(splash, nullptr);
    test::ClickCentre(splash);
    ASSERT_TRUE(run.Ended());
    EXPECT_EQ(run.report.stop, SplashStop::kInput);
    EXPECT_LT(run.report.elapsedMs, 60000);
  }
  {
    SplashRun run(nullptr, test::MakeBmp(500, 300), FastTiming());
    const HWND splash = run.WaitForWindow();
    ASSERT_NE(splash, nullptr);
    PostMessageW(splash, WM_KEYDOWN, VK_SPACE, 1);
    ASSERT_TRUE(run.Ended());
    EXPECT_EQ(run.report.stop, SplashStop::kInput);
  }
}

}  // namespace
}  // namespace brisk

// The notice dialog and the licence agreement shown for real and answered as
// a user would.
#include <gtest/gtest.h>

#include <richedit.h>

#include <new>
#include <optional>

#include <utf8.h>

#include "payload/encoded_strings.h"
#include "text/macro_table.h"
#include "text/message_table.h"
#include "ui/eula_dialog.h"
#include "ui/dialog_template.h"
#include "ui/ui_resource_ids.h"
#include "ui_test_support.h"

namespace brisk {
namespace {

using test::ModalDriver;

constexpr char16_t kAppName[] = u"Budget Planner";

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::wstring EulaTitle() { return Wide(kAppName) + L" - " + Wide(GetEncodedStringW(kEulaTitleDefault)); }

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

// What a test reads off an open notice dialog.
struct NoticeView {
  RECT window{}, client{}, body{};
  std::wstring bodyText;
  std::vector<std::pair<std::wstring, RECT>> labels;
  std::vector<std::pair<int, RECT>> buttons;  // by identifier, in Z order
  std::vector<std::wstring> buttonTexts;
  LONG bodyStyle = 0;
  bool topmost = false;
  HICON bigIcon = nullptr;
};

NoticeView Read(HWND dialog) {
  NoticeView view;
  test::Settle(dialog);
  view.window = test::WindowRect(dialog);
  view.client = test::ClientRect(dialog);
  const HWND body = GetDlgItem(dialog, kNoticeBodyId);
  view.body = test::ChildRect(body);
  view.bodyStyle = GetWindowLongW(body, GWL_STYLE);
  view.bodyText = test::WindowText(body);
  for (HWND label : test::ChildrenOfClass(dialog, L"Static")) {
    view.labels.emplace_back(test::WindowText(label), test::ChildRect(label));
  }
  for (HWND button : test::ChildrenOfClass(dialog, L"Button")) {
    view.buttons.emplace_back(GetDlgCtrlID(button), test::ChildRect(button));
    view.buttonTexts.push_back(test::WindowText(button));
  }
  view.topmost = (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  view.bigIcon = reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_BIG, 0));
  return view;
}

struct EulaRun {
  std::optional<bool> declined;
  NoticeView view;
  std::u16string wideText;
};

class EulaDialogTest : public testing::Test {
 protected:
  EulaDialogTest() {
    macros_.SetMacro(u"APPNAME", kAppName);
    context_.appName = kAppName;
    context_.texts.macros = &macros_;
  }

  // Shows the licence; `actions` get the open dialog after it was read.
  EulaRun Run(const std::vector<std::uint8_t>& eula, const std::function<void(HWND)>& actions,
              const std::string& screenshot = {}) {
    EulaRun run;
    ModalDriver driver([&] {
      const HWND dialog = test::WaitForTitle(EulaTitle());
      if (!dialog) return;
      run.view = Read(dialog);
      if (!screenshot.empty()) test::SaveScreenshot(dialog, screenshot);
      actions(dialog);
    });
    run.declined = RunEulaDialog(eula, icon_, icon_, context_, run.wideText) == LicenceResult::kDeclined;
    driver.ModalReturned();
    return run;
  }

  static void Agree(HWND dialog) { test::ClickCentre(GetDlgItem(dialog, IDOK)); }
  static void Decline(HWND dialog) { test::ClickCentre(GetDlgItem(dialog, IDCANCEL)); }

  MacroTable macros_;
  EulaDialogContext context_;
  HICON icon_ = LoadIconW(nullptr, IDI_APPLICATION);
};

TEST_F(EulaDialogTest, ThreeLinesOfPlainTextLayOutByTheRules) {
  const EulaRun run =
      Run(Bytes("Welcome to <?APPNAME?>.\r\nRead these terms.\r\nThen decide."), Agree, "eula_plain_text");
  ASSERT_EQ(run.declined, std::optional<bool>(false));
  const NoticeView& view = run.view;
  const int clientWidth = view.client.right;
  // Symbol 3 at 15,15: the body starts at 15 + 10 + 32; three lines give 16 x 4.
  EXPECT_EQ(view.body.left, 57);
  EXPECT_EQ(view.body.top, 15);
  EXPECT_EQ(view.body.right, clientWidth - 10);
  EXPECT_EQ(view.body.bottom, 64);
  EXPECT_NE(view.bodyText.find(L"Welcome to Budget Planner."), std::wstring::npos);
  EXPECT_TRUE(view.bodyStyle & ES_READONLY);
  // The branding line under the body, across the whole client width.
  ASSERT_EQ(view.labels.size(), 1u);
  EXPECT_EQ(view.labels[0].first, Wide(GetEncodedStringW(kEulaExtraLabel)));
  EXPECT_EQ(view.labels[0].second.top, 69);
  EXPECT_EQ(view.labels[0].second.left, 0);
  EXPECT_EQ(view.labels[0].second.right, clientWidth);
  // Decline rightmost, agree to its left, 75 x 26 with 9 between them.
  ASSERT_EQ(view.buttons.size(), 2u);
  const auto& [declineId, decline] = view.buttons[0];
  const auto& [agreeId, agree] = view.buttons[1];
  EXPECT_EQ(declineId, IDCANCEL);
  EXPECT_EQ(agreeId, IDOK);
  EXPECT_EQ(view.buttonTexts[0], Wide(GetEncodedStringW(kDeclineButtonDefault)));
  EXPECT_EQ(view.buttonTexts[1], Wide(GetEncodedStringW(kIAgreeButtonDefault)));
  EXPECT_EQ(decline.right, clientWidth - 7);
  EXPECT_EQ(decline.right - decline.left, 75);
  EXPECT_EQ(agree.right, decline.left - 9);
  EXPECT_EQ(agree.right - agree.left, 75);
  EXPECT_EQ(decline.bottom - decline.top, 26);
  EXPECT_EQ(decline.bottom, view.client.bottom + GetSystemMetrics(SM_CYDLGFRAME) - 10);
  EXPECT_EQ(decline.top, view.labels[0].second.bottom + 10 + GetSystemMetrics(SM_CYDLGFRAME));
  EXPECT_TRUE(view.topmost);
  EXPECT_NE(view.bigIcon, nullptr);
  EXPECT_NE(view.bigIcon, icon_) << "the dialog shows its own duplicate";
  EXPECT_EQ(run.wideText, u"Welcome to <?APPNAME?>.\r\nRead these terms.\r\nThen decide.");
}

TEST_F(EulaDialogTest, ClickInTheBodyShowsNoCaret) {
  HWND caret = nullptr;
  HWND body = nullptr;
  const EulaRun run = Run(Bytes("Terms without any link in them."), [&](HWND dialog) {
    body = GetDlgItem(dialog, kNoticeBodyId);
    test::ClickAt(body, {30, 8});
    test::Settle(dialog);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
    caret = gui.hwndCaret;
    Agree(dialog);
  });
  EXPECT_NE(body, nullptr);
  EXPECT_NE(caret, body);
  EXPECT_EQ(run.declined, std::optional<bool>(false));
}

TEST_F(EulaDialogTest, OneLineGivesTheSymbolsHeight) {
  const EulaRun run = Run(Bytes("Short terms."), Agree);
  EXPECT_EQ(run.view.body.bottom, 52);
  EXPECT_EQ(run.declined, std::optional<bool>(false));
}

TEST_F(EulaDialogTest, MoreThanTenLinesScroll) {
  std::string text;
  for (int i = 1; i <= 30; ++i) text += "Clause " + std::to_string(i) + " of the agreement.\r\n";
  const EulaRun run = Run(Bytes(text), Decline, "eula_long_text");
  const RECT& body = run.view.body;
  EXPECT_EQ(body.bottom, static_cast<int>((body.right - body.left) / 2.2));
  EXPECT_TRUE(run.view.bodyStyle & WS_VSCROLL);
  EXPECT_EQ(run.declined, std::optional<bool>(true));
}

TEST_F(EulaDialogTest, RtfIsStreamedInAndKeepsItsMacros) {
  const std::string rtf =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Tahoma;}}\\f0\\fs20 {\\b Licence of <?APPNAME?>}\\par "
      "Plain {\\i italic} text.\\par}";
  const EulaRun run = Run(Bytes(rtf), Agree, "eula_rtf");
  EXPECT_NE(run.view.bodyText.find(L"Licence of <?APPNAME?>"), std::wstring::npos);
  EXPECT_EQ(run.view.bodyText.find(L"\\rtf"), std::wstring::npos);
  const RECT& body = run.view.body;
  EXPECT_EQ(body.bottom, static_cast<int>((body.right - body.left) / 2.2));
}

TEST_F(EulaDialogTest, EncodingsOfTheText) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::wstring expected;
  };
  const Case cases[] = {
      {Utf16Bytes(u"\xFEFFTerms of <?APPNAME?>: \u00E9t\u00E9 \u4E2D\u6587"),
       L"Terms of Budget Planner: \u00E9t\u00E9 \u4E2D\u6587"},
      {Bytes("\xEF\xBB\xBFTerms of <?APPNAME?>: caf\xC3\xA9"), L"Terms of Budget Planner: caf\u00E9"},
      {Bytes("Terms of <?APPNAME?>: caf\xC3\xA9"), L"Terms of Budget Planner: caf\u00E9"},
  };
  for (const Case& c : cases) {
    const EulaRun run = Run(c.bytes, Agree);
    EXPECT_EQ(run.view.bodyText, c.expected);
  }
}

TEST_F(EulaDialogTest, TextThatIsNeitherUtf8NorUtf16IsReadInTheAnsiCodePage) {
  const std::string ansi = "Terms: caf\xE9 cr\xE8me";
  wchar_t expected[64] = {};
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), expected, 64);
  const EulaRun run = Run(Bytes(ansi), Agree);
  EXPECT_EQ(run.view.bodyText, expected);
}

TEST_F(EulaDialogTest, DeclineEscAndCloseBoxCountAsDeclined) {
  const std::function<void(HWND)> ways[] = {
      Decline,
      [](HWND dialog) { test::PressKey(GetDlgItem(dialog, IDCANCEL), VK_ESCAPE); },
      [](HWND dialog) { EXPECT_TRUE(test::PressCloseBox(dialog)); },
  };
  for (const auto& way : ways) EXPECT_EQ(Run(Bytes("Terms."), way).declined, std::optional<bool>(true));
}

TEST_F(EulaDialogTest, HiddenBrandingLeavesNoLabel) {
  context_.hideBranding = true;
  const EulaRun run = Run(Bytes("Terms."), Agree);
  EXPECT_TRUE(run.view.labels.empty());
}

// Test mode shows no licence: the launch's plan says so (tests/core/launch_plan_test.cpp).
TEST_F(EulaDialogTest, NoDialogWithoutBytes) {
  std::u16string wide;
  EXPECT_EQ(RunEulaDialog(std::vector<std::uint8_t>{}, nullptr, nullptr, context_, wide), LicenceResult::kAgreed);
  EXPECT_TRUE(wide.empty());
  EXPECT_EQ(FindWindowW(nullptr, EulaTitle().c_str()), nullptr);
}

TEST_F(EulaDialogTest, TextThatReadsAsEmptyIsStillPutToTheUser) {
  // Each reads as an empty text, as it starts with a zero: big-endian UTF-16
  // (not taken for UTF-16 by the system's test), narrow text, zero units.
  const std::vector<std::uint8_t> texts[] = {
      {0, 'T', 0, 'e', 0, 'r', 0, 'm', 0, 's', 0, '.', 0, ' ', 0, 'A', 0, 'g', 0, 'r', 0, 'e', 0, 'e', 0, '?'},
      Bytes(std::string("\0Terms.", 7)),
      {0, 0, 0, 0},
  };
  for (const auto& text : texts) {
    const EulaRun declined = Run(text, Decline);
    EXPECT_TRUE(declined.wideText.empty()) << text.size() << " bytes";
    EXPECT_EQ(declined.declined, std::optional<bool>(true)) << text.size() << " bytes: the dialog asked";
    EXPECT_EQ(declined.view.bodyText, L"");
  }
  const EulaRun agreed = Run(texts[0], Agree);
  EXPECT_EQ(agreed.declined, std::optional<bool>(false));
}

// Puts the keyboard focus on a control of another thread's dialog, as a
// user leaves it there without the dialog manager moving the default button
// (a click on a link, or a press on a button released beside it).
void FocusFromThisThread(HWND control) {
  const DWORD owner = GetWindowThreadProcessId(control, nullptr);
  AttachThreadInput(GetCurrentThreadId(), owner, TRUE);
  SetFocus(control);
  AttachThreadInput(GetCurrentThreadId(), owner, FALSE);
}

HWND FocusOf(HWND dialog) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof(gui);
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
  return gui.hwndFocus;
}

TEST_F(EulaDialogTest, EnterActsOnTheFocusedButton) {
  struct Case {
    int focused;
    bool declined;
  };
  for (const Case c : {Case{IDCANCEL, true}, Case{IDOK, false}}) {
    HWND button = nullptr;
    HWND focus = nullptr;
    const EulaRun run = Run(Bytes("Terms."), [&](HWND dialog) {
      button = GetDlgItem(dialog, c.focused);
      FocusFromThisThread(button);
      test::Settle(dialog);
      focus = FocusOf(dialog);
      test::PressKey(button, VK_RETURN);
    });
    EXPECT_EQ(focus, button) << "the focus was put on button " << c.focused;
    EXPECT_NE(focus, nullptr);
    EXPECT_EQ(run.declined, std::optional<bool>(c.declined)) << "Enter on button " << c.focused;
  }
}

TEST_F(EulaDialogTest, FailureWhileItInitialisesEndsItAsFailed) {
  void (*const throwers[])() = {
      [] { throw std::bad_alloc(); },
      [] { throw utf8::invalid_utf8(std::uint8_t{0xFF}); },
  };
  for (auto thrower : throwers) {
    const test::FailingDialogInit failing(thrower);
    std::u16string wide;
    // Should the dialog stay up all the same, the driver closes it.
    ModalDriver driver([] {});
    EXPECT_EQ(RunEulaDialog(Bytes("Terms."), icon_, icon_, context_, wide), LicenceResult::kFailed);
    driver.ModalReturned();
    EXPECT_EQ(FindWindowW(nullptr, EulaTitle().c_str()), nullptr);
  }
}

TEST_F(EulaDialogTest, ClickOnALinkOpensItAndFocusesTheRightmostButton) {
  std::string probe = BRISK_LINK_PROBE;
  const std::wstring marker = test::WinePath(probe) + L".opened";
  DeleteFileW(marker.c_str());
  const std::string link = "file:///Z:" + probe;
  bool opened = false;
  HWND focus = nullptr;
  HWND decline = nullptr;
  const EulaRun run = Run(Bytes("The full text is at " + link + " for reference."), [&](HWND dialog) {
    const HWND body = GetDlgItem(dialog, kNoticeBodyId);
    decline = GetDlgItem(dialog, IDCANCEL);
    const std::wstring text = test::WindowText(body);
    const std::size_t at = text.find(L"file:");
    ASSERT_NE(at, std::wstring::npos);
    POINTL point{};
    SendMessageW(body, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), static_cast<LPARAM>(at + 8));
    test::ClickAt(body, {point.x + 2, point.y + 4});
    const ULONGLONG end = GetTickCount64() + test::kWindowWaitMs;
    while (!(opened = GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) && GetTickCount64() < end) {
      Sleep(20);
    }
    test::Settle(dialog);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
    focus = gui.hwndFocus;
    test::SaveScreenshot(dialog, "eula_link_clicked");
    Decline(dialog);
  });
  EXPECT_TRUE(opened) << "the link's program did not run";
  EXPECT_EQ(focus, decline);
  EXPECT_EQ(run.declined, std::optional<bool>(true));
  DeleteFileW(marker.c_str());
}

// A notice dialog shown directly; `actions` get it after it was read.
NoticeView ShowNotice(CDialogTemplate& dialog, const std::wstring& title, INT_PTR& result,
                      const std::function<void(HWND)>& actions = {}) {
  NoticeView view;
  dialog.SetTitle(title);
  ModalDriver driver([&] {
    const HWND window = test::WaitForTitle(title);
    if (!window) return;
    view = Read(window);
    if (actions) actions(window);
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  result = dialog.ShowModal(nullptr);
  driver.ModalReturned();
  return view;
}

TEST(NoticeDialog, LongCaptionsWidenTheDialogUpToTwoThirdsOfTheScreen) {
  const int limit = GetSystemMetrics(SM_CXFULLSCREEN) * 2 / 3;
  struct Case {
    std::vector<std::wstring> captions;
    const char* screenshot;
  };
  const Case cases[] = {
      {{L"Close", L"Send the report to the developers", L"Save a copy of the report on the desktop"},
       "notice_wide_buttons"},
      {{std::wstring(40, L'W'), std::wstring(40, L'M'), std::wstring(40, L'X')}, "notice_capped_width"},
  };
  for (const Case& c : cases) {
    CDialogTemplate dialog(300, 1.0);
    dialog.SetBodyText(Bytes("The buttons of this notice need more room than it has."), nullptr);
    int id = 1;
    for (const std::wstring& caption : c.captions) dialog.AddButton(caption, id++);
    dialog.SetSymbol(kSymbolWarning);
    INT_PTR result = 0;
    const NoticeView view =
        ShowNotice(dialog, L"Wide buttons", result, [&](HWND window) { test::SaveScreenshot(window, c.screenshot); });
    const int width = view.window.right - view.window.left;
    int buttonsWidth = 0;
    for (const auto& [id, r] : view.buttons) buttonsWidth += r.right - r.left;
    buttonsWidth += 9 * static_cast<int>(view.buttons.size() - 1);
    const int needed = buttonsWidth + 14 + 2 * GetSystemMetrics(SM_CXEDGE);
    EXPECT_EQ(width, std::min(needed, limit)) << c.screenshot;
    EXPECT_GT(width, 300) << c.screenshot;
    // Placed again from the right edge, the body keeping its right margin.
    ASSERT_EQ(view.buttons.size(), 3u);
    EXPECT_EQ(view.buttons[0].second.right, view.client.right - 7);
    EXPECT_EQ(view.buttons[1].second.right, view.buttons[0].second.left - 9);
    EXPECT_EQ(view.body.right, view.client.right - 10);
    EXPECT_EQ(result, IDCANCEL) << "closed without a cancel button ends with its identifier";
  }
}

TEST(NoticeDialog, SixSymbolsAreDrawnAndMakeRoom) {
  for (int kind = kSymbolError; kind <= kSymbolSuccess; ++kind) {
    CDialogTemplate dialog(250, 1.0);
    dialog.SetBodyText(Bytes("Symbol " + std::to_string(kind) + " of the notice dialog."), nullptr);
    dialog.AddButton(L"Close", IDCANCEL);
    dialog.SetSymbol(kind);
    dialog.SetSymbol(kSymbolError);  // only the first choice counts
    INT_PTR result = 0;
    int differing = 0;
    int errorRed = 0;
    const NoticeView view = ShowNotice(dialog, L"Symbol " + std::to_wstring(kind), result, [&](HWND window) {
      const test::Capture capture = test::CaptureWindow(window);
      test::SaveScreenshot(capture, "notice_symbol_" + std::to_string(kind));
      POINT origin{0, 0};
      ClientToScreen(window, &origin);
      const RECT frame = test::WindowRect(window);
      const int dx = origin.x - frame.left;
      const int dy = origin.y - frame.top;
      const std::uint32_t background = capture.At(dx + 5, dy + 5);
      for (int y = 15; y < 47; ++y) {
        for (int x = 15; x < 47; ++x) {
          const std::uint32_t pixel = capture.At(dx + x, dy + y);
          if (pixel != background) ++differing;
          if ((pixel & 0xFF0000) > 0xC00000 && (pixel & 0xFF00) < 0x6000) ++errorRed;
        }
      }
    });
    EXPECT_EQ(view.body.left, 57) << kind;
    EXPECT_GT(differing, 300) << "symbol " << kind << " not drawn";
    if (kind == kSymbolError) {
      EXPECT_GT(errorRed, 200);
    } else {
      EXPECT_LT(errorRed, 20) << "symbol " << kind << " replaced by a later choice";
    }
  }
}

TEST(NoticeDialog, UnknownSymbolLeavesNoRoom) {
  for (int kind : {0, 7}) {
    CDialogTemplate dialog(250, 1.0);
    dialog.SetBodyText(Bytes("No symbol."), nullptr);
    dialog.AddButton(L"Close", IDCANCEL);
    dialog.SetSymbol(kind);
    INT_PTR result = 0;
    const NoticeView view = ShowNotice(dialog, L"No symbol", result);
    EXPECT_EQ(view.body.left, 15) << kind;
    EXPECT_EQ(view.body.bottom, 32) << kind;
  }
}

TEST(NoticeDialog, ScaleMultipliesMarginsAndSymbolRoom) {
  CDialogTemplate dialog(400, 1.5);
  dialog.SetBodyText(Bytes("Scaled notice.\r\nSecond line."), nullptr);
  dialog.AddLabel(L"Small line", 0);
  dialog.AddLabel(L"Emphasised line", 2);
  dialog.AddButton(L"OK", IDOK);
  dialog.SetSymbol(kSymbolSuccess);
  INT_PTR result = 0;
  const NoticeView view = ShowNotice(dialog, L"Scaled", result, [](HWND window) {
    test::SaveScreenshot(window, "notice_scale_1_5");
    test::ClickCentre(GetDlgItem(window, IDOK));
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(view.body.left, 22 + 63);  // 15 x 1.5, then 10 x 1.5 + 48
  EXPECT_EQ(view.body.top, 22);
  EXPECT_EQ(view.body.bottom, 78);  // 22.5 + 48 + 7.5 beats 16 x 3 x 1.5
  ASSERT_EQ(view.labels.size(), 2u);
  EXPECT_EQ(view.labels[0].second.top, 78 + 7);
  EXPECT_EQ(view.labels[1].second.top, view.labels[0].second.bottom);
  ASSERT_EQ(view.buttons.size(), 1u);
  EXPECT_EQ(view.buttons[0].second.right - view.buttons[0].second.left, 112);
  EXPECT_EQ(view.buttons[0].second.bottom - view.buttons[0].second.top, 39);
}

TEST(NoticeDialog, HiddenButtonDoesNotEndTheDialog) {
  CDialogTemplate dialog(250, 1.0);
  dialog.SetBodyText(Bytes("One button is hidden."), nullptr);
  dialog.AddButton(L"Visible", 7);
  dialog.AddButton(L"Hidden", 6);
  INT_PTR result = 0;
  bool stillOpen = false;
  ShowNotice(dialog, L"Hidden button", result, [&](HWND window) {
    const HWND hidden = GetDlgItem(window, 6);
    ShowWindow(hidden, SW_HIDE);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(6, BN_CLICKED), reinterpret_cast<LPARAM>(hidden));
    stillOpen = IsWindowVisible(window) != FALSE;
    test::ClickCentre(GetDlgItem(window, 7));
  });
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(result, 7);
}

TEST(Resources, SymbolsAreThirtyTwoPixelPngsWithAlpha) {
  for (int kind = kSymbolError; kind <= kSymbolSuccess; ++kind) {
    const std::unique_ptr<SymbolImage> symbol = SymbolImage::Load(kind);
    ASSERT_NE(symbol, nullptr) << kind;
    EXPECT_EQ(symbol->width(), 32);
    EXPECT_EQ(symbol->height(), 32);
    EXPECT_TRUE(Gdiplus::IsAlphaPixelFormat(symbol->image().GetPixelFormat())) << kind;
    Gdiplus::Bitmap canvas(32, 32, PixelFormat32bppARGB);
    {
      Gdiplus::Graphics graphics(&canvas);
      graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
      graphics.DrawImage(&symbol->image(), 0, 0, 32, 32);
    }
    Gdiplus::Color corner;
    Gdiplus::Color centre;
    canvas.GetPixel(0, 0, &corner);
    canvas.GetPixel(16, 16, &centre);
    EXPECT_EQ(corner.GetA(), 0) << kind << ": the corners are transparent";
    EXPECT_EQ(centre.GetA(), 255) << kind;
  }
  EXPECT_EQ(SymbolImage::Load(0), nullptr);
  EXPECT_EQ(SymbolImage::Load(7), nullptr);
}

}  // namespace
}  // namespace brisk

// The password prompt shown for real and answered as a user would.
#include <gtest/gtest.h>

#include <new>
#include <optional>

#include "base/wide_text.h"
#include "payload/encoded_strings.h"
#include "text/message_table.h"
#include "ui/password_dialog.h"
#include "ui_test_support.h"

namespace brisk {
namespace {

using test::ModalDriver;

constexpr char16_t kAppName[] = u"Budget Planner";

std::wstring PromptTitle() { return ToWide(GetEncodedStringW(kApplicationTitle)) + L" " + ToWide(kAppName); }

struct PromptOutcome {
  std::optional<bool> endQuietly;  // no value when the password was wrong
  bool wrong = false;
};

// Runs the prompt on this thread while `actions` act on the dialog.
PromptOutcome RunPrompt(std::u16string_view stored, std::u16string_view commandLine,
                        const std::function<void(HWND dialog)>& actions) {
  PromptOutcome outcome;
  ModalDriver driver([&] {
    const HWND dialog = test::WaitForTitle(PromptTitle());
    if (dialog) actions(dialog);
  });
  const PasswordResult result = RunPasswordPrompt(stored, commandLine, kAppName, UserTexts{});
  outcome.wrong = result == PasswordResult::kWrong;
  if (!outcome.wrong) outcome.endQuietly = result == PasswordResult::kCancelled;
  driver.ModalReturned();
  return outcome;
}

HWND Field(HWND dialog) {
  const std::vector<HWND> edits = test::ChildrenOfClass(dialog, L"Edit");
  return edits.size() == 1 ? edits[0] : nullptr;
}

TEST(PasswordPrompt, LayoutFollowsTheRules) {
  struct Seen {
    RECT window{}, client{}, field{}, ok{}, cancel{};
    std::wstring okText, cancelText;
    std::vector<std::wstring> statics;
    bool fieldHasFocus = false;
    LONG fieldStyle = 0, fieldExStyle = 0;
  } seen;
  const PromptOutcome outcome = RunPrompt(u"Secret", u"", [&](HWND dialog) {
    test::Settle(dialog);
    seen.window = test::WindowRect(dialog);
    seen.client = test::ClientRect(dialog);
    const HWND field = Field(dialog);
    seen.field = test::ChildRect(field);
    seen.fieldStyle = GetWindowLongW(field, GWL_STYLE);
    seen.fieldExStyle = GetWindowLongW(field, GWL_EXSTYLE);
    seen.ok = test::ChildRect(GetDlgItem(dialog, IDOK));
    seen.cancel = test::ChildRect(GetDlgItem(dialog, IDCANCEL));
    seen.okText = test::WindowText(GetDlgItem(dialog, IDOK));
    seen.cancelText = test::WindowText(GetDlgItem(dialog, IDCANCEL));
    for (HWND label : test::ChildrenOfClass(dialog, L"Static")) seen.statics.push_back(test::WindowText(label));
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
    seen.fieldHasFocus = gui.hwndFocus == field;
    test::SaveScreenshot(dialog, "password_prompt");
    test::PressKey(field, VK_ESCAPE);
  });
  EXPECT_EQ(outcome.endQuietly, std::optional<bool>(true));

  EXPECT_EQ(seen.window.right - seen.window.left, 290);
  EXPECT_EQ(seen.field.right, seen.client.right - 4);
  EXPECT_EQ(seen.fieldStyle & (ES_PASSWORD | ES_AUTOHSCROLL), ES_PASSWORD | ES_AUTOHSCROLL);
  EXPECT_TRUE(seen.fieldExStyle & WS_EX_CLIENTEDGE);
  EXPECT_EQ(seen.ok.left, 130);
  EXPECT_EQ(seen.cancel.left, 208);
  for (const RECT& button : {seen.ok, seen.cancel}) {
    EXPECT_EQ(button.right - button.left, 74);
    EXPECT_EQ(button.bottom - button.top, 23);
  }
  EXPECT_EQ(seen.ok.top, seen.cancel.top);
  EXPECT_EQ(seen.client.bottom, seen.ok.bottom + 5);
  EXPECT_EQ(seen.okText, ToWide(GetEncodedStringW(kOkButtonDefault)));
  EXPECT_EQ(seen.cancelText, ToWide(GetEncodedStringW(kCancelButtonDefault)));
  ASSERT_EQ(seen.statics.size(), 2u);
  EXPECT_EQ(seen.statics[0], ToWide(GetEncodedStringW(kAppPasswordProtectedDefault)));
  EXPECT_EQ(seen.statics[1], ToWide(GetEncodedStringW(kPasswordWordDefault)));
  EXPECT_TRUE(seen.fieldHasFocus);
}

TEST(PasswordPrompt, RightPasswordTypedAndConfirmedWithEnter) {
  const PromptOutcome outcome = RunPrompt(u"Secret", u"", [](HWND dialog) {
    const HWND field = Field(dialog);
    test::TypeText(field, L"Secret");
    test::PressKey(field, VK_RETURN);
  });
  EXPECT_EQ(outcome.endQuietly, std::optional<bool>(false));
}

TEST(PasswordPrompt, WrongPasswordConfirmedWithTheOkButtonGivesTheNotice) {
  const PromptOutcome outcome = RunPrompt(u"Secret", u"", [](HWND dialog) {
    test::TypeText(Field(dialog), L"secret");
    test::Settle(dialog);
    test::ClickCentre(GetDlgItem(dialog, IDOK));
  });
  EXPECT_FALSE(outcome.endQuietly.has_value());
  EXPECT_TRUE(outcome.wrong);
}

TEST(PasswordPrompt, EmptyAnswerIsRejected) {
  const PromptOutcome outcome =
      RunPrompt(u"Secret", u"", [](HWND dialog) { test::PressKey(Field(dialog), VK_RETURN); });
  EXPECT_FALSE(outcome.endQuietly.has_value());
}

TEST(PasswordPrompt, CancelButtonEscAndCloseBoxEndQuietly) {
  const std::function<void(HWND)> ways[] = {
      [](HWND dialog) {
        test::TypeText(Field(dialog), L"Secret");
        test::Settle(dialog);
        test::ClickCentre(GetDlgItem(dialog, IDCANCEL));
      },
      [](HWND dialog) { test::PressKey(Field(dialog), VK_ESCAPE); },
      [](HWND dialog) {
        test::Settle(dialog);
        EXPECT_TRUE(test::PressCloseBox(dialog));
      },
  };
  for (const auto& way : ways) {
    const PromptOutcome outcome = RunPrompt(u"Secret", u"", way);
    EXPECT_EQ(outcome.endQuietly, std::optional<bool>(true));
    EXPECT_FALSE(outcome.wrong);
  }
}

TEST(PasswordPrompt, CommandLinePasswordShowsNoDialog) {
  EXPECT_EQ(RunPasswordPrompt(u"Secret", u"Secret", kAppName, UserTexts{}), PasswordResult::kAccepted);
  EXPECT_EQ(RunPasswordPrompt(u"Secret", u"SECRET", kAppName, UserTexts{}), PasswordResult::kWrong);
  EXPECT_EQ(FindWindowW(nullptr, PromptTitle().c_str()), nullptr);
}

TEST(PasswordPrompt, FailureWhileItInitialisesEndsItAsFailed) {
  const test::FailingDialogInit failing([] { throw std::bad_alloc(); });
  // Should the dialog stay up all the same, the driver closes it.
  ModalDriver driver([] {});
  EXPECT_EQ(RunPasswordPrompt(u"Secret", u"", kAppName, UserTexts{}), PasswordResult::kFailed);
  driver.ModalReturned();
  EXPECT_EQ(FindWindowW(nullptr, PromptTitle().c_str()), nullptr);
}

TEST(PasswordPrompt, LongAnswerIsCutAt511Characters) {
  const std::u16string stored(511, u'x');
  const PromptOutcome outcome = RunPrompt(stored, u"", [](HWND dialog) {
    const HWND field = Field(dialog);
    const std::wstring typed(600, L'x');
    SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    test::PressKey(field, VK_RETURN);
  });
  EXPECT_EQ(outcome.endQuietly, std::optional<bool>(false));
}

}  // namespace
}  // namespace brisk

// The password decision and the prompt's layout.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "payload/encoded_strings.h"
#include "text/message_table.h"
#include "ui/password_check.h"
#include "ui/password_layout.h"

namespace brisk {
namespace {

struct Outcome {
  bool endQuietly = false;
  bool wrong = false;
  bool failed = false;
  int questions = 0;
  int pauses = 0;
};

// `answer` is what the user typed; none when the prompt was cancelled.
Outcome Check(std::u16string_view stored, std::u16string_view commandLine, std::optional<std::u16string> answer,
              PasswordAnswer::Kind kind = PasswordAnswer::Kind::kTyped) {
  Outcome outcome;
  const PasswordQuestion ask = [&] {
    ++outcome.questions;
    if (!answer) return PasswordAnswer{PasswordAnswer::Kind::kCancelled, {}};
    return PasswordAnswer{kind, SecretText(*answer)};
  };
  const PasswordResult result = CheckPassword(stored, commandLine, ask, [&] { ++outcome.pauses; });
  outcome.endQuietly = result == PasswordResult::kCancelled;
  outcome.wrong = result == PasswordResult::kWrong;
  outcome.failed = result == PasswordResult::kFailed;
  return outcome;
}

// Every unit of the text's storage, its capacity included.
std::u16string Storage(std::u16string& text) { return std::u16string(text.data(), text.data() + text.capacity()); }

TEST(PasswordCheck, CommandLinePasswordIsUsedInsteadOfAsking) {
  const Outcome right = Check(u"Secret", u"Secret", u"ignored");
  EXPECT_FALSE(right.endQuietly);
  EXPECT_FALSE(right.wrong);
  EXPECT_EQ(right.questions, 0);
  EXPECT_EQ(right.pauses, 0);

  const Outcome other = Check(u"Secret", u"Wrong", u"Secret");
  EXPECT_TRUE(other.wrong);
  EXPECT_EQ(other.questions, 0) << "no fall-back to the dialog";
  EXPECT_EQ(other.pauses, 1);
}

TEST(PasswordCheck, OneAnswerIsComparedUnitForUnit) {
  struct Case {
    std::u16string answer;
    bool accepted;
  };
  const Case cases[] = {
      {u"Secret", true},   {u"secret", false}, {u"SECRET", false}, {u"Secret ", false},
      {u" Secret", false}, {u"", false},       {u"Secre", false},  {u"Secret\u0301", false},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Check(u"Secret", u"", c.answer);
    EXPECT_EQ(outcome.questions, 1);
    EXPECT_EQ(outcome.wrong, !c.accepted) << std::string(c.answer.begin(), c.answer.end());
    EXPECT_EQ(outcome.pauses, c.accepted ? 0 : 1);
    EXPECT_FALSE(outcome.endQuietly);
  }
}

TEST(PasswordCheck, CancelledPromptEndsQuietlyWithoutPause) {
  const Outcome outcome = Check(u"Secret", u"", std::nullopt);
  EXPECT_TRUE(outcome.endQuietly);
  EXPECT_FALSE(outcome.wrong);
  EXPECT_EQ(outcome.pauses, 0);
}

TEST(PasswordCheck, FailedPromptIsToldApartWithoutPause) {
  const Outcome outcome = Check(u"Secret", u"", u"Secret", PasswordAnswer::Kind::kFailed);
  EXPECT_TRUE(outcome.failed);
  EXPECT_FALSE(outcome.endQuietly);
  EXPECT_FALSE(outcome.wrong);
  EXPECT_EQ(outcome.pauses, 0);
}

TEST(PasswordCheck, WipeOverwritesTheWholeStorage) {
  // A short text lives in the string's inline buffer, and a move copies it
  // from there, leaving the characters behind; a long one lives on the heap.
  for (const std::u16string& secret : {std::u16string(u"Pw"), std::u16string(300, u'k')}) {
    std::u16string text = secret;
    std::u16string movedTo = std::move(text);
    WipeText(text);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(Storage(text), std::u16string(text.capacity(), u'\0'));
    const std::size_t capacity = movedTo.capacity();
    WipeText(movedTo);
    EXPECT_EQ(movedTo.capacity(), capacity) << "wiped in place";
    EXPECT_EQ(Storage(movedTo), std::u16string(capacity, u'\0'));
  }
}

TEST(PasswordCheck, WipeLeavesAnEmptyText) {
  std::u16string text = u"Secret";
  WipeText(text);
  EXPECT_TRUE(text.empty());
}

TEST(PasswordLayout, FieldRunsTo4PixelsFromTheRightAndButtonsAre74By23) {
  // After a first line of 15 pixels from cursor 5; a label 62 x 13 wide in
  // the default font; client 284 wide; frame and caption 25 high.
  const PasswordLayout layout = LayoutPasswordControls(20, {62, 13}, 284, 25);
  EXPECT_EQ(layout.label, (Rect{4, 25, 62, 40}));
  EXPECT_EQ(layout.field, (Rect{66, 23, 280, 41}));
  EXPECT_EQ(layout.ok, (Rect{130, 49, 204, 72}));
  EXPECT_EQ(layout.cancel, (Rect{208, 49, 282, 72}));
  EXPECT_EQ(layout.cursorY, 77);
  EXPECT_EQ(layout.windowHeight, 102);
  EXPECT_EQ(layout.ok.Width(), 74);
  EXPECT_EQ(layout.cancel.Height(), 23);
}

}  // namespace
}  // namespace brisk

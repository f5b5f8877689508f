#include "tests/support/question_answerer.h"

#include "base/thread_win.h"
#include "tests/support/process_windows.h"

namespace brisk::test {

namespace {

constexpr DWORD kPollMs = 25;
constexpr DWORD kStopWaitMs = 10000;

struct QuestionSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchQuestionBox(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<QuestionSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.processId || !IsWindowVisible(window) || ClassName(window) != L"#32770" ||
      !GetDlgItem(window, IDRETRY)) {
    return TRUE;
  }
  search.found = window;
  return FALSE;
}

}  // namespace

// Without a message to any window: a window of the process may not answer
// (a host that holds a message in this very test).
HWND FindQuestionBox(DWORD processId) {
  QuestionSearch search{processId, nullptr};
  EnumWindows(MatchQuestionBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

QuestionAnswerer::QuestionAnswerer(DWORD processId, std::vector<int> answers, DWORD afterMs)
    : processId_(processId),
      answers_(std::move(answers)),
      afterMs_(afterMs),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  thread_ = StartThread([this] { Watch(); });
}

QuestionAnswerer::~QuestionAnswerer() {
  SetEvent(stop_.get());
  WaitForSingleObject(thread_.get(), kStopWaitMs);
}

void QuestionAnswerer::Watch() {
  HWND open = nullptr;
  while (WaitForSingleObject(stop_.get(), kPollMs) == WAIT_TIMEOUT) {
    const HWND box = FindQuestionBox(processId_);
    if (box == open) continue;
    open = box;
    if (!box) continue;
    const int index = asked_++;
    if (index >= static_cast<int>(answers_.size())) continue;
    if (WaitForSingleObject(stop_.get(), afterMs_) != WAIT_TIMEOUT) return;
    PressButton(box, answers_[static_cast<std::size_t>(index)]);
  }
}

}  // namespace brisk::test

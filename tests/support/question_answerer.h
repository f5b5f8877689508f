// The user who answers the launcher's question after the host's silence
// limit (host/host_wait_win.h) in a test whose own thread is held by the
// wait: a thread that watches a process for the question box (a visible
// dialog with a Retry button), counts each one it sees and answers it with
// the next of its answers; once they are used up it leaves boxes open.
#pragma once

#include <windows.h>

#include <atomic>
#include <vector>

#include "base/unique_handle.h"

namespace brisk::test {

// The question box among the process's visible windows; null when none is
// up.
HWND FindQuestionBox(DWORD processId);

class QuestionAnswerer {
 public:
  // `answers`: button ids (IDRETRY, IDCANCEL), pressed `afterMs` after each
  // box appeared.
  QuestionAnswerer(DWORD processId, std::vector<int> answers, DWORD afterMs = 200);
  // Stops watching (bounded).
  ~QuestionAnswerer();
  QuestionAnswerer(const QuestionAnswerer&) = delete;
  QuestionAnswerer& operator=(const QuestionAnswerer&) = delete;

  // How many boxes appeared so far.
  int asked() const { return asked_.load(); }

 private:
  void Watch();

  const DWORD processId_;
  const std::vector<int> answers_;
  const DWORD afterMs_;
  std::atomic<int> asked_{0};
  UniqueHandle stop_;
  UniqueHandle thread_;
};

}  // namespace brisk::test

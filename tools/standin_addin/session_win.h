// One hand-over as the add-in sees it: from DummyFunc9 to the events it
// signals. A later DummyFunc9 starts a new session.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "base/unique_handle.h"
#include "log_file_win.h"
#include "tools/addin_protocol/addin_config.h"
#include "tools/addin_protocol/addin_log.h"

namespace brisk::addin {

class Session {
 public:
  Session(AddinConfig config, std::shared_ptr<LogFile> log) : config_(std::move(config)), log_(std::move(log)) {}

  LogFile& log() { return *log_; }

  // A message of the WM_USER range on one of the host's windows: recorded,
  // disturbed as configured, then handled.
  void OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Delivery delivery);
  // WM_SETICON or WM_QUIT on one of them: recorded, nothing more.
  void OnSystemMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Delivery delivery);
  // What the configuration asks for while the add-in handles `message` on
  // `window` (addin_config.h): a broadcast, a modal dialog, a hang, the end
  // of the process; all but the end at the first such message only.
  void Disturb(HWND window, UINT message);

 private:
  void OpenEvents(std::uint32_t launcherProcessId);
  void SignalAfterHandOver();
  void Signal(const char* which, UniqueHandle& held, const std::wstring& name, const SignalPlan& plan);
  void Broadcast(UINT message);
  void ShowDialog(HWND window, UINT message);
  void Hang(HWND window, UINT message);
  void Crash(HWND window, UINT message);

  const AddinConfig config_;
  const std::shared_ptr<LogFile> log_;
  std::atomic<int> order_{0};
  std::atomic<bool> dialogShown_{false};
  std::atomic<bool> hung_{false};
  std::atomic<bool> broadcast_{false};
  // From message 1159 on.
  std::atomic<std::uint32_t> launcherProcessId_{0};
  // Touched only by the thread of the window that gets the hand-over.
  std::wstring closeName_;
  std::wstring readyName_;
  UniqueHandle closeEvent_;
  UniqueHandle readyEvent_;
};

// The session of the latest DummyFunc9 with code 1170, or null.
std::shared_ptr<Session> CurrentSession();
void SetCurrentSession(std::shared_ptr<Session> session);

// DummyFunc9: reads the configuration, subclasses the host's windows, reads
// the command-line file and starts a session. Returns the number of windows
// watched.
int Attach(LONG code, IDispatch* application, LONG_PTR reserved);

// Records a call of another export in the current session's log.
void RecordCall(const char* function);

}  // namespace brisk::addin

// The launcher's process-wide state: everything that outlives a single call.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "base/unique_handle.h"
#include "payload/build_settings.h"
#include "payload/payload_buffer.h"
#include "text/macro_table.h"
#include "text/message_table.h"

namespace brisk {

struct LauncherState {
  LauncherState();
  ~LauncherState();
  LauncherState(const LauncherState&) = delete;
  LauncherState& operator=(const LauncherState&) = delete;

  std::wstring exeDir;  // without trailing backslash
  std::wstring exePath;
  std::wstring tempDir;
  std::wstring workbookPath;
  std::wstring addinPath;
  std::wstring auxWorkbookPath;
  BuildSettings settings;
  std::wstring commandLinePassword;
  // Owned reference; the field is cleared before Release, so it is released once.
  IDispatch* host = nullptr;
  HWND hostWindow = nullptr;
  bool aborted = false;
  std::int32_t hostMajorVersion = 0;
  std::int32_t optionValue = 0;
  DWORD splashThreadId = 0;
  UniqueHandle splashThread;
  UniqueHandle instanceMutex;
  // Never closed: the add-in may still signal them; the process exit releases them.
  HANDLE closeEvent = nullptr;
  HANDLE readyEvent = nullptr;
  std::unique_ptr<MacroEnvironment> macroEnvironment;
  std::unique_ptr<MacroTable> macroTable;
  UniqueIcon largeIcon;
  UniqueIcon smallIcon;
  PayloadBuffer rawRecord;
  PayloadBuffer eulaTextBuffer;
  PayloadBuffer workbookBuffer;
  std::unique_ptr<MessageTable> messageTable;
  std::unique_ptr<std::thread> closeWaiter;
  std::atomic<bool> closeSeen{false};
  std::unique_ptr<std::thread> readyWaiter;
  std::atomic<bool> readySeen{false};
  bool testMode = false;

  UserTexts Texts() const { return UserTexts{messageTable.get(), macroTable.get()}; }
};

// The one instance, built before wWinMain runs and destroyed after it returns.
extern LauncherState gLauncher;

// Seeds the C runtime's random generator from the time and the clock.
void SeedRandomGenerator();

}  // namespace brisk

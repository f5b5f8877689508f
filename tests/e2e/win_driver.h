// What the end-to-end scenarios need of Windows: files and folders, the
// windows of a process and their texts, processes started with their own
// environment, and the list of running processes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/unique_handle.h"

namespace brisk::e2e {

// The Wine drive path of a path of the build machine.
std::wstring WinePath(std::string_view unixPath);

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
// Equal but for the case of letters, as Windows compares names.
bool EqualNoCase(std::wstring_view a, std::wstring_view b);

bool WriteFileBytes(const std::wstring& path, std::string_view bytes);
// The whole file; nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);
// Every file and folder below `folder`, as relative paths ("a", "a\b"),
// sorted; folders end with a backslash.
std::vector<std::wstring> ListTree(const std::wstring& folder);
void RemoveTree(const std::wstring& folder);

struct WindowInfo {
  HWND handle = nullptr;
  std::wstring className;
  std::wstring title;
  bool visible = false;
};

// The top-level windows of a process, in Z order.
std::vector<WindowInfo> TopLevelWindows(DWORD processId);
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
// The text of a dialog's control; empty when there is no such control.
std::wstring ItemText(HWND dialog, int id);

// What a user does with a dialog: press a button, type into a field.
void PressButton(HWND dialog, int id);
void TypeInto(HWND field, std::wstring_view text);
// A left click into the window, and a key pressed while it has the focus.
void ClickWindow(HWND window);
void PressKey(HWND window, WORD virtualKey);
// Sets a named event of another process; false when it does not exist.
bool SignalNamedEvent(const std::wstring& name);
// The first child window of a class, or null.
HWND FindChild(HWND parent, std::wstring_view className);

struct ProcessInfo {
  DWORD id = 0;
  std::wstring exeName;  // the executable's file name
};

std::vector<ProcessInfo> RunningProcesses();
// Waits (bounded) until the process has ended; true when it has, or when no
// process of that id exists.
bool WaitForProcessExit(DWORD processId, DWORD milliseconds);
// Ends the process by its id; true when it is gone afterwards.
bool EndProcessById(DWORD processId);

// A program started by the test. The environment is the test's own with the
// given variables replaced; standard output and error go to `outputFile`
// when one is given. The destructor ends the process when it still runs.
class Process {
 public:
  Process(const std::wstring& exe, const std::wstring& arguments,
          const std::vector<std::pair<std::wstring, std::wstring>>& environment = {},
          const std::wstring& outputFile = L"");
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return static_cast<bool>(process_); }
  DWORD id() const { return id_; }
  std::wstring commandLine() const { return commandLine_; }
  // The exit code once the process has ended within the time.
  std::optional<DWORD> WaitForExit(DWORD milliseconds);
  bool Running() const;
  // Ends it now; true when it was still running.
  bool End();

 private:
  UniqueHandle process_;
  DWORD id_ = 0;
  std::wstring commandLine_;
};

}  // namespace brisk::e2e

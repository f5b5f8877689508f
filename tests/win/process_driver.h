// Drives launcher processes from a test: starts them, finds their windows,
// answers their message boxes, and ends them by their handle when done.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brisk::test {

// The Wine drive letter path of a file of the build tree.
std::wstring WinePath(const std::string& unixPath);

// A fresh folder under the temporary root, removed with its content.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

class ChildProcess {
 public:
  ChildProcess(const std::wstring& exe, const std::wstring& arguments);
  ~ChildProcess();  // ends the process when it is still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  // The exit code, or nothing when it did not end within the time.
  std::optional<DWORD> WaitForExit(DWORD milliseconds);
  // Whether the process shows any visible top-level window now.
  bool HasVisibleWindow() const;

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Waits for a visible dialog (class "#32770") of the process; null on time-out.
HWND WaitForDialog(DWORD processId, DWORD milliseconds);

std::wstring WindowText(HWND window);
std::wstring DialogItemText(HWND dialog, int id);
// Presses the dialog's button with that id as a user would.
void ClickButton(HWND dialog, int id);

bool FileExists(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);

// A copy of the built launcher with the given payload resources.
std::wstring MakeLauncherCopy(const TempFolder& folder, const std::wstring& name);

}  // namespace brisk::test

// Files, folders and windows for the Windows-side tests of the host layer.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace brisk::test {

// The Windows form of a path of the build tree.
std::wstring WinePath(const std::string& unixPath);

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

bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);

struct WindowInfo {
  HWND handle = nullptr;
  std::wstring className;
  std::wstring title;
  bool visible = false;
};

// The top-level windows of a process, in enumeration order.
std::vector<WindowInfo> TopLevelWindows(DWORD processId);

}  // namespace brisk::test

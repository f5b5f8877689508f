#include "core/temp_cleanup_win.h"

#include <windows.h>

#include <direct.h>
#include <stdio.h>

#include "base/wide_text.h"

namespace brisk {

namespace {

const wchar_t* W(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

bool WindowsCleanupFileSystem::Exists(const std::u16string& path) {
  return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

bool WindowsCleanupFileSystem::IsFile(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WindowsCleanupFileSystem::RemoveFile(const std::u16string& path) {
  return _wremove(W(path)) == 0;
}

bool WindowsCleanupFileSystem::RemoveFolder(const std::u16string& path) {
  return _wrmdir(W(path)) == 0;
}

void WindowsCleanupFileSystem::Pause(unsigned milliseconds) {
  Sleep(milliseconds);
}

std::u16string WindowsCleanupFileSystem::TempRoot() {
  wchar_t tempPath[512] = {};
  wchar_t longPath[1024] = {};
  if (GetTempPathW(512, tempPath) == 0) return {};
  if (GetLongPathNameW(tempPath, longPath, 1024) == 0) return ToU16(tempPath);
  return ToU16(longPath);
}

void CleanupTempFiles(const std::wstring& first, const std::wstring& second) {
  WindowsCleanupFileSystem fileSystem;
  CleanupTempFiles(ToU16(first), ToU16(second), fileSystem);
}

}  // namespace brisk

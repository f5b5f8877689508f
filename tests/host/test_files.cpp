#include "test_files.h"

#include <cstdio>
#include <cstdlib>

namespace brisk::test {

namespace {

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<std::pair<DWORD, std::vector<WindowInfo>>*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != search.first) return TRUE;
  wchar_t className[512] = {};
  wchar_t title[512] = {};
  GetClassNameW(window, className, 512);
  GetWindowTextW(window, title, 512);
  search.second.push_back({window, className, title, IsWindowVisible(window) != FALSE});
  return TRUE;
}

}  // namespace

std::wstring WinePath(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
  return path;
}

TempFolder::TempFolder() {
  wchar_t root[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, root);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[64];
    std::swprintf(name, 64, L"brisk-host-%lu-%u-%d", GetCurrentProcessId(), ++counter, std::rand());
    const std::wstring candidate = std::wstring(root) + name;
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
}

TempFolder::~TempFolder() {
  if (!path_.empty()) RemoveTree(path_);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
  CloseHandle(file);
  return bytes;
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<WindowInfo> TopLevelWindows(DWORD processId) {
  std::pair<DWORD, std::vector<WindowInfo>> search{processId, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

}  // namespace brisk::test

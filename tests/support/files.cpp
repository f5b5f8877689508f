#include "tests/support/files.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/wide_text.h"
#include "base/unique_process.h"

namespace brisk::test {

std::wstring WinePath(std::string_view unixPath) {
  std::wstring path = L"Z:" + WideFromUtf8(unixPath);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

std::wstring TempRoot() {
  wchar_t root[MAX_PATH + 1] = {};
  std::wstring path(root, GetTempPathW(MAX_PATH + 1, root));
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

TempFolder::TempFolder() {
  // Unique within the process by the counter, across processes by the id.
  static std::atomic<unsigned> counter = 0;
  const std::wstring root = TempRoot();
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::wstring candidate =
        root + L"\\brisk-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
  }
}

TempFolder::TempFolder(std::wstring path) {
  RemoveTree(path);
  // What could not be removed stays; the folder is still the test's.
  const DWORD attributes =
      CreateDirectoryW(path.c_str(), nullptr) ? FILE_ATTRIBUTE_DIRECTORY : GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) path_ = std::move(path);
}

TempFolder::~TempFolder() {
  if (!path_.empty()) RemoveTree(path_);
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  return WriteFileBytes(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> ListTree(const std::wstring& folder) {
  std::vector<std::wstring> entries;
  std::error_code error;
  const std::filesystem::path root(folder);
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    std::wstring relative = it->path().lexically_relative(root).wstring();
    std::replace(relative.begin(), relative.end(), L'/', L'\\');
    if (it->is_directory(error)) relative += L'\\';
    entries.push_back(std::move(relative));
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

void RemoveTree(const std::wstring& folder) {
  // Entry by entry, so that one file still held by a process keeps only
  // itself and its folders.
  std::error_code error;
  const std::filesystem::path root(folder);
  if (std::filesystem::is_directory(std::filesystem::symlink_status(root, error))) {
    std::vector<std::wstring> children;
    for (auto it = std::filesystem::directory_iterator(root, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
      children.push_back(it->path().wstring());
    }
    for (const std::wstring& child : children) RemoveTree(child);
  }
  std::filesystem::remove(root, error);
}

namespace {

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// The Unix path of a Windows path under Wine (UTF-8), or nothing.
std::optional<std::string> UnixPath(const std::wstring& path) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  const auto toUnix = reinterpret_cast<UnixFileName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return std::nullopt;
  char* unixPath = toUnix(path.c_str());
  if (!unixPath) return std::nullopt;
  std::string result = unixPath;
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

// Starts a program of the Unix side under Wine. Wine runs it outside its
// own processes: CreateProcessW succeeds without a handle to wait on, so
// the caller waits for the program's effect instead.
bool StartUnixTool(const std::wstring& tool, const std::vector<std::string>& arguments) {
  std::wstring commandLine = L"\"" + tool + L"\"";
  for (const std::string& argument : arguments) commandLine += L" \"" + WideFromUtf8ForDisplay(argument) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    return false;
  }
  const UniqueProcess owner(started);
  return true;
}

bool Present(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// Waits (bounded) until the path is there, or gone.
bool WaitForPresence(const std::wstring& path, bool present) {
  for (int i = 0; i < 200; ++i) {
    if (Present(path) == present) return true;
    Sleep(25);
  }
  return false;
}

}  // namespace

bool MakeLink(const std::wstring& link, const std::wstring& target) {
  if (!UnderWine()) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const DWORD flags = (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                            ? SYMBOLIC_LINK_FLAG_DIRECTORY
                            : 0;
    return CreateSymbolicLinkW(link.c_str(), target.c_str(), flags | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  }
  const auto unixTarget = UnixPath(target);
  const auto unixLink = UnixPath(link);
  return unixTarget && unixLink && StartUnixTool(L"Z:\\bin\\ln", {"-s", *unixTarget, *unixLink}) &&
         WaitForPresence(link, true);
}

bool RemoveLink(const std::wstring& link) {
  if (!UnderWine()) {
    const DWORD attributes = GetFileAttributesW(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(link.c_str()) : DeleteFileW(link.c_str());
  }
  const auto unixLink = UnixPath(link);
  return unixLink && StartUnixTool(L"Z:\\bin\\rm", {"-f", *unixLink}) && WaitForPresence(link, false);
}

}  // namespace brisk::test

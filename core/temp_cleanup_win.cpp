#include "core/temp_cleanup_win.h"

#include <windows.h>

#include "base/ascii_case.h"
#include "base/unique_handle.h"
#include "base/wide_text.h"
#include "core/working_folder_win.h"
#include "payload/encoded_strings.h"

namespace brisk {

namespace {

constexpr DWORD kPathUnits = 32768;
// A marker is three short lines; anything longer is not one.
constexpr DWORD kMaxMarkerBytes = 256;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// Opens the object itself where the system can: a link is opened as a link.
UniqueFileHandle OpenEntry(const std::u16string& path, DWORD access) {
  return UniqueFileHandle(CreateFileW(W(path), access, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// The path the handle's object really has, without the "\\?\" prefix.
std::optional<std::u16string> FinalPath(HANDLE handle) {
  std::wstring buffer(kPathUnits, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), kPathUnits, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= kPathUnits) return std::nullopt;
  buffer.resize(length);
  if (buffer.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    buffer = L"\\\\" + buffer.substr(8);
  } else if (buffer.rfind(L"\\\\?\\", 0) == 0) {
    buffer = buffer.substr(4);
  }
  return ToU16(buffer);
}

std::optional<std::u16string> FinalPathOf(const std::u16string& path) {
  const UniqueFileHandle handle = OpenEntry(path, FILE_READ_ATTRIBUTES);
  if (!handle) return std::nullopt;
  return FinalPath(handle.get());
}

std::optional<DWORD> AttributesOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information)) return std::nullopt;
  return information.dwFileAttributes;
}

bool IsReparsePoint(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

bool MarkForDeletion(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// A read-only file cannot be deleted; it is made writable first.
void ClearReadOnly(HANDLE handle, DWORD attributes) {
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return;
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) return;
  basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
}

// Whether the opened object is `path` itself: its real path is the real
// path of the folder above it followed by its own name. An object reached
// along a link, or a link the system followed, has another real path.
bool IsNamedChild(HANDLE handle, const std::u16string& path) {
  const PathParts parts = SplitPath(path);
  if (parts.folder.empty()) return false;
  const auto finalPath = FinalPath(handle);
  const auto folderFinal = FinalPathOf(parts.folder);
  return finalPath && folderFinal && EqualsIgnoringCase(*finalPath, JoinPath(*folderFinal, parts.name));
}

// The real path of a working folder that is a plain folder in its place.
std::optional<std::u16string> RealFolderPath(const std::u16string& folder) {
  const UniqueFileHandle handle = OpenEntry(folder, FILE_READ_ATTRIBUTES);
  if (!handle) return std::nullopt;
  const auto attributes = AttributesOf(handle.get());
  if (!attributes || !(*attributes & FILE_ATTRIBUTE_DIRECTORY) || IsReparsePoint(*attributes) ||
      !IsNamedChild(handle.get(), folder)) {
    return std::nullopt;
  }
  return FinalPath(handle.get());
}

RemoveResult OpenFailure() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return RemoveResult::kAbsent;
    case ERROR_SHARING_VIOLATION:
    case ERROR_ACCESS_DENIED:
    case ERROR_LOCK_VIOLATION:
      return RemoveResult::kInUse;
    default:
      return RemoveResult::kRefused;
  }
}

template <typename Visit>
void ForEachEntry(const std::u16string& folder, Visit visit) {
  WIN32_FIND_DATAW found;
  const std::u16string pattern = JoinPath(folder, u"*");
  const UniqueFindHandle search(FindFirstFileW(W(pattern), &found));
  if (!search) return;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") visit(ToU16(name), found.dwFileAttributes);
  } while (FindNextFileW(search.get(), &found));
}

}  // namespace

std::optional<std::u16string> WindowsCleanupFileSystem::CanonicalPath(const std::u16string& path) {
  std::wstring full(kPathUnits, L'\0');
  const DWORD length = GetFullPathNameW(W(path), kPathUnits, full.data(), nullptr);
  if (length == 0 || length >= kPathUnits) return std::nullopt;
  full.resize(length);
  // Long names for the part that exists; a file that is gone keeps its name.
  std::u16string canonical = ToU16(full);
  const PathParts parts = SplitPath(canonical);
  std::wstring longForm(kPathUnits, L'\0');
  if (const DWORD longLength = GetLongPathNameW(full.c_str(), longForm.data(), kPathUnits);
      longLength > 0 && longLength < kPathUnits) {
    longForm.resize(longLength);
    canonical = ToU16(longForm);
  } else if (!parts.folder.empty()) {
    const DWORD folderLength = GetLongPathNameW(W(parts.folder), longForm.data(), kPathUnits);
    if (folderLength > 0 && folderLength < kPathUnits) {
      longForm.resize(folderLength);
      canonical = JoinPath(ToU16(longForm), parts.name);
    }
  }
  while (canonical.size() > 3 && (canonical.back() == u'\\' || canonical.back() == u'/')) canonical.pop_back();
  return canonical;
}

std::u16string WindowsCleanupFileSystem::TempRoot() {
  const std::u16string root = SystemTempRoot();
  if (root.empty()) return {};
  return CanonicalPath(root).value_or(std::u16string());
}

std::vector<std::u16string> WindowsCleanupFileSystem::SubfolderNames(const std::u16string& folder) {
  std::vector<std::u16string> names;
  ForEachEntry(folder, [&](std::u16string name, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsReparsePoint(attributes)) names.push_back(std::move(name));
  });
  return names;
}

std::vector<std::u16string> WindowsCleanupFileSystem::EntryNames(const std::u16string& folder) {
  std::vector<std::u16string> names;
  ForEachEntry(folder, [&](std::u16string name, DWORD attributes) {
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || IsReparsePoint(attributes)) names.push_back(std::move(name));
  });
  return names;
}

std::u16string WindowsCleanupFileSystem::MarkerName() { return GetEncodedStringW(kWorkingFolderMarkerName); }

std::optional<std::string> WindowsCleanupFileSystem::ReadMarker(const std::u16string& folder) {
  const std::u16string path = JoinPath(folder, MarkerName());
  const UniqueFileHandle file = OpenEntry(path, GENERIC_READ);
  if (!file) return std::nullopt;
  const auto attributes = AttributesOf(file.get());
  const auto folderFinal = RealFolderPath(folder);
  if (!attributes || (*attributes & FILE_ATTRIBUTE_DIRECTORY) || IsReparsePoint(*attributes) || !folderFinal ||
      !EqualsIgnoringCase(FinalPath(file.get()).value_or(u""), JoinPath(*folderFinal, MarkerName()))) {
    return std::nullopt;
  }
  std::string content(kMaxMarkerBytes + 1, '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), content.data(), kMaxMarkerBytes + 1, &read, nullptr) || read > kMaxMarkerBytes) {
    return std::nullopt;
  }
  content.resize(read);
  return content;
}

RemoveResult WindowsCleanupFileSystem::RemoveEntry(const std::u16string& folder, const std::u16string& name) {
  // Nothing is removed from a folder that is itself a link or lies
  // elsewhere than its name says.
  const auto folderFinal = RealFolderPath(folder);
  if (!folderFinal) return RemoveResult::kRefused;
  const UniqueFileHandle entry = OpenEntry(JoinPath(folder, name), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
  if (!entry) return OpenFailure();
  const auto attributes = AttributesOf(entry.get());
  if (!attributes) return RemoveResult::kRefused;
  if (!IsReparsePoint(*attributes)) {
    // A plain folder is never ours to remove here, and an object whose real
    // path lies elsewhere was reached along a link.
    const auto finalPath = FinalPath(entry.get());
    if ((*attributes & FILE_ATTRIBUTE_DIRECTORY) || !finalPath ||
        !EqualsIgnoringCase(*finalPath, JoinPath(*folderFinal, name))) {
      return RemoveResult::kRefused;
    }
    ClearReadOnly(entry.get(), *attributes);
  }
  return MarkForDeletion(entry.get()) ? RemoveResult::kRemoved : RemoveResult::kInUse;
}

bool WindowsCleanupFileSystem::RemoveFolder(const std::u16string& folder) {
  const UniqueFileHandle handle = OpenEntry(folder, DELETE | FILE_READ_ATTRIBUTES);
  if (!handle) return false;
  const auto attributes = AttributesOf(handle.get());
  if (!attributes || !(*attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (!IsReparsePoint(*attributes) && !IsNamedChild(handle.get(), folder)) return false;
  return MarkForDeletion(handle.get());
}

bool WindowsCleanupFileSystem::ProcessRunning(const ProcessStamp& process) {
  const UniqueHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, process.id));
  if (!handle) {
    // A process that cannot be asked (another user's) counts as running, so
    // that nothing it may hold is touched.
    return GetLastError() != ERROR_INVALID_PARAMETER;
  }
  if (WaitForSingleObject(handle.get(), 0) != WAIT_TIMEOUT) return false;
  return StampOfProcess(handle.get()) == process;
}

void WindowsCleanupFileSystem::Pause(unsigned milliseconds) { Sleep(milliseconds); }

void CleanupTempFiles(const std::wstring& first, const std::wstring& second) {
  WindowsCleanupFileSystem fileSystem;
  CleanupTempFiles(ToU16(first), ToU16(second), fileSystem);
}

}  // namespace brisk

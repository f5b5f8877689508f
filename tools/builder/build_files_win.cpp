#include "build_files.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <utility>

#include "base/wide_text.h"
#include "interruption.h"

namespace brisk {

namespace {

UniqueFileHandle Open(const std::filesystem::path& path, DWORD access, DWORD disposition, DWORD flags = 0) {
  return UniqueFileHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, disposition, flags, nullptr));
}

std::wstring Hex(std::uint64_t value) {
  wchar_t buffer[24];
  std::swprintf(buffer, 24, L"%llx", static_cast<unsigned long long>(value));
  return buffer;
}

struct LocalMemoryFree {
  void operator()(wchar_t* text) const { LocalFree(text); }
};

}  // namespace

std::string SystemMessage(unsigned long error) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalMemoryFree> text(buffer);
  std::wstring message = length && text ? std::wstring(text.get(), length) : L"error " + std::to_wstring(error);
  for (wchar_t& c : message) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  while (!message.empty() && (message.back() == L' ' || message.back() == L'.')) message.pop_back();
  return Utf16ToUtf8Lossy(ToU16(message));
}

std::string Utf8Path(const std::filesystem::path& path) { return Utf16ToUtf8Lossy(ToU16(path.native())); }

std::filesystem::path FullPath(const std::filesystem::path& path) {
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
  full.resize(written);
  return full;
}

std::optional<std::string> EnvironmentVariable(const char* name) {
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring value(length, L'\0');
  value.resize(GetEnvironmentVariableW(wideName.c_str(), value.data(), length));
  return Utf16ToUtf8Lossy(ToU16(value));
}

std::string ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes,
                          std::size_t prefix) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return SystemMessage(GetLastError());
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "it is a folder";
  const UniqueFileHandle file = Open(path, GENERIC_READ, OPEN_EXISTING);
  if (!file) return SystemMessage(GetLastError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return SystemMessage(GetLastError());
  if (static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
    return "larger than " + std::to_string(maxBytes / (1024 * 1024)) + " MiB";
  }
  bytes.assign(prefix + static_cast<std::size_t>(size.QuadPart), 0);
  std::size_t done = prefix;
  while (done < bytes.size()) {
    DWORD read = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 24));
    if (!ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr)) return SystemMessage(GetLastError());
    if (read == 0) return "it ended early";
    done += read;
  }
  return {};
}

std::string WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  const UniqueFileHandle file = Open(path, GENERIC_WRITE, TRUNCATE_EXISTING);
  if (!file) return SystemMessage(GetLastError());
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 24));
    if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr)) return SystemMessage(GetLastError());
    done += written;
  }
  return FlushFileBuffers(file.get()) ? std::string() : SystemMessage(GetLastError());
}

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  const UniqueFileHandle file = Open(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

ScratchFile& ScratchFile::operator=(ScratchFile&& other) noexcept {
  if (this != &other) {
    if (!path_.empty()) DeleteFileW(path_.c_str());
    interruption::Release(slot_);
    path_ = std::exchange(other.path_, {});
    slot_ = std::exchange(other.slot_, -1);
  }
  return *this;
}

ScratchFile::~ScratchFile() {
  if (!path_.empty()) DeleteFileW(path_.c_str());
  interruption::Release(slot_);
}

std::optional<ScratchFile> ScratchFile::Create(const std::filesystem::path& beside, const std::string& tag,
                                               const std::string& extension, std::string& error) {
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    std::filesystem::path path = beside;
    path += L".~" + std::wstring(tag.begin(), tag.end()) + L"-" + Hex(GetCurrentProcessId()) + L"-" +
            std::to_wstring(attempt) + WideFromUtf8ForDisplay(extension);
    const UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    if (file) {
      ScratchFile scratch;
      scratch.slot_ = interruption::Hold(path);
      scratch.path_ = std::move(path);
      return scratch;
    }
    const DWORD code = GetLastError();
    error = SystemMessage(code);
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) return std::nullopt;
  }
  return std::nullopt;
}

std::string ScratchFile::MoveTo(const std::filesystem::path& target) {
  if (!MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return SystemMessage(GetLastError());
  }
  path_.clear();
  interruption::Release(std::exchange(slot_, -1));
  return {};
}

std::optional<OutputLock> OutputLock::Create(const std::filesystem::path& output, std::string& error) {
  const std::optional<FileIdentity> folder = IdentityOf(output.parent_path());
  if (!folder) {
    error = SystemMessage(GetLastError());
    return std::nullopt;
  }
  std::wstring name = output.filename().native();
  CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
  std::uint64_t hash = 14695981039346656037ull;
  for (wchar_t c : name) hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
  const std::wstring mutexName = L"Local\\BriskBuild-" + Hex(folder->device) + L"-" + Hex(folder->index >> 32) + L"-" +
                                 Hex(folder->index & 0xFFFFFFFFu) + L"-" + Hex(hash);
  OutputLock lock;
  lock.mutex_.reset(CreateMutexW(nullptr, FALSE, mutexName.c_str()));
  if (!lock.mutex_) {
    error = SystemMessage(GetLastError());
    return std::nullopt;
  }
  return lock;
}

OutputLock::OutputLock(OutputLock&& other) noexcept
    : mutex_(std::move(other.mutex_)), taken_(std::exchange(other.taken_, false)) {}

OutputLock::~OutputLock() {
  if (taken_ && mutex_) ReleaseMutex(mutex_.get());
}

bool OutputLock::TryTake(std::string&) {
  const DWORD waited = WaitForSingleObject(mutex_.get(), 0);
  taken_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  return taken_;
}

}  // namespace brisk

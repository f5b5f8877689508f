#include "core/launch_log.h"

#include <cstdio>
#include <memory>

#include "base/number_text.h"
#include "base/wide_text.h"

namespace brisk {

namespace {

constexpr DWORD kPathUnits = 32768;

unsigned long long Ticks(const FILETIME& time) {
  return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

unsigned long long Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return Ticks(now);
}

long long Counter() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

struct LocalFreeDeleter {
  void operator()(wchar_t* text) const { LocalFree(text); }
};

}  // namespace

LaunchLog::LaunchLog(std::wstring_view path) {
  if (path.empty()) return;
  file_ = OpenFile(ToU16(path), "ab");
  if (!file_) return;
  FILETIME created{}, exited{}, kernel{}, user{};
  // The time since the process started, as the system clock tells it now,
  // and from here on the finer performance counter.
  const unsigned long long now = Now();
  const unsigned long long start =
      GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user) ? Ticks(created) : now;
  startOffsetMs_ = now > start ? static_cast<double>(now - start) / 10000.0 : 0.0;
  counterStart_ = Counter();
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  counterPerMs_ = static_cast<double>(frequency.QuadPart) / 1000.0;
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  SYSTEMTIME local;
  GetLocalTime(&local);
  const auto twoDigits = [](unsigned value) { return DecimalText(value / 10) + DecimalText(value % 10); };
  Write("launch of " + Utf16ToUtf8Lossy(ToU16(module)) + ", process " + DecimalText(GetCurrentProcessId()) + ", " +
        DecimalText(local.wYear) + "-" + twoDigits(local.wMonth) + "-" + twoDigits(local.wDay) + " " +
        twoDigits(local.wHour) + ":" + twoDigits(local.wMinute) + ":" + twoDigits(local.wSecond) + "\n");
}

// Flushed at once: a launch that hangs or is killed keeps what it logged.
void LaunchLog::Write(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), file_.get());
  std::fflush(file_.get());
}

void LaunchLog::Event(std::string_view event, std::string_view detail) {
  if (!file_) return;
  const double milliseconds = startOffsetMs_ + static_cast<double>(Counter() - counterStart_) / counterPerMs_;
  const auto tenths = static_cast<std::uint64_t>(milliseconds * 10.0 + 0.5);
  std::string line = DecimalText(tenths / 10, 7) + "." + DecimalText(tenths % 10) + " ";
  line.append(event);
  if (!detail.empty()) {
    line += ": ";
    line.append(detail);
  }
  Write(line + "\n");
}

std::wstring LaunchLogPathFromEnvironment() {
  std::wstring path(kPathUnits, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"BRISK_LAUNCH_LOG", path.data(), kPathUnits);
  if (length == 0 || length >= kPathUnits) return {};
  path.resize(length);
  return path;
}

std::string DescribeHresult(HRESULT hr) {
  std::string text = "0x" + HexText<char>(static_cast<std::uint32_t>(hr), 8, HexLetters::kUpper);
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFreeDeleter> message(buffer);
  if (length > 0 && message) {
    std::wstring described(message.get(), length);
    while (!described.empty() && (described.back() == L'\n' || described.back() == L'\r' || described.back() == L' ')) {
      described.pop_back();
    }
    if (!described.empty()) text += " (" + Utf16ToUtf8Lossy(ToU16(described)) + ")";
  }
  return text;
}

}  // namespace brisk

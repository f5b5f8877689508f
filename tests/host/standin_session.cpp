#include "standin_session.h"

#include <cstdio>
#include <cstdlib>

#include "standin_registration.h"

namespace brisk::test {

namespace {

std::string Utf8(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(length > 0 ? length : 0, '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length,
                        nullptr, nullptr);
  }
  return out;
}

std::vector<DWORD> ServerProcessIds(const std::vector<std::string>& lines) {
  std::vector<DWORD> ids;
  const std::string marker = "\"event\":\"start\",\"pid\":";
  for (const std::string& line : lines) {
    const std::size_t at = line.find(marker);
    if (at != std::string::npos) ids.push_back(std::strtoul(line.c_str() + at + marker.size(), nullptr, 10));
  }
  return ids;
}

}  // namespace

StandinSession::StandinSession(const std::string& config) {
  const std::string text = "log=" + Utf8(folder_ / L"calls.jsonl") + "\n" + config;
  WriteBytes(configPath(), text);
  standin::RegisterStandinHost(WinePath(BRISK_STANDIN_HOST_EXE), configPath());
}

StandinSession::~StandinSession() {
  app_.reset();
  if (server_ != nullptr) CloseHandle(server_);
  for (DWORD id : ServerProcessIds(LogLines())) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
    if (process == nullptr) continue;
    if (WaitForSingleObject(process, 5000) == WAIT_TIMEOUT) {
      TerminateProcess(process, 99);
      WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
  }
  standin::UnregisterStandinHost();
}

HRESULT StandinSession::Create() {
  const HRESULT hr = CreateHostApplication(app_.put());
  if (SUCCEEDED(hr) && server_ == nullptr) {
    server_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, ServerProcessId());
  }
  return hr;
}

std::vector<std::string> StandinSession::LogLines() const {
  std::vector<std::string> lines;
  const std::string text = ReadBytes(folder_ / L"calls.jsonl");
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> StandinSession::Calls(const std::string& object, int dispid) const {
  const std::string marker =
      "\"type\":\"call\",\"object\":\"" + object + "\",\"dispid\":" + std::to_string(dispid) + ",";
  std::vector<std::string> calls;
  for (const std::string& line : LogLines()) {
    if (line.find(marker) != std::string::npos) calls.push_back(line);
  }
  return calls;
}

std::string StandinSession::Event(const std::string& name) const {
  const std::string marker = "\"event\":\"" + name + "\"";
  for (const std::string& line : LogLines()) {
    if (line.find(marker) != std::string::npos) return line;
  }
  return {};
}

std::string StandinSession::WaitForEvent(const std::string& name, DWORD milliseconds) const {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    std::string line = Event(name);
    if (!line.empty() || GetTickCount64() >= end) return line;
    Sleep(20);
  }
}

DWORD StandinSession::ServerProcessId() const {
  const std::vector<DWORD> ids = ServerProcessIds(LogLines());
  return ids.empty() ? 0 : ids.front();
}

bool StandinSession::WaitForServerExit(DWORD milliseconds) const {
  return server_ != nullptr && WaitForSingleObject(server_, milliseconds) == WAIT_OBJECT_0;
}

}  // namespace brisk::test

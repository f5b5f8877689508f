#include "standin_session.h"

#include <cstdlib>

#include "base/wide_text.h"
#include "standin_registration.h"
#include "tests/support/processes.h"

namespace brisk::test {

namespace {

// How long a server that the session started may take to end by itself.
constexpr DWORD kServerEndMs = 5000;

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
  const std::string text = "log=" + Utf8FromWide(folder_ / L"calls.jsonl") + "\n" + config;
  WriteFileBytes(configPath(), text);
  standin::RegisterStandinHost(WinePath(BRISK_STANDIN_HOST_EXE), configPath());
}

StandinSession::~StandinSession() {
  app_.reset();
  server_.reset();
  for (DWORD id : ServerProcessIds(LogLines())) EndProcessById(id, kServerEndMs);
  standin::UnregisterStandinHost();
}

HRESULT StandinSession::Create() {
  const HRESULT hr = CreateHostApplication(app_.put());
  if (SUCCEEDED(hr) && !server_) {
    server_.reset(
        OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ServerProcessId()));
  }
  return hr;
}

std::vector<std::string> StandinSession::LogLines() const {
  std::vector<std::string> lines;
  const std::string text = ReadFileBytes(folder_ / L"calls.jsonl").value_or("");
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
  return server_ && WaitForSingleObject(server_.get(), milliseconds) == WAIT_OBJECT_0;
}

std::optional<DWORD> StandinSession::ServerExitCode() const {
  DWORD code = 0;
  if (!server_ || !GetExitCodeProcess(server_.get(), &code) || code == STILL_ACTIVE) return std::nullopt;
  return code;
}

}  // namespace brisk::test

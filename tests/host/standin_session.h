// A stand-in host for one test: its configuration and log in a fresh
// folder, its registration as the host's local server, and the end of every
// server process it started, even when the test fails.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>
#include <vector>

#include "base/com_ref.h"
#include "base/unique_handle.h"
#include "host/host_application.h"
#include "tests/support/files.h"

namespace brisk::test {

class StandinSession {
 public:
  // `config` holds configuration lines; the log line is added here.
  explicit StandinSession(const std::string& config = "");
  ~StandinSession();
  StandinSession(const StandinSession&) = delete;
  StandinSession& operator=(const StandinSession&) = delete;

  // CreateHostApplication into the session's reference.
  HRESULT Create();
  IDispatch* app() const { return app_.get(); }
  HostApplication host() const { return HostApplication(app_.get()); }
  // Lets go of the reference as the launcher does.
  void Release() { app_.reset(); }

  const TempFolder& folder() const { return folder_; }
  std::wstring configPath() const { return folder_ / L"standin.cfg"; }

  std::vector<std::string> LogLines() const;
  // Call records for `dispid` on `object` ("application", "workbooks", ...).
  std::vector<std::string> Calls(const std::string& object, int dispid) const;
  // The first record of that event; empty when there is none.
  std::string Event(const std::string& name) const;
  // Polls the log (bounded) until the event appears.
  std::string WaitForEvent(const std::string& name, DWORD milliseconds) const;

  // The first server process that this session's configuration started.
  DWORD ServerProcessId() const;
  // False when no server was created or it is still running at the end.
  bool WaitForServerExit(DWORD milliseconds) const;
  // The exit code of the server once it has ended; none before.
  std::optional<DWORD> ServerExitCode() const;

 private:
  TempFolder folder_;
  ComRef<IDispatch> app_;
  // The server process, opened once the host was created.
  UniqueHandle server_;
};

}  // namespace brisk::test

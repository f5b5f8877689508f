// Processes that a Windows test starts or watches: a child that is always
// ended, the running processes by name, and ending a process by its id.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/unique_process.h"

namespace brisk::test {

struct ChildOptions {
  // Variables that replace the test's own in the child's environment.
  std::vector<std::pair<std::wstring, std::wstring>> environment;
  // Where standard output and error go; they stay the test's own when empty.
  std::wstring outputFile;
};

// A program started by the test with `arguments` after its quoted path. The
// owner ends the process by its id (with a bounded wait) when it still runs.
class ChildProcess {
 public:
  ChildProcess(const std::wstring& exe, const std::wstring& arguments, const ChildOptions& options = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return static_cast<bool>(process_); }
  // GetLastError of the last start that failed; 0 when none did.
  DWORD startError() const { return startError_; }
  DWORD id() const { return process_.id(); }
  // For waits of the test's own, such as one that pumps messages meanwhile.
  HANDLE handle() const { return process_.get(); }
  const std::wstring& commandLine() const { return commandLine_; }
  // The exit code once the process has ended within the time.
  std::optional<DWORD> WaitForExit(DWORD milliseconds);
  bool Running() const;
  // Ends it now; true when it was still running.
  bool End();

 private:
  UniqueProcess process_;
  std::wstring commandLine_;
  DWORD startError_ = 0;
};

struct ProcessInfo {
  DWORD id = 0;
  std::wstring exeName;  // the executable's file name
};

std::vector<ProcessInfo> RunningProcesses();
// Waits (bounded) until the process has ended; true when it has, or when no
// process of that id exists.
bool WaitForProcessExit(DWORD processId, DWORD milliseconds);
// Gives the process `graceMilliseconds` to end by itself, then ends it by its
// id; true when it is gone afterwards.
bool EndProcessById(DWORD processId, DWORD graceMilliseconds = 0);

}  // namespace brisk::test

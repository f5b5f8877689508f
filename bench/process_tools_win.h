// Processes and files for the Windows benchmarks: children that are always
// ended, the stand-in host processes that COM starts on the benchmark's
// behalf, and the scratch folders.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/unique_process.h"

namespace brisk::bench {

// A child process, ended by its handle when still running at destruction.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts `exe` with the whole command line given; `environment` (a block
  // of "name=value" strings, each ending in a zero, then one more zero) or
  // the caller's own when empty. False when it could not be started.
  bool Start(const std::wstring& exe, const std::wstring& commandLine, bool suspended = false,
             const std::wstring& environment = {});
  void Resume();
  HANDLE handle() const { return process_.get(); }
  DWORD id() const { return process_.id(); }
  // The exit code, or nothing when it has not ended within the time.
  std::optional<DWORD> Wait(DWORD milliseconds);

 private:
  UniqueProcess process_;
};

// The caller's environment with TMP and TEMP set to `tempFolder` and each of
// `variables` ("NAME=value") set, as a block for Process::Start.
std::wstring EnvironmentWithTemp(const std::wstring& tempFolder, const std::vector<std::wstring>& variables = {});

// Ids of the running processes whose executable has this file name
// (ignoring case).
std::set<DWORD> ProcessesNamed(const std::wstring& exeName);

// Ends each process: WM_CLOSE to its top-level windows, a bounded wait, then
// TerminateProcess for one that is still there.
void EndProcesses(const std::set<DWORD>& ids, DWORD gracefulMilliseconds);

bool WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
// Removes a folder with everything in it, retrying briefly while files are
// still held by processes that are going away.
void RemoveTree(const std::wstring& folder);

std::wstring FolderOf(const std::wstring& path);
std::wstring FileNameOf(const std::wstring& path);
std::wstring Widen(const std::string& ascii);

}  // namespace brisk::bench

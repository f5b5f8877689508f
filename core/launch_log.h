// The launch log: when the environment variable BRISK_LAUNCH_LOG names a
// file, the launcher appends a plain-text account of the launch to it, so
// that a maker can see why an application did not start. Off by default;
// nothing else changes when it is on.
//
// Format, one event a line after a header line:
//   "<milliseconds since the process started, 1 decimal> <event>[: <detail>]"
// e.g. "  1043.7 host created: major version 16, 64-bit". The
// benchmarks read the event names; they are the launch's step names.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "base/file_io.h"

namespace brisk {

class LaunchLog {
 public:
  // Off when `path` is empty or the file cannot be opened for appending.
  explicit LaunchLog(std::wstring_view path);
  LaunchLog(const LaunchLog&) = delete;
  LaunchLog& operator=(const LaunchLog&) = delete;

  bool on() const { return static_cast<bool>(file_); }

  // One event; `detail` is UTF-8.
  void Event(std::string_view event, std::string_view detail = {});

 private:
  void Write(const std::string& text);

  UniqueFile file_;
  double startOffsetMs_ = 0.0;
  long long counterStart_ = 0;
  double counterPerMs_ = 1.0;
};

// The log file the environment names; empty when none.
std::wstring LaunchLogPathFromEnvironment();

// "0x80070005 (Access is denied.)": an HRESULT with the system's text for it.
std::string DescribeHresult(HRESULT hr);

}  // namespace brisk

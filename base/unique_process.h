// Owner of a started process's handles (what CreateProcessW fills into a
// PROCESS_INFORMATION): the process and its first thread, each closed once.
// Closing a handle does not end the process; whoever starts one decides that.
#pragma once

#include <windows.h>

#include <utility>

#include "base/unique_handle.h"

namespace brisk {

class UniqueProcess {
 public:
  UniqueProcess() = default;
  // Takes over both handles of a started process.
  explicit UniqueProcess(const PROCESS_INFORMATION& started)
      : process_(started.hProcess), thread_(started.hThread), id_(started.dwProcessId) {}
  UniqueProcess(UniqueProcess&& other) noexcept
      : process_(std::move(other.process_)), thread_(std::move(other.thread_)), id_(std::exchange(other.id_, 0)) {}
  UniqueProcess& operator=(UniqueProcess&& other) noexcept {
    if (this != &other) {
      process_ = std::move(other.process_);
      thread_ = std::move(other.thread_);
      id_ = std::exchange(other.id_, 0);
    }
    return *this;
  }

  HANDLE get() const { return process_.get(); }
  HANDLE thread() const { return thread_.get(); }
  DWORD id() const { return id_; }
  explicit operator bool() const { return static_cast<bool>(process_); }
  // For a caller that never resumes or waits for the first thread.
  void CloseThread() { thread_.reset(); }

 private:
  UniqueHandle process_;
  UniqueHandle thread_;
  DWORD id_ = 0;
};

}  // namespace brisk

// A thread of the system's own, started on a callable: the launcher needs no
// more of threads than this, and std::thread would bring the whole of the
// POSIX thread emulation into it. The body is kept as its own type, not in a
// std::function, whose type erasure the launcher's image would carry for
// every thread.
#pragma once

#include <windows.h>

#include <memory>
#include <new>
#include <utility>

#include "base/unique_handle.h"

namespace brisk {

namespace thread_detail {

template <typename Body>
struct ThreadStart {
  Body body;
  DWORD exitCode;
};

template <typename Body>
DWORD WINAPI RunThreadBody(void* parameter) {
  const std::unique_ptr<ThreadStart<Body>> start(static_cast<ThreadStart<Body>*>(parameter));
  try {
    start->body();
  } catch (...) {
  }
  return start->exitCode;
}

}  // namespace thread_detail

// Runs `body` on a new thread and returns the thread's handle; null when no
// thread could be started (the body then never runs). An exception that
// leaves the body ends only the body. The thread's exit code is `exitCode`.
template <typename Body>
UniqueHandle StartThread(Body body, DWORD exitCode = 0) {
  using Start = thread_detail::ThreadStart<Body>;
  auto* owned = new (std::nothrow) Start{std::move(body), exitCode};
  if (!owned) return {};
  UniqueHandle thread(CreateThread(nullptr, 0, thread_detail::RunThreadBody<Body>, owned, 0, nullptr));
  if (!thread) delete owned;
  return thread;
}

}  // namespace brisk

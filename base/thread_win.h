// A thread of the system's own, started on a callable: the launcher needs no
// more of threads than this, and std::thread would bring the whole of the
// POSIX thread emulation into it.
#pragma once

#include <windows.h>

#include <functional>

#include "base/unique_handle.h"

namespace brisk {

// Runs `body` on a new thread and returns the thread's handle; null when no
// thread could be started (the body then never runs). An exception that
// leaves the body ends only the body. The thread's exit code is `exitCode`.
UniqueHandle StartThread(std::function<void()> body, DWORD exitCode = 0);

}  // namespace brisk

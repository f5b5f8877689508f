#include "base/thread_win.h"

#include <memory>
#include <new>

namespace brisk {

namespace {

struct ThreadStart {
  std::function<void()> body;
  DWORD exitCode;
};

DWORD WINAPI RunBody(void* parameter) {
  const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
  try {
    start->body();
  } catch (...) {
  }
  return start->exitCode;
}

}  // namespace

UniqueHandle StartThread(std::function<void()> body, DWORD exitCode) {
  auto* owned = new (std::nothrow) ThreadStart{std::move(body), exitCode};
  if (!owned) return {};
  UniqueHandle thread(CreateThread(nullptr, 0, RunBody, owned, 0, nullptr));
  if (!thread) delete owned;
  return thread;
}

}  // namespace brisk

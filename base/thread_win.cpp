#include "base/thread_win.h"

#include <memory>
#include <new>

namespace brisk {

namespace {

DWORD WINAPI RunBody(void* parameter) {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  try {
    (*body)();
  } catch (...) {
  }
  return 0;
}

}  // namespace

UniqueHandle StartThread(std::function<void()> body) {
  auto* owned = new (std::nothrow) std::function<void()>(std::move(body));
  if (!owned) return {};
  UniqueHandle thread(CreateThread(nullptr, 0, RunBody, owned, 0, nullptr));
  if (!thread) delete owned;
  return thread;
}

}  // namespace brisk

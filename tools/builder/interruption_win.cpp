#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cwchar>

#include "interruption.h"

namespace brisk::interruption {

namespace {

constexpr int kSlots = 32;
std::atomic<wchar_t*> gHeld[kSlots];

// Runs on a thread of its own; returning FALSE lets the system end the
// process as it would have without the handler.
BOOL WINAPI OnInterruption(DWORD) {
  for (std::atomic<wchar_t*>& slot : gHeld) {
    if (wchar_t* path = slot.exchange(nullptr)) DeleteFileW(path);
  }
  return FALSE;
}

}  // namespace

void InstallHandlers() { SetConsoleCtrlHandler(OnInterruption, TRUE); }

int Hold(const std::filesystem::path& path) {
  wchar_t* copy = _wcsdup(path.c_str());
  if (!copy) return -1;
  for (int slot = 0; slot < kSlots; ++slot) {
    wchar_t* empty = nullptr;
    if (gHeld[slot].compare_exchange_strong(empty, copy)) return slot;
  }
  std::free(copy);
  return -1;
}

void Release(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  std::free(gHeld[slot].exchange(nullptr));
}

void SetChild(long) {}

}  // namespace brisk::interruption

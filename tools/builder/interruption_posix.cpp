#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "interruption.h"

namespace brisk::interruption {

namespace {

// A build holds a handful of files at once: its lock, its scratch copy, an
// add-in's signing copy and their logs.
constexpr int kSlots = 32;
std::atomic<char*> gHeld[kSlots];
std::atomic<pid_t> gChild{0};

extern "C" void OnInterruption(int signalNumber) {
  const int savedErrno = errno;
  if (const pid_t child = gChild.exchange(0); child > 0) {
    ::kill(-child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  for (std::atomic<char*>& slot : gHeld) {
    if (char* path = slot.exchange(nullptr)) ::unlink(path);
  }
  errno = savedErrno;
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

}  // namespace

void InstallHandlers() {
  struct sigaction action {};
  action.sa_handler = OnInterruption;
  sigemptyset(&action.sa_mask);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signalNumber);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signalNumber, &action, nullptr);
}

int Hold(const std::filesystem::path& path) {
  char* copy = ::strdup(path.c_str());
  if (!copy) return -1;
  for (int slot = 0; slot < kSlots; ++slot) {
    char* empty = nullptr;
    if (gHeld[slot].compare_exchange_strong(empty, copy)) return slot;
  }
  std::free(copy);
  return -1;
}

void Release(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  std::free(gHeld[slot].exchange(nullptr));
}

void SetChild(long processId) { gChild.store(static_cast<pid_t>(processId)); }

}  // namespace brisk::interruption

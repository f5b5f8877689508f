// Waits of a thread that has windows of its own (a single-threaded COM
// apartment has, and so has any thread that has shown a dialog): while it
// waits, other threads and processes may send messages to its windows and
// wait for the answer (a program that looks for DDE partners sends to every
// top-level window; the system asks every window before a log-off). A wait
// that does not serve them holds those senders up for as long as it lasts.
#pragma once

#include <windows.h>

namespace brisk {

// As WaitForMultipleObjects for any one of `handles` (`count` may be 0),
// serving meanwhile every message sent to the calling thread's windows.
// Posted messages stay in the queue. Returns what WaitForMultipleObjects
// would: WAIT_OBJECT_0 + index, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitServingSentMessages(DWORD count, const HANDLE* handles, DWORD timeoutMs);

}  // namespace brisk

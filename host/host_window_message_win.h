// Messages to the host's main window that wait for the host to handle them,
// for as long as the host is alive and not hung. The host may take its time:
// the add-in may show a dialog of its own (an activation prompt, say) while
// it handles a message, and a user may take minutes over it. A host is hung
// only when its window thread has handled no message at all for the
// silence limit, and is gone when its process has ended.
#pragma once

#include <windows.h>

namespace brisk {

enum class HostWindowReply {
  kHandled,
  kHostHung,   // the window handled nothing for the silence limit
  kHostEnded,  // the host's process ended first
};

// Sends `message` to `window` (as SendMessageW, from a thread of its own so
// that this thread can watch) and waits until it is handled. `hostProcess`
// may be null when the host's process is not known.
HostWindowReply SendToHostWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, HANDLE hostProcess,
                                 DWORD silenceLimitMs);

}  // namespace brisk

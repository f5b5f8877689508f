// The host's main windows inside the host process: found by their class,
// subclassed so that the add-in sees every message of the hand-over, and
// told how each message arrived.
#pragma once

#include <windows.h>

#include <vector>

namespace brisk::addin {

// Every top-level window of this process whose class is the host's main
// window class, in enumeration order.
std::vector<HWND> FindHostWindows();

// Subclasses each window once (a window subclassed earlier stays as it is)
// and watches the message queues of their threads. Messages of the WM_USER
// range go to the current session; the hand-over's own messages end there,
// everything else goes on to the host's window procedure.
void WatchHostWindows(const std::vector<HWND>& windows);

}  // namespace brisk::addin

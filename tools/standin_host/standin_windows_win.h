// The stand-in host's top-level windows: the main window (its title follows
// the caption property, its visibility the visible property), the extra
// windows of the same class and a window of another class.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace brisk::standin {

// Creates the windows that the configuration asks for; false when the main
// window cannot be created.
bool CreateStandinWindows();
void DestroyStandinWindows();

// Disconnects `object` from its clients (CoDisconnectObject) once the call
// now running has returned and its answer has left: the request goes through
// the main window's queue. Logs the event "disconnected" (hr), or
// "disconnect_skipped" when there is no main window any more. Holds a
// reference until then.
void DisconnectAfterThisCall(IUnknown* object);

}  // namespace brisk::standin

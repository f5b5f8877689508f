// The stand-in host's top-level windows: the main window (its title follows
// the caption property, its visibility the visible property), the extra
// windows of the same class and a window of another class.
#pragma once

namespace brisk::standin {

// Creates the windows that the configuration asks for; false when the main
// window cannot be created.
bool CreateStandinWindows();
void DestroyStandinWindows();

}  // namespace brisk::standin
